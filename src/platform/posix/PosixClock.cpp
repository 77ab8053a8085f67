#include "platform/posix/PosixClock.h"

#include "platform/posix/WaitTime.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

namespace platform::posix {

PosixClock::PosixClock() {
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

// std::chrono::steady_clock is CLOCK_MONOTONIC here, so both count from the same start.
PosixClock::Duration PosixClock::Now() {
  return std::chrono::steady_clock::now().time_since_epoch();
}

void PosixClock::SleepUntil(Duration deadline) {
  if (deadline.count() <= 0) return;
  struct timespec ts = WaitTime(deadline);
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

comLib3::WallTime PosixClock::Wall() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  struct tm t {};
  ::localtime_r(&ts.tv_sec, &t);
  return {t.tm_year + 1900,
          t.tm_mon + 1,
          t.tm_mday,
          t.tm_hour,
          t.tm_min,
          t.tm_sec,
          static_cast<int>(t.tm_gmtoff / 60),
          static_cast<int>(ts.tv_nsec / 1000000)};
}

}  // namespace platform::posix
