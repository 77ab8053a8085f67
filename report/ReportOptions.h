// climon-report's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Report.h"
#include "cli/Cli.h"

namespace report {

struct ReportOptions {
  std::vector<std::string> logs, audits;
  std::string out, csv, alarms_csv, room;
  record::Period period;  // its text: "2026-12-09", "2026-12", "the last 7 days"
  Settings settings;
  bool verify = false;   // the seals' verdict asked for, in the exit status
  std::string seal;      // a printed seal the files must lead to: lower-case hex digits
  std::string seal_key;  // the file of the seals' key
  // Only the seals are checked: every row of every file read, no report written.
  bool VerifyOnly() const { return verify && out.empty() && csv.empty() && alarms_csv.empty(); }
};

// climon-report --verify's exit status beyond 0 (intact) and 2 (a file or the command
// line wrong): a change found, or nothing that could be checked.
inline constexpr int kChanged = 1, kUnchecked = 3;

// The longest period of one report.
inline constexpr std::int64_t kMaxDays = 400;

// The line read into `o`, its refusal (if any) in `error`.
cli::Line ParseReportOptions(const std::vector<std::string>& args, ReportOptions& o);
// The same, answered: the exit status when climon-report ends with its command line.
std::optional<int> ReportCommandLine(const std::vector<std::string>& args, ReportOptions& o);

}  // namespace report
