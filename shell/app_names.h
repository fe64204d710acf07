// Names and captions of the application, kept once.
#pragma once

#include <string_view>

#include "common/text_literal.h"

namespace corvella {

// The application title; a running instance is recognised by a window with this text.
inline constexpr std::string_view kProductName = "Corvella";
inline constexpr std::string_view kDialogCaption = "Corvella Forecast";
inline constexpr std::string_view kMenuClose = "Закрыть"_cp;
inline constexpr std::string_view kMenuOnTop = "Поверх всех окон"_cp;
inline constexpr std::string_view kMenuWidget = "Индикатор погоды"_cp;
inline constexpr std::string_view kMenuRefresh = "Получить сведения"_cp;

}  // namespace corvella
