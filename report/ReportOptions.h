// climon-report's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Report.h"

namespace report {

struct ReportOptions {
  bool help = false, version = false;
  std::vector<std::string> logs, audits;
  std::string out, csv, room;
  Period period;                        // days, or from/to
  std::optional<std::int64_t> last_ms;  // --last: back from the newest row
  std::string period_text;              // "2026-12-09", "2026-12", "the last 7 days"
  Settings settings;
};

// The longest period of one report.
inline constexpr std::int64_t kMaxDays = 400;

extern const char* const kReportUsage;
extern const char* const kReportUsageHint;

// Empty when the options are good; otherwise the one-line reason.
std::string ParseReportOptions(const std::vector<std::string>& args, ReportOptions& o);

}  // namespace report
