// climon-plot's command line, and the look at a log's end that --last needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plot {

struct PlotOptions {
  bool help = false, version = false;
  std::vector<std::string> logs;
  std::string out;
  std::optional<std::int64_t> from, to;  // ms since 1970, UTC; both bounds are kept
  std::optional<std::int64_t> last_ms;   // --last: back from the newest row
};

extern const char* const kPlotUsage;
extern const char* const kPlotUsageHint;

// Empty when the options are good; otherwise the one-line reason.
std::string ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& o);

// "2026-12-09" (local midnight at the given offset... of UTC), "2026-12-09T14:00",
// "2026-12-09T14:00:00", each with an optional offset; ms since 1970.
std::optional<std::int64_t> ParseBound(const std::string& text);

// The time of the last readable row of a log, from its last block alone.
std::optional<std::int64_t> NewestTime(const std::string& path);

}  // namespace plot
