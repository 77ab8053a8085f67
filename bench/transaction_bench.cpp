// One controller transaction over a pseudo-terminal against climon-sim: a good one (one
// read window) and one with a silent controller (four windows and the 100 ms pause).
#include <stdlib.h>

#include <cstdio>

#include "BenchSupport.h"
#include "Harness.h"
#include "PLC_Lib3/PLC_Lib3.h"

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
  bench::Stats silent = measure("RD DM7777", runs / 3 + 1, false);
  std::printf(
      "transaction, good reply:  median %.2f ms  min %.2f  p90 %.2f  max %.2f  "
      "(target: 55 ms window + at most 1 ms = 56.00)\n",
      good.median, good.min, good.p90, good.max);
  std::printf(
      "transaction, silent line: median %.2f ms  min %.2f  p90 %.2f  max %.2f  "
      "(target: 4 x 55 + 100 ms + at most 4 ms = 324.00)\n",
      silent.median, silent.min, silent.p90, silent.max);
  sim.Stop();
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
