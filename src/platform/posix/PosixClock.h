// The clock on POSIX: CLOCK_MONOTONIC, sleeps to an absolute deadline to the nanosecond.
#pragma once

#include "comLib3/Clock.h"

namespace platform::posix {

class PosixClock : public comLib3::Clock {
 public:
  Duration Now() override;
  void SleepUntil(Duration deadline) override;
  comLib3::WallTime Wall() override;
};

}  // namespace platform::posix
