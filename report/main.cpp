// climon-report: the room's record for a period, as HTML to read and print, and as CSV.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Html.h"
#include "Report.h"
#include "ReportOptions.h"
#include "files/Files.h"
#include "logformat/LogFormat.h"
#include "logread/Input.h"
#include "logread/LogSet.h"
#include "logread/Progress.h"

namespace {

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

void Say(const std::vector<std::string>& errors) {
  for (const std::string& e : errors) std::fprintf(stderr, "climon-report: %s\n", e.c_str());
}

bool Write(const std::string& path, const std::string& bytes) {
  std::string why;
  if (path.empty() || files::WriteAll(path, bytes, why)) return true;
  std::fprintf(stderr, "climon-report: cannot write %s: %s\n", path.c_str(), why.c_str());
  return false;
}

// The audit trails' actions within the period; the room they name, if any. `crc` goes on
// over their text.
std::string ReadAudits(const report::ReportOptions& o, report::Record& record,
                       std::vector<std::string>& errors, std::string& damage, std::uint32_t& crc) {
  std::string room, error;
  for (const std::string& path : o.audits) {
    std::string text;
    if (!logread::ReadAll(path, text, error) ||
        !report::ReadAudit(path, text, record, o.period, room, error, damage)) {
      errors.push_back(error);
    }
    crc = logread::Crc32(crc, text);
  }
  return room;
}

// What names the document on every page: the room, the period and the CRC-32 of the text
// read, so that a page filed alone can be tied to the signed summary.
std::string Identity(const std::string& room, const std::string& period, std::uint32_t crc) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", crc);
  return room + " \u00B7 " + period + " \u00B7 files read CRC-32 " + hex;
}

}  // namespace

int main(int argc, char** argv) {
  report::ReportOptions o;
  if (auto status = report::ReportCommandLine({argv + 1, argv + argc}, o)) return *status;
  std::vector<std::string> inputs = o.logs;
  inputs.insert(inputs.end(), o.audits.begin(), o.audits.end());
  if (auto clash = files::OutputClash({o.out, o.csv}, inputs)) {
    return cli::Refuse("climon-report", *clash, "");
  }
  logread::LogSet logs(o.logs, o.period.Widened(kMarginMs));
  if (o.period.last) o.period = o.period.Resolved(logs.period().to->ms);
  report::Builder builder(o.settings, o.period);
  logread::Progress progress("climon-report", files::IsTerminal(stderr));
  logread::SetRead read =
      logs.Read({[&builder](const logread::Row& row) { builder.Add(row); },
                 {},
                 [&progress](std::size_t file, std::size_t files, std::uint64_t rows) {
                   progress.Show(file, files, rows);
                 },
                 true});
  progress.Clear();
  std::vector<std::string> errors = read.Errors();
  if (!read.mixed.empty() || errors.size() == read.files.size()) {
    Say(errors);
    if (read.mixed.empty()) return 2;  // nothing to report from
    return cli::Refuse(
        "climon-report",
        "the logs are of more than one room (" + read.mixed + "): report one room at a time", "");
  }
  report::Record record = builder.Finish();
  std::string damage = logread::DamageReport(read);
  std::uint32_t crc = read.crc;
  std::string room = ReadAudits(o, record, errors, damage, crc);
  Say(errors);
  if (!damage.empty())
    std::fprintf(stderr, "climon-report: skipped damaged rows:%s\n", damage.c_str());
  report::Provenance p;
  p.room = !o.room.empty() ? o.room : !room.empty() ? room : "port " + std::to_string(record.port);
  p.period = o.period.text;
  p.identity = Identity(p.room, p.period, crc);
  p.version = CLIMON_VERSION;
  p.made_at = Now();
  p.settings = o.settings;
  p.logs = read.files;
  p.audits = o.audits;
  p.errors = errors;
  p.damage = damage;
  p.steps = read.steps;
  p.steps_seen = read.steps_seen;
  if (!Write(o.out, o.out.empty() ? "" : report::Html(record, p)) ||
      !Write(o.csv, o.csv.empty() ? "" : report::Csv(record, o.settings)))
    return 2;
  return errors.empty() ? 0 : 1;
}
