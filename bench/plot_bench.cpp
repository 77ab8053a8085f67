// climon-plot on a generated 30-day log in climon's own format: wall time (best of three),
// peak memory and SVG size for the last 1, 7 and 30 days, beside `wc -l` on the same
// file as the floor of reading it. The log has what a real one has: a pass about every
// second, failed reads, a stopped climon (gaps), a restart (a torn row and a repeated
// header) and a change of set point.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "logformat/LogFormat.h"

namespace {

struct Run {
  double seconds;
  long peak_kb;
};

// Runs a command line (sh -c) to its end: the wall time and the child's peak memory.
Run Time(const std::string& cmd) {
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage ru {};
  ::wait4(pid, &status, 0, &ru);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "plot_bench: '%s' failed\n", cmd.c_str());
    std::exit(1);
  }
  return {s, ru.ru_maxrss};
}

Run Best(const std::string& cmd) {
  Run best{1e9, 0};
  for (int i = 0; i < 3; ++i) {
    Run r = Time(cmd);
    if (r.seconds < best.seconds) best.seconds = r.seconds;
    if (r.peak_kb > best.peak_kb) best.peak_kb = r.peak_kb;
  }
  return best;
}

void Generate(const std::string& path, int days) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::string out = logformat::CsvHeader();
  std::int64_t t = 1796770800000;  // 2026-12-09T00:00:00+01:00
  const std::int64_t end = t + std::int64_t{days} * 86400000;
  std::uint32_t rng = 12345;
  auto next = [&rng] { return rng = rng * 1103515245 + 12345, (rng >> 16) & 0x7FFF; };
  logformat::LogRow row;
  row.port = 1;
  row.variant = 1;
  for (long pass = 0; t < end; ++pass) {
    double hours = static_cast<double>(t % 86400000) / 3600000;
    // A set point of 12.5 C, 10.0 C from the tenth day on.
    double set = t < 1796770800000 + 10LL * 86400000 ? 12.5 : 10.0;
    double temp = set + 0.6 * std::sin(hours / 24 * 6.283) + (next() % 100) / 500.0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", temp);
    using namespace logformat;
    auto& v = row.fields;
    v[kTemp] = next() % 200 == 0 ? "" : buf;  // a failed read now and then
    std::snprintf(buf, sizeof buf, "%.2f", set);
    v[kTempSet] = buf;
    std::snprintf(buf, sizeof buf, "%.2f", 85 + 3 * std::cos(hours / 12 * 6.283));
    v[kHumidity] = buf;
    v[kHumiditySet] = "85.00";
    std::snprintf(buf, sizeof buf, "%.3f", 1.5 + (next() % 300) / 1000.0);
    v[kCo2] = buf;
    v[kCo2Set] = "1.500";
    v[kEvap] = "-2.00";
    v[kEvapSet] = "0.00";
    v[kDefrostMin] = "185";
    v[kDefrostTemp] = "12.00";
    v[kVent] = v[kTempCtl] = v[kFloorHtr] = "1";
    v[kTempMode] = "0";
    bool refresh = pass % 2 == 0;
    v[kTotal] = refresh ? std::to_string(143415 + pass / 2) : "";
    v[kHeater] = v[kCounter119] = v[kCooler] = v[kCounter121] = refresh ? "5400" : "";
    out += logformat::CsvRow(logformat::FromUtcMs(t, 60), row);
    t += 1000 + static_cast<std::int64_t>(next() % 40);  // a pass a little over a second
    if (pass % 700000 == 699999) t += 45 * 60000;        // climon stopped for 45 minutes
    if (pass == 1500000) {                               // a power cut: a torn row, a restart
      out += "2026-12-26T10:00:00.000+01:00,1,1,12.";
      out += "\r\n" + logformat::CsvHeader();
    }
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), f);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::string plot = argc > 1 ? argv[1] : "build/climon-plot";
  std::string dir = (std::filesystem::temp_directory_path() / "climon-plot-bench").string();
  std::filesystem::create_directories(dir);
  std::string log = dir + "/30days.csv", svg = dir + "/trend.svg";
  Generate(log, 30);
  Time("cat " + log + " >/dev/null");  // into the page cache
  auto bytes = std::filesystem::file_size(log);
  std::printf("climon-plot on a generated 30-day log: %.0f MB, best of 3 runs each\n",
              static_cast<double>(bytes) / 1e6);
  Run floor = Best("wc -l " + log + " >/dev/null");
  std::printf("  %-10s %8.3f s  %8.1f MB peak\n", "wc -l", floor.seconds,
              static_cast<double>(floor.peak_kb) / 1024.0);
  for (const char* range : {"24h", "7d", "30d"}) {
    Run r = Best(plot + " " + log + " --last " + range + " -o " + svg + " 2>/dev/null");
    auto svg_bytes = std::filesystem::file_size(svg);
    std::printf("  --last %-4s %7.3f s  %8.1f MB peak  %7.0f kB SVG  (%.1f times wc -l)\n", range,
                r.seconds, static_cast<double>(r.peak_kb) / 1024.0,
                static_cast<double>(svg_bytes) / 1e3, r.seconds / floor.seconds);
  }
  std::printf("targets: 30 days in at most 15 times wc -l, under 64 MB, an SVG under 1.5 MB\n");
  if (std::getenv("CLIMON_BENCH_KEEP") == nullptr) std::filesystem::remove_all(dir);
  return 0;
}
