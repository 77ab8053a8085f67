#include "ReportOptions.h"

#include <charconv>
#include <cmath>

#include "cli/Cli.h"
#include "logformat/LogFormat.h"

namespace report {

const char* const kReportUsage =
    "usage: climon-report LOG... -o REPORT.html [--csv DAYS.csv] [--audit AUDIT]...\n"
    "         (--day DATE | --month YYYY-MM | --from TIME --to TIME | --last 7d)\n"
    "         [--room NAME] [--temp-band C] [--humidity-band PCT] [--co2-above PCT]\n"
    "         [--delay MINUTES]\n"
    "       climon-report --help | --version\n"
    "The room's record for a period from climon value logs (plain or gzip, in any\n"
    "order) and audit trails: per day and value the lowest, highest and mean, the\n"
    "time inside and outside the band around the set point and without a value; the\n"
    "excursions, outages and operator actions; a sign-off block. Bands: temperature\n"
    "+-1.0 C, humidity +-5 points, CO2 up to 0.5 points above the set point; an\n"
    "excursion is listed from 15 minutes. Exit status 1: written, but a file could\n"
    "not be read. See climon-report(1).\n";

const char* const kReportUsageHint =
    "usage: climon-report LOG... -o REPORT.html (--day DATE | --month YYYY-MM |\n"
    "         --from TIME --to TIME | --last 7d)   (climon-report --help tells more)\n";

namespace {

constexpr const char* kTime = "a date or a date and time such as 2026-12-09 or 2026-12-09T14:00";

bool Date(std::string_view v, int& y, int& m, int& d) {
  return v.size() == 10 && logformat::Digits(v, 0, 4, y) && v[4] == '-' &&
         logformat::Digits(v, 5, 2, m) && v[7] == '-' && logformat::Digits(v, 8, 2, d) &&
         logformat::ValidDate(y, m, d);
}

// A number of a band: 0 to 100.
bool Amount(const std::string& v, double& out) {
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  return ec == std::errc() && end == v.data() + v.size() && std::isfinite(out) && out >= 0 &&
         out <= 100;
}

}  // namespace

std::string ParseReportOptions(const std::vector<std::string>& args, ReportOptions& o) {
  static constexpr const char* kAmount = "a number from 0 to 100 such as 1.5";
  static constexpr cli::Option kOptions[] = {
      {"--help", nullptr},
      {"-h", nullptr},
      {"--version", nullptr},
      {"-o", "the name of the HTML file to write"},
      {"--csv", "the name of the CSV file to write"},
      {"--audit", "the name of an audit trail (climon --audit)"},
      {"--day", "a date such as 2026-12-09"},
      {"--month", "a month such as 2026-12"},
      {"--from", kTime},
      {"--to", kTime},
      {"--last", "a number of hours or days such as 24h or 7d"},
      {"--room", "the room's name"},
      {"--temp-band", kAmount},
      {"--humidity-band", kAmount},
      {"--co2-above", kAmount},
      {"--delay", "a number of minutes such as 15"},
  };
  cli::Parsed line = cli::Parse(args, kOptions, true);
  if (!line.error.empty()) return line.error;
  int periods = 0;
  for (const cli::Arg& a : line.args) {
    const std::string& v = a.value;
    const std::string& n = a.name;
    if (n.empty()) {
      o.logs.push_back(v);
    } else if (n == "--help" || n == "-h") {
      o.help = true;
    } else if (n == "--version") {
      o.version = true;
    } else if (n == "-o" || n == "--csv" || n == "--room") {
      if (v.empty()) return "option " + n + " needs a value";
      (n == "-o" ? o.out : n == "--csv" ? o.csv : o.room) = v;
    } else if (n == "--audit") {
      o.audits.push_back(v);
    } else if (n == "--day") {
      int y, m, d;
      if (!Date(v, y, m, d)) return "option --day: '" + v + "' is not a date such as 2026-12-09";
      o.period.first_day = o.period.last_day =
          logformat::DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
      o.period_text = v;
      ++periods;
    } else if (n == "--month") {
      int y, m, d;
      if (!Date(v + "-01", y, m, d))
        return "option --month: '" + v + "' is not a month such as 2026-12";
      o.period.first_day = logformat::DaysFromCivil(y, static_cast<unsigned>(m), 1);
      o.period.last_day = logformat::DaysFromCivil(m == 12 ? y + 1 : y,
                                                   m == 12 ? 1u : static_cast<unsigned>(m + 1), 1) -
                          1;
      o.period_text = v;
      ++periods;
    } else if (n == "--from" || n == "--to") {
      std::optional<std::int64_t> t = logformat::ParseTimeBound(v);
      if (!t) return "option " + n + ": '" + v + "' is not " + kTime;
      // A date alone as the end takes in the whole day.
      if (n == "--to" && v.size() == 10) *t += kDayMs;
      (n == "--from" ? o.period.from : o.period.to) = t;
      if (n == "--from") ++periods;
      o.period_text += (o.period_text.empty() ? "" : " ") + n.substr(2) + " " + v;
    } else if (n == "--last") {
      o.last_ms = logformat::ParseSpan(v);
      if (!o.last_ms)
        return "option --last: '" + v + "' is not a number of hours or days such as 24h or 7d";
      o.period_text =
          "the last " + v.substr(0, v.size() - 1) + (v.back() == 'h' ? " hours" : " days");
      ++periods;
    } else if (n == "--delay") {
      int minutes = 0;
      auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), minutes);
      if (ec != std::errc() || end != v.data() + v.size() || minutes < 0 || minutes > 1440) {
        return "option --delay: '" + v + "' is not a number of minutes from 0 to 1440";
      }
      o.settings.delay_ms = minutes * std::int64_t{60000};
    } else {
      double x = 0;
      if (!Amount(v, x)) return "option " + n + ": '" + v + "' is not " + kAmount;
      Value which = n == "--temp-band" ? kTemp : n == "--humidity-band" ? kHumidity : kCo2;
      Band& b = *o.settings.bands[which];
      b.above = x;
      if (b.has_below) b.below = x;
    }
  }
  if (o.help || o.version) return "";
  if (o.period.from.has_value() != o.period.to.has_value()) return "--from and --to go together";
  if (periods != 1) {
    return periods == 0 ? "a period is needed: --day, --month, --from or --last"
                        : "give one period: --day, --month, --from or --last";
  }
  if (o.period.from && *o.period.from >= *o.period.to) return "--from is not before --to";
  // A page a day: a longer period is a report too long to print, and a clock years wrong
  // in a log could make one of millions of days.
  std::int64_t span = o.last_ms ? *o.last_ms : o.period.from ? *o.period.to - *o.period.from : 0;
  if (span > kMaxDays * kDayMs) {
    return "the period is longer than " + std::to_string(kMaxDays) +
           " days: make one report a month";
  }
  if (o.logs.empty() || (o.out.empty() && o.csv.empty())) return "a log and -o or --csv are needed";
  return "";
}

}  // namespace report
