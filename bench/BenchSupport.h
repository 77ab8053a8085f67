// What the benchmarks share: a console that renders into a byte count instead of a
// terminal, a clock and ports that count what the protocol spends, and statistics.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "comLib3/Clock.h"
#include "console/Console.h"
#include "console/Renderer.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixSerial.h"

namespace bench {

using Ms = std::chrono::duration<double, std::milli>;

// The real renderer, its output counted rather than sent; no keys are ever pressed.
class CountingConsole : public console::Console {
 public:
  CountingConsole() : Console(80, 25) {}
  bool KeyPressed() override { return false; }
  std::uint8_t ReadKey() override { return 27; }
  void Flush() override { bytes += renderer_.Update(screen(), false).size(); }
  void Restore() override {}
  std::size_t bytes = 0;

 private:
  console::Renderer renderer_;
};

// The real clock, with the time that the program asked to wait added up, and the time
// the waits took.
class CountingClock : public platform::posix::PosixClock {
 public:
  void SleepUntil(Duration deadline) override {
    Duration now = Now();
    if (deadline > now) asked += deadline - now;
    PosixClock::SleepUntil(deadline);
    took += Now() - now;
  }
  Duration asked{0}, took{0};
};

// The POSIX ports, with the reads added up (each read is one window unless it fills).
class CountingPorts : public comLib3::SerialPorts {
 public:
  std::unique_ptr<comLib3::SerialDevice> Open(int port, int& error) override {
    auto dev = real_.Open(port, error);
    if (!dev) return nullptr;
    return std::make_unique<Counted>(std::move(dev), reads, written, in_reads);
  }
  long reads = 0;
  long written = 0;                                 // bytes
  std::chrono::steady_clock::duration in_reads{0};  // the time spent inside the reads

 private:
  class Counted : public comLib3::SerialDevice {
   public:
    Counted(std::unique_ptr<comLib3::SerialDevice> d, long& reads, long& written,
            std::chrono::steady_clock::duration& in_reads)
        : d_(std::move(d)), reads_(reads), written_(written), in_reads_(in_reads) {}
    int Configure(unsigned b, int bits, comLib3::Parity p, int s) override {
      return d_->Configure(b, bits, p, s);
    }
    void SetReadTimeout(std::chrono::milliseconds t) override { d_->SetReadTimeout(t); }
    void Purge() override { d_->Purge(); }
    void Write(std::string_view bytes) override {
      written_ += static_cast<long>(bytes.size());
      d_->Write(bytes);
    }
    // In the read's time: the window opens when the drain returns.
    void Drain() override {
      auto t0 = std::chrono::steady_clock::now();
      d_->Drain();
      in_reads_ += std::chrono::steady_clock::now() - t0;
    }
    std::size_t Read(char* buf, std::size_t count) override {
      ++reads_;
      auto t0 = std::chrono::steady_clock::now();
      std::size_t n = d_->Read(buf, count);
      in_reads_ += std::chrono::steady_clock::now() - t0;
      return n;
    }
    bool Lost() const override { return d_->Lost(); }

   private:
    std::unique_ptr<comLib3::SerialDevice> d_;
    long& reads_;
    long& written_;
    std::chrono::steady_clock::duration& in_reads_;
  };
  platform::posix::PosixSerialPorts real_;
};

struct Stats {
  double median, min, max, p90;
};

inline Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double q) {
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
  };
  return {at(0.5), v.front(), v.back(), at(0.9)};
}

// The CPU time this process has used, user and system, from getrusage.
inline double CpuMs() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  return ms(u.ru_utime) + ms(u.ru_stime);
}

}  // namespace bench
