// The monitor against climon-sim: each pass's time beside what its read windows and its
// waits add up to (all that the protocol asks for), the CPU it takes and the bytes it
// sends to the terminal, for plain passes and for the passes that refresh the counters.
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "BenchSupport.h"
#include "Harness.h"
#include "monitor/Monitor.h"

namespace {

struct Pass {
  double ms, limit_ms, cpu_ms;
  std::size_t bytes;
  // Where the time above the limit went: the reads' and the waits' late ends, and the
  // time outside both (the purges and writes, and climon's own work).
  double reads_over_ms, waits_over_ms, between_ms;
};

void Report(const char* name, const std::vector<Pass>& passes) {
  if (passes.empty()) return;
  std::vector<double> ms, limit, over, cpu, bytes;
  for (const auto& p : passes) {
    ms.push_back(p.ms);
    limit.push_back(p.limit_ms);
    over.push_back(100.0 * (p.ms - p.limit_ms) / p.limit_ms);
    cpu.push_back(100.0 * p.cpu_ms / p.ms);
    bytes.push_back(static_cast<double>(p.bytes));
  }
  std::vector<double> r_over, w_over, between;
  for (const auto& p : passes) {
    r_over.push_back(p.reads_over_ms);
    w_over.push_back(p.waits_over_ms);
    between.push_back(p.between_ms);
  }
  auto m = bench::Summarise(ms), l = bench::Summarise(limit), o = bench::Summarise(over),
       c = bench::Summarise(cpu), b = bench::Summarise(bytes);
  std::printf(
      "%-13s %3zu passes: median %.1f ms against %.1f ms of windows and waits: %+.2f %% "
      "(max %+.2f %%); CPU %.3f %% of a core (max %.3f); %.0f bytes to the terminal (max %.0f)\n"
      "%-13s the time above: %.2f ms in the reads' wake-ups, %.2f ms in the waits', %.2f ms "
      "outside both (medians)\n",
      name, passes.size(), m.median, l.median, o.median, o.max, c.median, c.max, b.median, b.max,
      "", bench::Summarise(r_over).median, bench::Summarise(w_over).median,
      bench::Summarise(between).median);
}

// What the waits alone cost on this machine: a plain pass's nine 55 ms waits and one of
// 100 ms, with nothing else, as a share of a core. Every pass pays at least this.
double WaitsAloneCpuShare(int passes) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return 0;
  platform::posix::PosixClock clock;  // the same timer slack as climon's
  std::vector<double> share;
  for (int i = 0; i < passes; ++i) {
    double cpu0 = bench::CpuMs();
    auto t0 = std::chrono::steady_clock::now();
    for (int w = 0; w < 9; ++w) {
      struct pollfd pfd {
        pipe_fds[0], POLLIN, 0
      };
      struct timespec ts {
        0, 55'000'000
      };
      ::ppoll(&pfd, 1, &ts, nullptr);
    }
    clock.Sleep(std::chrono::milliseconds(100));
    share.push_back(100.0 * (bench::CpuMs() - cpu0) /
                    bench::Ms(std::chrono::steady_clock::now() - t0).count());
  }
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
  return bench::Summarise(share).median;
}

// Passes of the monitor on the port that CLIMON_COM1 names, reported under `label`; with
// the alarms' rule stepped each pass when `alarms`.
void Measure(const std::string& label, std::size_t n, bool alarms = false) {
  bench::CountingConsole con;
  bench::CountingClock clock;
  bench::CountingPorts ports;
  comLib3::ComLib3 com(con, clock, ports);
  monitor::Outputs out;
  if (alarms) out.alarms = alarms::Settings{};
  monitor::Monitor m(com, out);
  m.ComPort = 1;
  PLC_Lib3::OpenPlcPort(com, 1);
  m.DetectDeviceVariant(1);
  m.SelectCounterLabels();
  m.MonitorPreparation();
  m.MonitorPass();  // the first pass paints the screen: not counted

  std::vector<Pass> plain, refresh;
  while (plain.size() < n || refresh.size() < n) {
    bool refreshes = m.CycleCount % 2 == 0;
    long reads0 = ports.reads, written0 = ports.written;
    auto asked0 = clock.asked, took0 = clock.took, in_reads0 = ports.in_reads;
    std::size_t bytes0 = con.bytes;
    double cpu0 = bench::CpuMs();
    auto t0 = std::chrono::steady_clock::now();
    m.MonitorPass();
    double ms = bench::Ms(std::chrono::steady_clock::now() - t0).count();
    // Each window opens once its command has left: 11 bits a byte at 9600 baud.
    double sending = static_cast<double>(ports.written - written0) * 11 / 9.6;
    double limit = 55.0 * static_cast<double>(ports.reads - reads0) + sending +
                   bench::Ms(clock.asked - asked0).count();
    double windows = 55.0 * static_cast<double>(ports.reads - reads0);
    double in_reads = bench::Ms(ports.in_reads - in_reads0).count();
    double waits = bench::Ms(clock.took - took0).count();
    Pass p{ms,
           limit,
           bench::CpuMs() - cpu0,
           con.bytes - bytes0,
           in_reads - windows - sending,
           waits - bench::Ms(clock.asked - asked0).count(),
           ms - in_reads - waits};
    (refreshes ? refresh : plain).push_back(p);
  }
  Report(("plain" + label).c_str(), plain);
  Report(("refresh" + label).c_str(), refresh);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 30;
  std::string dir = e2e::TempDir();
  e2e::Simulator sim(dir, {"--variant", "1"});  // no value changes
  ::setenv("CLIMON_COM1", sim.link().c_str(), 1);
  Measure(" pass", n);
  {
    // The same with the alarms' rule, on a simulator of its own: a pseudo-terminal opened
    // a second time answers differently, and the figures would not compare.
    e2e::Simulator own(dir, {"--variant", "1"}, dir + "/COM1-alarms");
    ::setenv("CLIMON_COM1", own.link().c_str(), 1);
    Measure(", alarms", n, true);
    own.Stop();
  }
  // The same controller behind ser2net on this machine's loopback: raw TCP and RFC 2217.
  if (std::system("command -v ser2net >/dev/null") == 0) {
    e2e::Ser2net server(dir, sim.link());
    for (bool rfc2217 : {false, true}) {
      ::setenv("CLIMON_COM1", server.Address(rfc2217).c_str(), 1);
      Measure(rfc2217 ? ", rfc2217" : ", tcp", n);
    }
  } else {
    std::printf("no ser2net here: the passes over the network are not measured\n");
  }
  std::printf(
      "the waits alone, without climon's work, take %.3f %% of a core here (median of %zu)\n",
      WaitsAloneCpuShare(static_cast<int>(n)), n);
  std::printf(
      "targets: within 0.3 %% of the windows and waits (median), CPU below 0.1 %% of a core, "
      "at most 41 bytes per unchanged plain pass\n");
  sim.Stop();
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
