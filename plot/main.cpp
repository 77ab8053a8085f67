// climon-plot: the trend chart of climon value logs, as an SVG file.
#include <cstdio>
#include <string>
#include <vector>

#include "Aggregate.h"
#include "PlotOptions.h"
#include "TrendSvg.h"
#include "files/Files.h"
#include "logread/LogSet.h"
#include "logread/Progress.h"

namespace {

int Refuse(const std::string& why) {
  return cli::Refuse("climon-plot", why, "");
}

}  // namespace

int main(int argc, char** argv) {
  plot::PlotOptions o;
  if (auto status = plot::PlotCommandLine({argv + 1, argv + argc}, o)) return *status;
  if (auto clash = files::OutputClash({o.out}, o.logs)) return Refuse(*clash);
  plot::Aggregator chart(plot::kPlotColumns);
  logread::Progress progress("climon-plot", files::IsTerminal(stderr));
  logread::SetRead read =
      logread::LogSet(o.logs, o.period)
          .Read({[&chart](const logread::Row& row) { chart.Add(row); },
                 [&chart] { chart.NextFile(); },
                 [&progress](std::size_t file, std::size_t files, std::uint64_t rows) {
                   progress.Show(file, files, rows);
                 }});
  progress.Clear();
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
    return Refuse(!o.period.Open() ? "no rows in the chosen time range: nothing to draw"
                                   : "no readable rows: nothing to draw");
  }
  std::string why;
  if (!files::WriteAll(o.out, plot::TrendSvg(c), why))
    return Refuse("cannot write " + o.out + ": " + why);
  return errors.empty() ? 0 : 1;
}
