// climon-plot on generated logs in climon's own format: wall time (best of three), peak
// memory and SVG size, beside `wc -l` and `zcat | wc -l` on the same files as the floor of
// reading them. A 30-day log drawn for its last 1, 7 and 30 days; a year's log, plain,
// for its last day; the same year rotated daily and compressed (365 .gz files), drawn
// whole and for its last day. The logs have what a real one has: a pass about every
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
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "logformat/LogFormat.h"
#include "seal/Chain.h"

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

// `days` of log at `path`; with `daily`, also a file a day in that folder, as logrotate's
// dateext names them (climon-room.csv-20261209), each with its header.
// The daily files again in `sealed`, each row chained and a link written every two minutes,
// as climon writes them.
void Generate(const std::string& path, int days, const std::string& daily = "",
              const std::string& sealed = "") {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::FILE* day_file = nullptr;
  std::FILE* sealed_file = nullptr;
  seal::Hasher hasher;
  seal::Head head;
  std::int64_t last_link = 0;
  bool first_of_file = false;
  std::int64_t day_end = 0;
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
    logformat::LocalTime local = logformat::FromUtcMs(t, 60);
    std::string line = logformat::CsvRow(local, row);
    out += line;
    if (!daily.empty()) {
      if (t >= day_end) {
        if (day_file != nullptr) std::fclose(day_file);
        char name[64];
        std::snprintf(name, sizeof name, "/climon-room.csv-%04d%02d%02d", local.year, local.month,
                      local.day);
        day_file = std::fopen((daily + name).c_str(), "wb");
        std::fputs(logformat::CsvHeader().c_str(), day_file);
        day_end = t - (t + 3600000) % 86400000 + 86400000;  // the next local midnight
        if (!sealed.empty()) {
          if (sealed_file != nullptr) std::fclose(sealed_file);
          sealed_file = std::fopen((sealed + name).c_str(), "wb");
          std::string header = logformat::CsvHeader();
          std::fputs((header.substr(0, header.size() - 2) + ",seal\r\n").c_str(), sealed_file);
          first_of_file = true;
        }
      }
      std::fwrite(line.data(), 1, line.size(), day_file);
      if (sealed_file != nullptr) {
        const std::string content = line.substr(0, line.size() - 2);
        seal::Head linked = hasher.Next(head, content);
        std::string field;
        if (first_of_file) {
          field = seal::FromField(head);
        } else if (t - last_link >= 120000) {
          field = seal::SealField(linked);
          last_link = t;
        }
        head = linked;
        first_of_file = false;
        const std::string sealed_line = content + "," + field + "\r\n";
        std::fwrite(sealed_line.data(), 1, sealed_line.size(), sealed_file);
      }
    }
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
  if (day_file != nullptr) std::fclose(day_file);
  if (sealed_file != nullptr) std::fclose(sealed_file);
}

double MegabytesIn(const std::string& dir) {
  double sum = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    sum += static_cast<double>(e.file_size());
  }
  return sum / 1e6;
}

