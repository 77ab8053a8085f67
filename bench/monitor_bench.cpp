// The monitor against climon-sim for a fixed number of passes: the pass time beside what
// its transactions and waits add up to, the CPU time and the bytes sent to the terminal.
#include <stdlib.h>

#include <cstdio>

#include "BenchSupport.h"
#include "Harness.h"
#include "monitor/Monitor.h"

namespace {

struct Pass {
  double ms, limit_ms, cpu_ms;
  std::size_t bytes;
};

void Report(const char* name, const std::vector<Pass>& passes) {
  if (passes.empty()) return;
  std::vector<double> ms, over, cpu, bytes;
  for (const auto& p : passes) {
    ms.push_back(p.ms);
    over.push_back(100.0 * (p.ms - p.limit_ms) / p.limit_ms);
    cpu.push_back(100.0 * p.cpu_ms / p.ms);
    bytes.push_back(static_cast<double>(p.bytes));
  }
  auto m = bench::Summarise(ms), o = bench::Summarise(over), c = bench::Summarise(cpu),
       b = bench::Summarise(bytes);
  std::printf(
      "%-16s %3zu passes: median %.1f ms (limit %.1f ms, over it by %.2f %%, max %.2f %%); "
      "CPU %.3f %% of a core (max %.3f); %.0f bytes per pass (max %.0f)\n",
      name, passes.size(), m.median, passes[passes.size() / 2].limit_ms, o.median, o.max, c.median,
      c.max, b.median, b.max);
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 16;
  std::string dir = e2e::TempDir();
  e2e::Simulator sim(dir, {"--variant", "1"});  // no value changes
  ::setenv("CLIMON_COM1", sim.link().c_str(), 1);

  bench::CountingConsole con;
  bench::CountingClock clock;
  bench::CountingPorts ports;
  comLib3::ComLib3 com(con, clock, ports);
  monitor::Monitor m(com);
  m.ComPort = 1;
  PLC_Lib3::OpenPlcPort(com, 1);
  m.DetectDeviceVariant(1);
  m.SelectCounterLabels();
  m.MonitorPreparation();
  m.MonitorPass();  // the first pass paints the screen: not counted

  std::vector<Pass> plain, refresh;
  for (int i = 0; i < n; ++i) {
    bool refreshes = m.CycleCount % 2 == 0;
    long reads0 = ports.reads;
    auto asked0 = clock.asked;
    std::size_t bytes0 = con.bytes;
    double cpu0 = bench::CpuMs();
    auto t0 = std::chrono::steady_clock::now();
    m.MonitorPass();
    double ms = bench::Ms(std::chrono::steady_clock::now() - t0).count();
    double limit =
        55.0 * static_cast<double>(ports.reads - reads0) + bench::Ms(clock.asked - asked0).count();
    Pass p{ms, limit, bench::CpuMs() - cpu0, con.bytes - bytes0};
    (refreshes ? refresh : plain).push_back(p);
  }
  Report("plain pass", plain);
  Report("counter refresh", refresh);
  std::printf(
      "targets: within 2 %% of the limit, under 1 %% of one core, under 100 bytes per "
      "pass when no value changes\n");
  sim.Stop();
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
