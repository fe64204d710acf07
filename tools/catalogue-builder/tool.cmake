# The location catalogue's builder: data/locations.txt is made from data/sources/places.tsv
# (see data/sources/README.md). Regenerate with:
#   build/<dir>/catalogue-builder data/sources/places.tsv data/locations.txt
corvella_library(corvella_place_order SOURCES tools/catalogue-builder/place_order.cpp)

corvella_tool(catalogue-builder
  SOURCES tools/catalogue-builder/catalogue_builder.cpp
  DEPS corvella_place_order)

# The committed catalogue must be exactly the builder's output.
if(TARGET catalogue-builder AND CORVELLA_TESTS)
  add_test(NAME catalogue_builder_reproduces_locations
    COMMAND catalogue-builder --check ${PROJECT_SOURCE_DIR}/data/sources/places.tsv
            ${PROJECT_SOURCE_DIR}/data/locations.txt)
  set_tests_properties(catalogue_builder_reproduces_locations PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 120 LABELS native)
endif()
