// climon.exe's transaction, call by call, under Wine (or Windows) against a controller on
// COM5: how long the purges, the write and the 55 ms read each take, and so where the
// time above the read window goes. Run by scripts/bench-windows.sh beside the POSIX
// build's transaction_bench in the same run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "comLib3/comLib3.h"
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
  return 0;
}
