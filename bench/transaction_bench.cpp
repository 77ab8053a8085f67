// One controller transaction over a pseudo-terminal against climon-sim: a good one (one
// 55 ms read window) and one with a silent controller (four windows, each followed by the
// 100 ms of a quiet line, and the 100 ms pause).
// What lies above the windows and the pause is climon's own overhead.
#include <stdlib.h>

#include <cstdio>
#include <cstring>

#include "BenchSupport.h"
#include "Harness.h"
#include "PLC_Lib3/PLC_Lib3.h"

namespace {

// How late this machine ends a bare 55 ms wait with nothing else to do: the part of a
// transaction's time above its window that is not climon's.
bench::Stats BareWaitLateness(int runs) {
  platform::posix::PosixClock clock;  // the same timer slack as climon's
  std::vector<double> late;
  for (int i = 0; i < runs; ++i) {
    auto deadline = clock.Now() + std::chrono::milliseconds(55);
    clock.SleepUntil(deadline);
    late.push_back(bench::Ms(clock.Now() - deadline).count());
  }
  return bench::Summarise(late);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 30;
  std::string dir = e2e::TempDir();
  e2e::Simulator sim(dir, {"--fault", "silence", "--fault-match", "RD DM7777"});
  ::setenv("CLIMON_COM1", sim.link().c_str(), 1);

  bench::CountingConsole con;
  platform::posix::PosixClock clock;
  platform::posix::PosixSerialPorts ports;
  comLib3::ComLib3 com(con, clock, ports);
  PLC_Lib3::OpenPlcPort(com, 1);

  auto measure = [&](const char* command, int n, bool want_reply) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
      console::ShortString reply;
      auto t0 = std::chrono::steady_clock::now();
      PLC_Lib3::PlcTransact(com, 1, command, reply);
      ms.push_back(bench::Ms(std::chrono::steady_clock::now() - t0).count());
      if (reply.empty() == want_reply) std::fprintf(stderr, "unexpected reply to %s\n", command);
    }
    return bench::Summarise(ms);
  };
  bench::Stats good = measure("RD DM992", runs, true);
  bench::Stats silent = measure("RD DM7777", runs, false);
  // The window opens once the command has left: its bytes at 9600 baud, 11 bits a byte.
  auto sending = [](const char* command) {
    return static_cast<double>(std::strlen(command) + 1) * 11 / 9.6;
  };
  double good_limit = sending("RD DM992") + 55,
         silent_limit = 4 * (sending("RD DM7777") + 55 + 100) + 100;
  std::printf(
      "transaction, good reply:  %d runs: median %.3f ms (%+.3f ms against its limit of %.3f ms: "
      "sending time and the 55 ms window)  min %.3f  p90 %.3f  max %.3f  (target: within "
      "0.15 ms)\n",
      runs, good.median, good.median - good_limit, good_limit, good.min, good.p90, good.max);
  std::printf(
      "transaction, silent line: %d runs: median %.3f ms (%+.3f ms against its limit of %.3f "
      "ms)  min %.3f  p90 %.3f  max %.3f\n",
      runs, silent.median, silent.median - silent_limit, silent_limit, silent.min, silent.p90,
      silent.max);
  bench::Stats bare = BareWaitLateness(runs);
  std::printf(
      "a bare 55 ms wait on this machine ends %.3f ms late (median; max %.3f): the floor under "
      "the figures above\n",
      bare.median, bare.max);
  sim.Stop();
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
