// The local wall clock and the machine's offset from UTC.
#pragma once

#include "common/date_time.h"

namespace corvella {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual CivilTime LocalNow() const = 0;
  // Local time minus UTC, in days (Moscow: +3/24).
  virtual double UtcOffsetDays() const = 0;
};

// The wall clock of a place `utcOffsetSeconds` ahead of UTC, read from `clock`: the same
// instant, moved from the machine's offset to the place's. Whole seconds.
CivilTime WallClockAt(const Clock& clock, int utcOffsetSeconds);

// The machine's clock (clock_posix.cpp / clock_win32.cpp).
const Clock& SystemClock();

// A clock that stands still, for tests and for a fixed "--now".
class FixedClock : public Clock {
 public:
  explicit FixedClock(CivilTime now, double utcOffsetDays = 0) : now_(now), offset_(utcOffsetDays) {}
  CivilTime LocalNow() const override { return now_; }
  double UtcOffsetDays() const override { return offset_; }
  void Set(CivilTime now) { now_ = now; }

 private:
  CivilTime now_;
  double offset_;
};

}  // namespace corvella
