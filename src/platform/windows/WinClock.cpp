#include "platform/windows/WinClock.h"

#include <timeapi.h>

#include <chrono>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform::windows {

WinClock::WinClock() {
  timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                  TIMER_ALL_ACCESS);
  if (timer_ == nullptr) {
    // Older systems: an ordinary timer, with the system's tick at its finest.
    timer_ = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    coarse_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  }
}

WinClock::~WinClock() {
  if (timer_ != nullptr) CloseHandle(timer_);
  if (coarse_) timeEndPeriod(1);
}

WinClock::Duration WinClock::Now() {
  return std::chrono::steady_clock::now().time_since_epoch();
}

void WinClock::SleepUntil(Duration deadline) {
  for (;;) {
    Duration left = deadline - Now();
    if (left.count() <= 0) return;
    // Relative due times are negative, in 100 ns units, rounded up: never early.
    auto units = (std::chrono::duration_cast<std::chrono::nanoseconds>(left).count() + 99) / 100;
    LARGE_INTEGER due;
    due.QuadPart = -units;
    if (timer_ == nullptr || !SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      ::Sleep(static_cast<DWORD>((units + 9999) / 10000));
      continue;
    }
    WaitForSingleObject(timer_, INFINITE);
  }
}

comLib3::WallTime WinClock::Wall() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  TIME_ZONE_INFORMATION tz;
  DWORD which = GetTimeZoneInformation(&tz);
  LONG bias = tz.Bias + (which == TIME_ZONE_ID_DAYLIGHT   ? tz.DaylightBias
                         : which == TIME_ZONE_ID_STANDARD ? tz.StandardBias
                                                          : 0);
  return {t.wYear,        t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, static_cast<int>(-bias),
          t.wMilliseconds};
}

}  // namespace platform::windows
