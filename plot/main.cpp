// climon-plot: the trend chart of climon value logs, as an SVG file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Aggregate.h"
#include "LogReader.h"
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
  if (o.last_ms) {
    // Back from the newest row of all the files.
    std::optional<std::int64_t> newest;
    for (const std::string& path : o.logs) {
      std::optional<std::int64_t> t = plot::NewestTime(path);
      if (t && (!newest || *t > *newest)) newest = t;
    }
    if (newest) {
      o.from = *newest - *o.last_ms;
      o.to = newest;
    }
  }
  plot::Aggregator chart(plot::kPlotColumns);
  std::vector<plot::LogReader> readers;
  readers.reserve(o.logs.size());
  for (const std::string& path : o.logs) {
    readers.emplace_back(path, [&o, &chart](const plot::Row& row) {
      if ((o.from && row.utc_ms < *o.from) || (o.to && row.utc_ms > *o.to)) return;
      chart.Add(row);
    });
    chart.NextFile();
    if (!plot::ReadFile(path, readers.back(), error)) return Refuse(error);
    if (!readers.back().refusal().empty()) return Refuse(readers.back().refusal());
  }
  // Damaged rows are skipped and reported; the rest is drawn.
  std::uint64_t skipped = 0;
  std::string kinds;
  for (std::size_t k = 0; k < static_cast<std::size_t>(plot::Damage::kKinds); ++k) {
    std::uint64_t n = 0;
    std::string first;
    for (const plot::LogReader& r : readers) {
      const plot::DamageCount& d = r.damage()[k];
      if (d.rows > 0 && n == 0) first = d.first_at;
      n += d.rows;
    }
    if (n == 0) continue;
    skipped += n;
    kinds += "\n  " + std::to_string(n) + " " + plot::DamageName(static_cast<plot::Damage>(k)) +
             ", the first on " + first;
  }
  if (skipped > 0) {
    std::fprintf(stderr, "climon-plot: skipped %llu damaged rows:%s\n",
                 static_cast<unsigned long long>(skipped), kinds.c_str());
  }
  plot::Chart c = chart.Finish();
  if (c.rows == 0) {
    return Refuse(o.from || o.to ? "no rows in the chosen time range: nothing to draw"
                                 : "no readable rows: nothing to draw");
  }
  std::string svg = plot::TrendSvg(c);
  std::FILE* f = std::fopen(o.out.c_str(), "wb");
  if (f == nullptr) return Refuse("cannot write " + o.out + ": " + std::strerror(errno));
  bool ok = std::fwrite(svg.data(), 1, svg.size(), f) == svg.size();
  int saved = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) return Refuse("cannot write " + o.out + ": " + std::strerror(saved));
  return 0;
}
