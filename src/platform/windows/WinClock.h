// The clock on Windows: the performance counter, and waits on a high-resolution waitable
// timer to an absolute deadline (a millisecond timer where the system has no such timer).
#pragma once

#include <windows.h>

#include "comLib3/Clock.h"

namespace platform::windows {

class WinClock : public comLib3::Clock {
 public:
  WinClock();
  ~WinClock() override;
  WinClock(const WinClock&) = delete;
  WinClock& operator=(const WinClock&) = delete;

  Duration Now() override;
  void SleepUntil(Duration deadline) override;
  comLib3::WallTime Wall() override;

 private:
  HANDLE timer_ = nullptr;
  bool coarse_ = false;  // timeBeginPeriod(1) taken instead of a high-resolution timer
};

}  // namespace platform::windows
