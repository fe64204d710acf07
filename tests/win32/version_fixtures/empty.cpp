// A module with nothing but the resources linked beside it.
