// climon-plot's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "record/Period.h"

namespace plot {

struct PlotOptions {
  std::vector<std::string> logs;
  std::string out;
  record::Period period;  // open: every row
};

// The line read into `o`, its refusal (if any) in `error`.
cli::Line ParsePlotOptions(const std::vector<std::string>& args, PlotOptions& o);
// The same, answered: the exit status when climon-plot ends with its command line.
std::optional<int> PlotCommandLine(const std::vector<std::string>& args, PlotOptions& o);

}  // namespace plot
