// The rows of a log reduced, in one pass, to what a line chart of a given width can show:
// for each pixel column and series the first, last, smallest and largest value (M4), so
// the chart drawn from them is the chart of all the rows, spikes included, while memory
// stays bounded by the chart's width. The time range need not be known in advance: the
// rows go into time bins that double in width whenever the range outgrows them, and the
// bins fold exactly into pixel columns at the end.
//
// Lines break where a read failed and where rows are missing for longer than a row's
// values hold (record::kHoldMs, an outage as the report counts it); every outage is kept,
// however short, so the chart can mark it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "logread/LogReader.h"
#include "record/Period.h"

namespace plot {

using logread::kTemp, logread::kTempSet, logread::kHumidity, logread::kHumiditySet, logread::kCo2,
    logread::kCo2Set;
using logread::Row;
using logread::Series;
// The chart draws the first series: temperature, humidity and CO2, each with its set point.
inline constexpr std::size_t kSeriesCount = logread::kCo2Set + 1;

struct Point {
  std::int64_t t;  // ms since 1970, UTC
  double v;
};

// The first, last, smallest and largest point of a stretch of one series.
struct M4 {
  Point first{}, last{}, min{}, max{};
  bool any = false;
  void Add(Point p);
  void Merge(const M4& other);
  // The distinct points in time order.
  std::vector<Point> Points() const;
};

struct Outage {
  std::int64_t from, to;  // ms: the last row before, the first row after
};

// What the chart draws.
struct Chart {
  std::int64_t t0 = 0, t1 = 0;  // the rows' range, ms
  int utc_offset_minutes = 0;   // of the newest row: the axis is in its local time
  std::int32_t port = 0;
  std::uint64_t rows = 0;
  std::array<std::vector<std::vector<Point>>, kSeriesCount> lines;  // polylines per series
  std::vector<Outage> outages;
};

class Aggregator {
 public:
  // `columns`: the chart's width in pixel columns.
  explicit Aggregator(int columns);

  // A row of the current file, in the file's order.
  void Add(const Row& row);
  // The rows that follow come from another file.
  void NextFile();
  // The chart; rows == 0 when there was nothing to draw.
  Chart Finish() const;

 private:
  struct Bin {
    std::array<M4, kSeriesCount> series;
    std::array<bool, kSeriesCount> break_after{};  // the series' line ends after this bin
    std::int64_t earliest = 0, latest = 0;         // of the rows in the bin
    bool any = false;
    bool outage_inside = false;  // an outage that begins and ends within the bin
    std::int64_t outage_from = 0, outage_to = 0;
    // `gap`: rows missing for longer between the two are an outage; 0 to not look.
    void Merge(const Bin& right, std::int64_t gap = 0);
  };

  std::int64_t IndexOf(std::int64_t t) const;
  Bin& BinAt(std::int64_t t);
  void Widen();

  int columns_;
  std::int64_t max_bins_;
  std::int64_t width_ = 1;  // ms per bin
  std::int64_t base_ = 0;   // the index of bins_.front()
  std::deque<Bin> bins_;
  // The current file's last row, and each series' last value with whether a read of it
  // failed since.
  bool have_previous_ = false;
  std::int64_t previous_ = 0;
  std::array<bool, kSeriesCount> have_last_{}, failed_since_{};
  std::array<std::int64_t, kSeriesCount> last_good_{};
  int offset_ = 0;
  std::int64_t newest_ = 0;
  std::int32_t port_ = 0;
  std::uint64_t rows_ = 0;
};

}  // namespace plot
