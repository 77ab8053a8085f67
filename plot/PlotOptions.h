// climon-plot's command line.
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

}  // namespace plot
