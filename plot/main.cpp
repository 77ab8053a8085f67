// climon-plot: the trend chart of climon value logs, as an SVG file.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Aggregate.h"
#include "LogSet.h"
#include "PlotOptions.h"
#include "TrendSvg.h"
#include "cli/Cli.h"

namespace {

int Refuse(const std::string& why, bool usage = false) {
  return cli::Refuse("climon-plot", why, usage ? plot::kPlotUsageHint : "");
}

}  // namespace

int main(int argc, char** argv) {
  plot::PlotOptions o;
  std::string error = plot::ParsePlotOptions(std::vector<std::string>(argv + 1, argv + argc), o);
  if (!error.empty()) return Refuse(error, true);
  if (o.help) {
    std::fputs(plot::kPlotUsage, stdout);
    return 0;
  }
  if (o.version) {
    std::printf("climon-plot %s\n", CLIMON_VERSION);
    return 0;
  }
  plot::Aggregator chart(plot::kPlotColumns);
  logread::SetRead read = logread::ReadLogs(
      o.logs, {o.from, o.to, o.last_ms},
      {[&chart](const logread::Row& row) { chart.Add(row); }, [&chart] { chart.NextFile(); }});
  // A file that cannot be read is reported and the rest drawn, with exit status 1.
  std::vector<std::string> errors = read.Errors();
  for (const std::string& e : errors) std::fprintf(stderr, "climon-plot: %s\n", e.c_str());
  if (!read.mixed.empty()) {
    return Refuse("the logs are of more than one room (" + read.mixed +
                  "): chart one room at a time");
  }
  // Damaged rows are skipped and reported; the rest is drawn.
  std::uint64_t skipped = 0;
  for (const logread::DamageCount& d : read.damage) skipped += d.rows;
  if (skipped > 0) {
    std::fprintf(stderr, "climon-plot: skipped %llu damaged rows:%s\n",
                 static_cast<unsigned long long>(skipped), logread::DamageReport(read).c_str());
  }
  plot::Chart c = chart.Finish();
  if (c.rows == 0) {
    if (errors.size() == read.files.size()) return 2;  // each file's reason is said
    return Refuse(o.from || o.to || o.last_ms ? "no rows in the chosen time range: nothing to draw"
                                              : "no readable rows: nothing to draw");
  }
  if (!logread::WriteAll(o.out, plot::TrendSvg(c), error)) return Refuse(error);
  return errors.empty() ? 0 : 1;
}
