// Names and captions of the application, kept once.
#pragma once

#include <string_view>

#include "common/product_name.h"
#include "common/text_literal.h"

namespace corvella {

// kProductName (common/product_name.h) is the application title.
inline constexpr std::string_view kDialogCaption = "Corvella Forecast";
inline constexpr std::string_view kMenuProperties = "Свойства..."_cp;
inline constexpr std::string_view kMenuOnTop = "Поверх всех окон"_cp;
inline constexpr std::string_view kMenuWidget = "Индикатор погоды"_cp;
inline constexpr std::string_view kMenuRefresh = "Получить сведения"_cp;
inline constexpr std::string_view kMenuUpdate = "Обновить программу"_cp;
inline constexpr std::string_view kMenuClose = "Закрыть"_cp;

}  // namespace corvella
