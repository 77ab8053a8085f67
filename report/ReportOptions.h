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
  std::string out, csv, room;
  record::Period period;  // its text: "2026-12-09", "2026-12", "the last 7 days"
  Settings settings;
};

// The longest period of one report.
inline constexpr std::int64_t kMaxDays = 400;

// The line read into `o`, its refusal (if any) in `error`.
cli::Line ParseReportOptions(const std::vector<std::string>& args, ReportOptions& o);
// The same, answered: the exit status when climon-report ends with its command line.
std::optional<int> ReportCommandLine(const std::vector<std::string>& args, ReportOptions& o);

}  // namespace report
