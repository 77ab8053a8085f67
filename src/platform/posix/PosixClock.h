// The clock on POSIX: CLOCK_MONOTONIC, sleeps to an absolute deadline to the nanosecond.
#pragma once

#include "comLib3/Clock.h"

namespace platform::posix {

class PosixClock : public comLib3::Clock {
 public:
  // Asks the kernel to end this process's waits on time rather than up to 50 us late.
  PosixClock();
  Duration Now() override;
  void SleepUntil(Duration deadline) override;
  comLib3::WallTime Wall() override;
};

}  // namespace platform::posix
