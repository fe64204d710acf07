#include <ctime>

#include "common/clock.h"

namespace corvella {
namespace {

class PosixClock : public Clock {
 public:
  CivilTime LocalNow() const override {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return CivilTime{{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }
  double UtcOffsetDays() const override {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return static_cast<double>(tm.tm_gmtoff) / 86400.0;
  }
};

}  // namespace

const Clock& SystemClock() {
  static const PosixClock clock;
  return clock;
}

}  // namespace corvella
