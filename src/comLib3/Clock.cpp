#include "comLib3/Clock.h"

#include <thread>

namespace comLib3 {

Clock::Duration SteadyClock::Now() {
  return std::chrono::steady_clock::now().time_since_epoch();
}

void SteadyClock::Sleep(std::chrono::milliseconds ms) {
  std::this_thread::sleep_for(ms);
}

}  // namespace comLib3
