// Russian sky descriptions for the WMO weather codes the forecast source reports. The client
// reads a description by looking for a few fragments ("снег", "Пасмурно", "дожд", "Облачно",
// "гроз"), the last one found deciding, so every word here is chosen for what the client will
// make of it: showers never start with "Облачно", drizzle says "дождь", storms say "гроза".
#pragma once

#include <optional>
#include <string_view>

namespace corvella::gateway {

// UTF-8 text for a WMO code, or nothing for a code the source does not define.
std::optional<std::string_view> WeatherWords(int wmoCode);

}  // namespace corvella::gateway
