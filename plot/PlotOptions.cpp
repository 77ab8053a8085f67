#include "PlotOptions.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "logformat/LogFormat.h"

namespace plot {
namespace {

using logformat::Digits;

constexpr std::int64_t kDayMs = 86400000;

}  // namespace

const char* const kPlotUsage =
    "usage: climon-plot LOG.csv... -o TREND.svg [--from TIME] [--to TIME]\n"
    "                   [--last 24h|7d|30d]\n"
    "       climon-plot --help | --version\n"
    "Draws the temperature, humidity and CO2 of climon value logs (climon --log) over\n"
    "time, each with its set point, as one self-contained SVG file. Several logs\n"
    "(rotated ones, in any order) make one chart in time order. TIME is 2026-12-09 or\n"
    "2026-12-09T14:00[:00], in local time unless it ends in Z or an offset such as\n"
    "+01:00; --to a date takes the whole day. --last counts back from the newest row.\n"
    "See climon-plot(1).\n";

const char* const kPlotUsageHint =
    "usage: climon-plot LOG.csv... -o TREND.svg [--from TIME] [--to TIME]\n"
    "                   [--last 24h|7d|30d]   (climon-plot --help tells more)\n";

std::optional<std::int64_t> ParseBound(const std::string& text) {
  std::string_view s = text;
  int y, mo, d, h = 0, mi = 0, se = 0, ms = 0;
  if (s.size() < 10 || !Digits(s, 0, 4, y) || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d) || !logformat::ValidDate(y, mo, d)) {
    return std::nullopt;
  }
  std::size_t at = 10;
  if (at < s.size() && (s[at] == 'T' || s[at] == ' ')) {
    if (!Digits(s, at + 1, 2, h) || at + 3 >= s.size() || s[at + 3] != ':' ||
        !Digits(s, at + 4, 2, mi) || h > 23 || mi > 59) {
      return std::nullopt;
    }
    at += 6;
    if (at < s.size() && s[at] == ':') {
      if (!Digits(s, at + 1, 2, se) || se > 59) return std::nullopt;
      at += 3;
      if (at < s.size() && s[at] == '.') {
        if (!Digits(s, at + 1, 3, ms)) return std::nullopt;
        at += 4;
      }
    }
  }
  std::int64_t local_ms =
      (logformat::DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
       h * 3600 + mi * 60 + se) *
          1000 +
      ms;
  if (at == s.size()) {
    // Local time of this machine.
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = se;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t) * 1000 + ms;
  }
  if (s.substr(at) == "Z") return local_ms;
  int oh, om;
  if (s.size() != at + 6 || (s[at] != '+' && s[at] != '-') || !Digits(s, at + 1, 2, oh) ||
      s[at + 3] != ':' || !Digits(s, at + 4, 2, om) || oh > 23 || om > 59) {
    return std::nullopt;
  }
  std::int64_t off = (s[at] == '-' ? -1 : 1) * (oh * 60 + om) * std::int64_t{60000};
  return local_ms - off;
}

std::string ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "-o") {
      const std::string* v = value();
      if (v == nullptr || v->empty()) return "-o needs the name of the SVG file to write";
      o.out = *v;
    } else if (a == "--from" || a == "--to") {
      const std::string* v = value();
      std::optional<std::int64_t> t = v != nullptr ? ParseBound(*v) : std::nullopt;
      if (!t) {
        return a + " needs a date or a date and time such as 2026-12-09 or 2026-12-09T14:00" +
               (v != nullptr ? ", not '" + *v + "'" : std::string());
      }
      // A date alone as the upper bound takes in the whole day.
      if (a == "--to" && v->size() == 10) *t += kDayMs - 1;
      (a == "--from" ? o.from : o.to) = t;
    } else if (a == "--last") {
      const std::string* v = value();
      std::int64_t n = 0;
      bool ok = v != nullptr && v->size() >= 2;
      if (ok) {
        auto [end, ec] = std::from_chars(v->data(), v->data() + v->size() - 1, n);
        char unit = v->back();
        ok = ec == std::errc() && end == v->data() + v->size() - 1 && n > 0 && n <= 100000 &&
             (unit == 'h' || unit == 'd');
        n *= unit == 'h' ? 3600000 : kDayMs;
      }
      if (!ok) return "--last needs a number of hours or days such as 24h, 7d or 30d";
      o.last_ms = n;
    } else if (a.starts_with("-") && a != "-") {
      return "unknown option " + a;
    } else {
      o.logs.push_back(a);
    }
  }
  if (o.help || o.version) return "";
  if (o.last_ms && (o.from || o.to)) return "--last does not go with --from or --to";
  if (o.logs.empty() || o.out.empty()) return "a log and -o are needed";
  if (o.from && o.to && *o.from > *o.to) return "--from is later than --to";
  return "";
}

std::optional<std::int64_t> NewestTime(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  std::string tail(65536, '\0');
  long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : 0;
  long from = size > static_cast<long>(tail.size()) ? size - static_cast<long>(tail.size()) : 0;
  std::fseek(f, from, SEEK_SET);
  tail.resize(std::fread(tail.data(), 1, tail.size(), f));
  std::fclose(f);
  // The last line whose first field is a time, from the end.
  std::size_t end = tail.size();
  while (end > 0) {
    std::size_t start = tail.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    std::string_view line(tail.data() + start, end - start);
    std::int64_t ms;
    int off;
    std::size_t comma = line.find(',');
    if (comma != std::string_view::npos &&
        logformat::ParseIsoTime(line.substr(0, comma), ms, off)) {
      return ms;
    }
    if (start == 0) break;
    end = start - 1;
  }
  return std::nullopt;
}

}  // namespace plot
