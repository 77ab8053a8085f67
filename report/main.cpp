// climon-report: the room's record for a period, as HTML to read and print, and as CSV.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Html.h"
#include "LogSet.h"
#include "Report.h"
#include "ReportOptions.h"
#include "cli/Cli.h"
#include "logformat/LogFormat.h"

namespace {

int Refuse(const std::string& why, bool usage = false) {
  return cli::Refuse("climon-report", why, usage ? report::kReportUsageHint : "");
}

// Rows this far beyond the period are read too: the offset and the set point in force at
// its start, and no false "no rows before" where the log began earlier.
constexpr std::int64_t kMarginMs = 15 * 3600000LL;

// When the report was made, to the minute, in UTC.
std::string Now() {
  using namespace std::chrono;
  logformat::LocalTime t = logformat::FromUtcMs(
      duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count(), 0);
  return logformat::FormatDate(t.year, t.month, t.day) + " " +
         logformat::FormatClock(t.hour, t.minute, t.second).substr(0, 5) + " UTC";
}

}  // namespace

int main(int argc, char** argv) {
  report::ReportOptions o;
  std::string error =
      report::ParseReportOptions(std::vector<std::string>(argv + 1, argv + argc), o);
  if (!error.empty()) return Refuse(error, true);
  if (o.help) {
    std::fputs(report::kReportUsage, stdout);
    return 0;
  }
  if (o.version) {
    std::printf("climon-report %s\n", CLIMON_VERSION);
    return 0;
  }
  report::Period& period = o.period;
  logread::Range range;
  if (period.Days()) {
    range.from = *period.first_day * report::kDayMs - kMarginMs;
    range.to = (*period.last_day + 1) * report::kDayMs + kMarginMs;
  } else if (o.last_ms) {
    range.last = *o.last_ms + kMarginMs;
  } else {
    range.from = *period.from - kMarginMs;
    range.to = *period.to + kMarginMs;
  }
  logread::LogSet logs(o.logs, range);
  if (o.last_ms) {
    period.to = logs.range().to;
    period.from = *logs.range().to - *o.last_ms;
  }
  report::Builder builder(o.settings, period);
  logread::SetRead read =
      logs.Read({[&builder](const logread::Row& row) { builder.Add(row); }, {}});
  std::vector<std::string> errors = read.Errors();
  if (!read.mixed.empty()) {
    for (const std::string& e : errors) std::fprintf(stderr, "climon-report: %s\n", e.c_str());
    return Refuse("the logs are of more than one room (" + read.mixed +
                  "): report one room at a time");
  }
  if (errors.size() == read.files.size()) {
    for (const std::string& e : errors) std::fprintf(stderr, "climon-report: %s\n", e.c_str());
    return 2;  // nothing to report from
  }
  report::Record record = builder.Finish();
  std::string room;
  for (const std::string& path : o.audits) {
    std::string text;
    if (!logread::ReadAll(path, text, error) ||
        !report::ReadAudit(path, text, record, period, room, error)) {
      errors.push_back(error);
    }
  }
  for (const std::string& e : errors) std::fprintf(stderr, "climon-report: %s\n", e.c_str());
  std::string damage = logread::DamageReport(read);
  if (!damage.empty())
    std::fprintf(stderr, "climon-report: skipped damaged rows:%s\n", damage.c_str());
  report::Provenance p;
  p.room = !o.room.empty() ? o.room : !room.empty() ? room : "port " + std::to_string(record.port);
  p.period = o.period_text;
  p.version = CLIMON_VERSION;
  p.made_at = Now();
  p.settings = o.settings;
  p.logs = read.files;
  p.audits = o.audits;
  p.errors = errors;
  p.damage = damage;
  if (!o.out.empty() && !logread::WriteAll(o.out, report::Html(record, p), error))
    return Refuse(error);
  if (!o.csv.empty() && !logread::WriteAll(o.csv, report::Csv(record, o.settings), error))
    return Refuse(error);
  return errors.empty() ? 0 : 1;
}
