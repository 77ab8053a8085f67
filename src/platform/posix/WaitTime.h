// A duration as the seconds and nanoseconds that the POSIX waits take.
#pragma once

#include <time.h>

#include <chrono>

namespace platform::posix {

inline struct timespec WaitTime(std::chrono::nanoseconds d) {
  auto ns = d.count();
  return {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace platform::posix