void Line(const char* what, const Run& r, const Run* floor, const char* floor_name) {
  std::printf("  %-34s %7.3f s  %7.1f MB peak", what, r.seconds,
              static_cast<double>(r.peak_kb) / 1024.0);
  if (floor != nullptr) std::printf("  (%.2f times %s)", r.seconds / floor->seconds, floor_name);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string plot = argc > 1 ? argv[1] : "build/climon-plot";
  std::string report = argc > 2 ? argv[2] : "build/climon-report";
  std::string dir = (std::filesystem::temp_directory_path() / "climon-plot-bench").string();
  std::filesystem::remove_all(dir);  // a kept run's files (CLIMON_BENCH_KEEP)
  std::filesystem::create_directories(dir);
  std::string log = dir + "/30days.csv", svg = dir + "/trend.svg";
  Generate(log, 30);
  Time("cat " + log + " >/dev/null");  // into the page cache
  auto bytes = std::filesystem::file_size(log);
  std::printf("climon-plot on a generated 30-day log: %.0f MB, best of 3 runs each\n",
              static_cast<double>(bytes) / 1e6);
  Run floor = Best("wc -l " + log + " >/dev/null");
  Line("wc -l", floor, nullptr, "");
  for (const char* range : {"24h", "7d", "30d"}) {
    Run r = Best(plot + " " + log + " --last " + range + " -o " + svg + " 2>/dev/null");
    auto svg_bytes = std::filesystem::file_size(svg);
    std::string what =
        std::string("--last ") + range + " (" + std::to_string(svg_bytes / 1000) + " kB SVG)";
    Line(what.c_str(), r, &floor, "wc -l");
  }
  std::printf("targets: 30 days in at most 15 times wc -l, under 64 MB, an SVG under 1.5 MB\n");
  std::filesystem::remove(log);

  // A year: one plain log, and the same rotated daily and compressed as logrotate does.
  std::string year = dir + "/365days.csv", daily = dir + "/daily", sealed = dir + "/sealed";
  std::filesystem::create_directories(daily);
  std::filesystem::create_directories(sealed);
  Generate(year, 365, daily, sealed);
  Time("cd " + daily + " && ls | xargs -P 2 -n 8 gzip -6");
  Time("cd " + sealed + " && ls | xargs -P 2 -n 8 gzip -6");
  Time("cat " + year + " >/dev/null");
  const double gz = MegabytesIn(daily), sealed_gz = MegabytesIn(sealed);
  std::printf(
      "a year: a plain log of %.2f GB; 365 daily .gz files of %.1f MB in all, %.1f MB "
      "sealed (%+.1f %%)\n",
      static_cast<double>(std::filesystem::file_size(year)) / 1e9, gz, sealed_gz,
      (sealed_gz / gz - 1) * 100);
  Run wc_year = Best("wc -l " + year + " >/dev/null");
  Line("wc -l (plain year)", wc_year, nullptr, "");
  Line("--last 24h (plain year)",
       Best(plot + " " + year + " --last 24h -o " + svg + " 2>/dev/null"), &wc_year, "wc -l");
  std::string files = daily + "/*.gz";
  Run zcat = Best("zcat " + files + " | wc -l >/dev/null");
  Line("zcat FILES | wc -l", zcat, nullptr, "");
  Line("all 365 .gz files", Best(plot + " " + files + " -o " + svg + " 2>/dev/null"), &zcat,
       "zcat | wc -l");
  Line("--last 24h (365 .gz files)",
       Best(plot + " " + files + " --last 24h -o " + svg + " 2>/dev/null"), &zcat, "zcat | wc -l");
  std::printf(
      "targets: --last 24h on a plain year in at most 0.1 s; a year of .gz files in at most\n"
      "1.2 times zcat FILES | wc -l\n");
  // climon-report on the same files: a month's record, and a day's from the plain year.
  std::string html = dir + "/report.html";
  Line("climon-report --month (.gz files)",
       Best(report + " " + files + " --month 2027-01 -o " + html + " 2>/dev/null"), &zcat,
       "zcat | wc -l");
  // The month's alarms as the defaults judge it, and with a band half as wide, from the
  // alarms' CSV (a row per alarm, or per acknowledgement).
  for (const char* band : {"", " --temp-band 0.5"}) {
    const std::string csv = dir + "/alarms.csv";
    Run r =
        Best(report + " " + files + " --month 2027-01 --alarms-csv " + csv + band + " 2>/dev/null");
    std::ifstream in(csv);
    int alarms = -1;  // the header
    std::map<std::string, int> by_alarm;
    for (std::string line; std::getline(in, line); ++alarms) {
      if (alarms >= 0) ++by_alarm[line.substr(0, line.find(','))];
    }
    std::string which;
    for (const auto& [name, count] : by_alarm) which += " " + name + " " + std::to_string(count);
    std::printf("climon-report --month --alarms-csv%s: %.2f s; %d alarms%s\n", band, r.seconds,
                alarms, which.c_str());
  }
  Line("climon-report --day (plain year)",
       Best(report + " " + year + " --day 2027-06-01 -o " + html + " 2>/dev/null"), &wc_year,
       "wc -l");
  // The same with the seals: a month's record checks the month's chain as it reads it, and
  // --verify checks every row of the year.
  std::string sealed_files = sealed + "/*.gz";
  Run zcat_sealed = Best("zcat " + sealed_files + " | wc -l >/dev/null");
  Line("zcat FILES | wc -l (sealed)", zcat_sealed, nullptr, "");
  Line("climon-report --month (sealed .gz)",
       Best(report + " " + sealed_files + " --month 2027-01 -o " + html + " 2>/dev/null"),
       &zcat_sealed, "zcat | wc -l");
  Line("climon-report --verify (sealed year)",
       Best(report + " --verify " + sealed_files + " >/dev/null 2>&1"), &zcat_sealed,
       "zcat | wc -l");
  Line("climon-report --verify (unsealed year)",
       Best(report + " --verify " + files + " >/dev/null 2>&1 || test $? = 3"), &zcat,
       "zcat | wc -l");
  if (std::getenv("CLIMON_BENCH_KEEP") == nullptr) std::filesystem::remove_all(dir);
  return 0;
}
