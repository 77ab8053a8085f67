// The clock seam: monotonic time, sleeping to a deadline, and the local time of day.
#pragma once

#include <chrono>

namespace comLib3 {

// A moment of the local calendar, and how far local time is ahead of UTC.
struct WallTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int utc_offset_minutes = 0;
};

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
