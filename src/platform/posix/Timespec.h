// A duration as the timespec that the POSIX waits take, to the nanosecond.
#pragma once

#include <time.h>

#include <chrono>

namespace platform::posix {

inline struct timespec Timespec(std::chrono::nanoseconds d) {
  auto ns = d.count();
  return {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace platform::posix
