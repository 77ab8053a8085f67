// climon.exe's transaction, call by call, under Wine (or Windows) against a controller on
// COM5: how long the purges, the write and the 55 ms read each take, and so where the
// time above the read window goes; then whole monitor passes against their windows and
// waits. Run by scripts/bench-windows.sh beside the POSIX build's benchmarks in the same
// run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "comLib3/comLib3.h"
#include "console/HeadlessConsole.h"
#include "monitor/Monitor.h"
#include "platform/windows/WinClock.h"
#include "platform/windows/WinSerial.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// No screen and no keys: the monitor's passes alone.
struct Quiet : console::HeadlessConsole {
  bool StopRequested() override { return false; }
  void Restore() override {}
};

// The real clock, with the waits the program asked for added up.
struct CountingClock : platform::windows::WinClock {
  void SleepUntil(Duration deadline) override {
    Duration now = Now();
    if (deadline > now) asked += deadline - now;
    WinClock::SleepUntil(deadline);
  }
  Duration asked{0};
};

// The real ports, with the reads counted: each is one window unless it fills.
struct CountingPorts : comLib3::SerialPorts {
  struct Counted : comLib3::SerialDevice {
    Counted(std::unique_ptr<comLib3::SerialDevice> d, long& reads)
        : d_(std::move(d)), reads_(reads) {}
    int Configure(unsigned b, int bits, comLib3::Parity p, int s) override {
      return d_->Configure(b, bits, p, s);
    }
    void SetReadTimeout(std::chrono::milliseconds t) override { d_->SetReadTimeout(t); }
    void Purge() override { d_->Purge(); }
    void Write(std::string_view bytes) override { d_->Write(bytes); }
    void Drain() override { d_->Drain(); }
    std::size_t Read(char* buf, std::size_t count) override {
      ++reads_;
      return d_->Read(buf, count);
    }
    bool Lost() const override { return d_->Lost(); }
    std::unique_ptr<comLib3::SerialDevice> d_;
    long& reads_;
  };
  std::unique_ptr<comLib3::SerialDevice> Open(int port, int& error) override {
    auto dev = real.Open(port, error);
    return dev ? std::make_unique<Counted>(std::move(dev), reads) : nullptr;
  }
  platform::windows::WinSerialPorts real;
  long reads = 0;
};

// Whole monitor passes: how far each runs over its read windows and its waits (the
// pseudo-terminal under Wine has no sending time).
void Passes(int n) {
  Quiet con;
  CountingClock clock;
  CountingPorts ports;
  comLib3::ComLib3 com(con, clock, ports);
  monitor::Monitor m(com);
  m.ComPort = 5;
  PLC_Lib3::OpenPlcPort(com, 5);
  m.DetectDeviceVariant(5);
  m.SelectCounterLabels();
  m.MonitorPreparation();
  m.MonitorPass();
  std::vector<double> over;
  for (int i = 0; i < n; ++i) {
    long reads0 = ports.reads;
    auto asked0 = clock.asked;
    auto t0 = Clock::now();
    m.MonitorPass();
    double took = Ms(Clock::now() - t0);
    double limit = 55.0 * static_cast<double>(ports.reads - reads0) + Ms(clock.asked - asked0);
    over.push_back(100 * (took - limit) / limit);
  }
  std::printf(
      "climon.exe monitor pass, %d passes: %+.2f %% over its windows and waits (median; "
      "max %+.2f %%)\n",
      n, Median(over), *std::max_element(over.begin(), over.end()));
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 30;
  platform::windows::WinSerialPorts ports;
  int error = 0;
  auto dev = ports.Open(5, error);
  if (!dev) {
    std::fprintf(stderr, "win_transaction_bench: COM5 cannot be opened: E%d\n", error);
    return 1;
  }
  dev->Configure(9600, 8, comLib3::Parity::kEven, 1);
  dev->SetReadTimeout(comLib3::kReadTotalTimeout);
  std::vector<double> purge, write, read, whole;
  char buf[50];
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    dev->Purge();
    dev->Purge();
    auto t1 = Clock::now();
    dev->Write("RD DM992\r");
    dev->Drain();
    auto t2 = Clock::now();
    std::size_t n = dev->Read(buf, sizeof buf);
    auto t3 = Clock::now();
    if (n == 0) std::fprintf(stderr, "no reply\n");
    purge.push_back(Ms(t1 - t0));
    write.push_back(Ms(t2 - t1));
    read.push_back(Ms(t3 - t2));
    whole.push_back(Ms(t3 - t0));
  }
  // A bare wait of the read's length on the clock climon uses: the timer's own floor.
  platform::windows::WinClock clock;
  std::vector<double> bare;
  for (int i = 0; i < runs; ++i) {
    auto deadline = clock.Now() + std::chrono::milliseconds(55);
    clock.SleepUntil(deadline);
    bare.push_back(Ms(clock.Now() - deadline));
  }
  std::printf(
      "climon.exe transaction, %d runs (medians): two purges %.3f ms, write %.3f ms, read "
      "%.3f ms (%+.3f against its 55 ms window), whole %.3f ms; a bare 55 ms wait ends %.3f "
      "ms late\n",
      runs, Median(purge), Median(write), Median(read), Median(read) - 55.0, Median(whole),
      Median(bare));
  dev.reset();  // the port, free for the monitor's passes
  Passes(runs / 3 > 4 ? runs / 3 : 4);
  return 0;
}
