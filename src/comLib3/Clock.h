// The clock seam: monotonic time and sleeping.
#pragma once

#include <chrono>

namespace comLib3 {

class Clock {
 public:
  using Duration = std::chrono::steady_clock::duration;
  virtual ~Clock() = default;
  virtual Duration Now() = 0;  // since an arbitrary fixed start
  virtual void Sleep(std::chrono::milliseconds ms) = 0;
};

class SteadyClock : public Clock {
 public:
  Duration Now() override;
  void Sleep(std::chrono::milliseconds ms) override;
};

}  // namespace comLib3
