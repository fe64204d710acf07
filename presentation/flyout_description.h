// What a screen reader reads of the forecast window beyond its name: the hours, the days and the
// rates that the window paints, as text. Portable; the window hands it to the accessibility layer.
#pragma once

#include <string>

#include "presentation/forecast_layout.h"

namespace corvella {

// Windows-1251, one line a part: "обновлено 14:05", "Сейчас: ощущается как -14°; ветер ЮЗ, ...",
// the precipitation line, "По часам: 14 ч +5° Облачно; ...", "По дням: Пн 08.12 от -3° до +2°
// Снег, 3 мм, 80 %, ветер ...; ...", "Курсы: Доллар 92,51 выше на 0,35, завтра 92,80, выше; ..."
// (only when rates are wanted). The arrows the window draws are said in words; what the
// document did not carry is left out; an hours', days' or rates' part with nothing in it says
// "нет данных".
std::string FlyoutDescription(const FlyoutContent& content);

}  // namespace corvella
