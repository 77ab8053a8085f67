#include "PlotOptions.h"

#include <cstdio>
#include <ctime>
#include <string_view>

#include "cli/Cli.h"
#include "logformat/LogFormat.h"

namespace plot {
namespace {

constexpr std::int64_t kDayMs = 86400000;

}  // namespace

const char* const kPlotUsage =
    "usage: climon-plot LOG.csv... -o TREND.svg [--from TIME] [--to TIME]\n"
    "                   [--last 24h|7d|30d]\n"
    "       climon-plot --help | --version\n"
    "Draws the temperature, humidity and CO2 of climon value logs (climon --log) over\n"
    "time, each with its set point, as one self-contained SVG file. Several logs\n"
    "(rotated ones, plain or gzip, in any order) make one chart in time order. TIME\n"
    "is 2026-12-09 or 2026-12-09T14:00[:00], in local time unless it ends in Z or an\n"
    "offset such as +01:00; --to a date takes the whole day. --last counts back from\n"
    "the newest row. Exit status 1: drawn, but a log could not be read.\n"
    "See climon-plot(1).\n";

const char* const kPlotUsageHint =
    "usage: climon-plot LOG.csv... -o TREND.svg [--from TIME] [--to TIME]\n"
    "                   [--last 24h|7d|30d]   (climon-plot --help tells more)\n";

std::string ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& o) {
  static constexpr const char* kTime =
      "a date or a date and time such as 2026-12-09 or 2026-12-09T14:00";
  static constexpr const char* kSpan = "a number of hours or days such as 24h, 7d or 30d";
  static constexpr cli::Option kOptions[] = {
      {"--help", nullptr},    {"-h", nullptr},
      {"--version", nullptr}, {"-o", "the name of the SVG file to write"},
      {"--from", kTime},      {"--to", kTime},
      {"--last", kSpan},
  };
  cli::Parsed line = cli::Parse(args, kOptions, true);
  if (!line.error.empty()) return line.error;
  for (const cli::Arg& a : line.args) {
    const std::string& v = a.value;
    if (a.name.empty()) {
      o.logs.push_back(v);
    } else if (a.name == "--help" || a.name == "-h") {
      o.help = true;
    } else if (a.name == "--version") {
      o.version = true;
    } else if (a.name == "-o") {
      if (v.empty()) return "option -o needs the name of the SVG file to write";
      o.out = v;
    } else if (a.name == "--from" || a.name == "--to") {
      std::optional<std::int64_t> t = logformat::ParseTimeBound(v);
      if (!t) return "option " + a.name + ": '" + v + "' is not " + kTime;
      // A date alone as the upper bound takes in the whole day.
      if (a.name == "--to" && v.size() == 10) *t += kDayMs - 1;
      (a.name == "--from" ? o.from : o.to) = t;
    } else if (a.name == "--last") {
      o.last_ms = logformat::ParseSpan(v);
      if (!o.last_ms) return "option --last: '" + v + "' is not " + kSpan;
    }
  }
  if (o.help || o.version) return "";
  if (o.last_ms && (o.from || o.to)) return "--last does not go with --from or --to";
  if (o.logs.empty() || o.out.empty()) return "a log and -o are needed";
  if (o.from && o.to && *o.from > *o.to) return "--from is later than --to";
  return "";
}

}  // namespace plot
