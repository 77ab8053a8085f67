// The clock seam: monotonic time, sleeping to a deadline, and the local time of day.
#pragma once

#include <chrono>

#include "logformat/LogFormat.h"

namespace comLib3 {

// A moment of the local calendar, and how far local time is ahead of UTC.
using WallTime = logformat::LocalTime;

class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  virtual ~Clock() = default;
  virtual Duration Now() = 0;  // since an arbitrary fixed start
  // Returns once Now() has reached the deadline; at once when it has passed. Waits to an
  // absolute deadline do not add up the overshoot of each wait.
  virtual void SleepUntil(Duration deadline) = 0;
  void Sleep(Duration d) { SleepUntil(Now() + d); }
  virtual WallTime Wall() = 0;
};

}  // namespace comLib3
