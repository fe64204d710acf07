// What a screen reader reads of the forecast window beyond its name: the hours, the days and the
// rates that the window paints, as text. Portable; the window hands it to the accessibility layer.
#pragma once

#include <string>

#include "presentation/forecast_layout.h"

namespace corvella {

// Windows-1251, one line a part: "обновлено 14:05", "По часам: 14 ч +5° Облачно; ...",
// "По дням: Пн 08.12 от -3° до +2° Снег; ...", "Курсы: ..." (only when rates are wanted). A part
// with nothing in it says "нет данных".
std::string FlyoutDescription(const FlyoutContent& content);

}  // namespace corvella
