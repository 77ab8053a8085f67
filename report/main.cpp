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
#include "seal/Chain.h"

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

using Texts = std::vector<std::pair<std::string, std::string>>;

// The audit trails' texts, each named.
Texts ReadAudits(const report::ReportOptions& o, std::vector<std::string>& errors) {
  Texts out;
  for (const std::string& path : o.audits) {
    std::string text, error;
    if (!logread::ReadAll(path, text, error)) {
      errors.push_back(error);
    } else {
      out.emplace_back(path, std::move(text));
    }
  }
  return out;
}

// The audit trails' actions within the period; the room they name, if any. `crc` goes on
// over their text.
std::string TakeActions(const report::ReportOptions& o, const Texts& audits, report::Record& record,
                        std::vector<std::string>& errors, std::string& damage, std::uint32_t& crc) {
  std::string room, error;
  for (const auto& [path, text] : audits) {
    if (!report::ReadAudit(path, text, record, o.period, room, error, damage)) {
      errors.push_back(error);
    }
    crc = logread::Crc32(crc, text);
  }
  return room;
}

// The seals' verdict: on stdout when it is all that was asked, else on stderr where a
// change was found; the exit status it gives with --verify (0 when all is well).
int Tell(const report::ReportOptions& o, const report::Seals& seals) {
  std::FILE* to = o.VerifyOnly() ? stdout : seals.changed ? stderr : nullptr;
  for (const std::string& line : seals.found) {
    if (to != nullptr)
      std::fprintf(to, "%s%s\n", to == stderr ? "climon-report: " : "", line.c_str());
  }
  if (o.VerifyOnly()) {
    std::puts(seals.changed    ? "The files are not as climon wrote them."
              : !seals.checked ? "Nothing could be checked: no file read has seals to check."
              : !seals.all_sealed
                  ? "The seals check out, but not every file read has seals that were checked."
                  : "The files are as climon wrote them.");
  }
  if (!o.verify) return 0;
  return seals.changed                         ? report::kChanged
         : !seals.checked || !seals.all_sealed ? report::kUnchecked
                                               : 0;
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
  if (auto clash = files::OutputClash({o.out, o.csv, o.alarms_csv}, inputs)) {
    return cli::Refuse("climon-report", *clash, "");
  }
  std::string key, why;
  if (!o.seal_key.empty() && !seal::ReadKey(o.seal_key, key, why)) {
    return cli::Refuse("climon-report", why, "");
  }
  const seal::Hasher hasher(key);
  std::vector<std::string> audit_errors;
  const Texts audits = ReadAudits(o, audit_errors);
  logread::LogSet logs(o.logs, o.period.Widened(kMarginMs));
  if (o.period.last) o.period = o.period.Resolved(logs.period().to->ms);
  // The audit trails first: what they recorded of the value log's chain is met in the logs.
  report::Seals seals;
  seal::Follow follow(hasher);
  seal::Follow audit_follow = report::FollowAudits(audits, hasher, follow, o.period.Open());
  follow.Look(o.seal);
  follow.on_seal = [&o, &seals](std::int64_t ms, int offset, const seal::Head& head) {
    if (!o.period.Holds({ms, offset})) return;
    seals.period = report::SealMark{{ms, offset}, head};
    seals.days[record::LocalDay(ms, offset)] = *seals.period;
  };
  report::Builder builder(o.settings, o.period);
  std::vector<report::AuditAlarm> audit_alarms;
  for (const auto& [path, text] : audits) {
    std::vector<report::AuditAlarm> rows = report::ReadAuditAlarms(text);
    audit_alarms.insert(audit_alarms.end(), rows.begin(), rows.end());
  }
  builder.AuditAlarms(std::move(audit_alarms));
  logread::Progress progress("climon-report", files::IsTerminal(stderr));
  const bool report = !o.VerifyOnly();
  logread::SetRead read =
      logs.Read({[&builder, report](const logread::Row& row) {
                   if (report) builder.Add(row);
                 },
                 {},
                 [&progress](std::size_t file, std::size_t files, std::uint64_t rows) {
                   progress.Show(file, files, rows);
                 },
                 true,
                 &follow});
  progress.Clear();
  follow.End();
  report::Verdict(follow, "value logs", seals);
  report::Verdict(audit_follow, "audit trails", seals);
  if (!o.seal.empty()) {
    seals.found.push_back(
        std::string(follow.looked_found() ? "" : "CHANGED: ") + "the seal " + o.seal +
        (follow.looked_found() ? " is a link of the value logs' chain."
                               : " is no link of the value logs' chain: the files do "
                                 "not lead to it."));
    if (!follow.looked_found()) seals.changed = true;
  }
  std::vector<std::string> errors = read.Errors();
  const bool none_read = errors.size() == read.files.size();
  errors.insert(errors.end(), audit_errors.begin(), audit_errors.end());
  if (!read.mixed.empty() || none_read) {
    Say(errors);
    if (read.mixed.empty()) return 2;  // nothing to report from
    return cli::Refuse(
        "climon-report",
        "the logs are of more than one room (" + read.mixed + "): report one room at a time", "");
  }
  if (o.VerifyOnly()) {
    Say(errors);
    const int status = Tell(o, seals);
    return errors.empty() ? status : 2;
  }
  report::Record record = builder.Finish();
  std::string damage = logread::DamageReport(read);
  std::uint32_t crc = read.crc;
  std::string room = TakeActions(o, audits, record, errors, damage, crc);
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
  p.seals = seals;
  const int verdict = Tell(o, seals);
  if (!Write(o.out, o.out.empty() ? "" : report::Html(record, p)) ||
      !Write(o.csv, o.csv.empty() ? "" : report::Csv(record, o.settings)) ||
      !Write(o.alarms_csv, o.alarms_csv.empty() ? "" : report::AlarmsCsv(record)))
    return 2;
  return verdict != 0 ? verdict : errors.empty() ? 0 : 1;
}
