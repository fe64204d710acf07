#include <windows.h>

#include "common/clock.h"

namespace corvella {
namespace {

class Win32Clock : public Clock {
 public:
  CivilTime LocalNow() const override {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return CivilTime{{st.wYear, st.wMonth, st.wDay}, st.wHour, st.wMinute, st.wSecond};
  }
  double UtcOffsetDays() const override {
    TIME_ZONE_INFORMATION tz{};
    DWORD kind = GetTimeZoneInformation(&tz);
    LONG bias = tz.Bias;  // minutes, UTC = local + bias
    if (kind == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
    if (kind == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
    return -static_cast<double>(bias) / 1440.0;
  }
};

}  // namespace

const Clock& SystemClock() {
  static const Win32Clock clock;
  return clock;
}

}  // namespace corvella
