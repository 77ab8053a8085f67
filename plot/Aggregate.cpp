#include "Aggregate.h"

#include <algorithm>
#include <limits>

namespace plot {
namespace {

// The bins may span this many times the chart's columns before they double in width, so
// that whole bins always fold into columns at least one pixel wide.
constexpr std::int64_t kBinsPerColumn = 8;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

void M4::Add(Point p) {
  if (!any) {
    first = last = min = max = p;
    any = true;
    return;
  }
  if (p.t < first.t) first = p;
  if (p.t >= last.t) last = p;
  if (p.v < min.v) min = p;
  if (p.v > max.v) max = p;
}

void M4::Merge(const M4& o) {
  if (!o.any) return;
  if (!any) {
    *this = o;
    return;
  }
  if (o.first.t < first.t) first = o.first;
  if (o.last.t >= last.t) last = o.last;
  if (o.min.v < min.v) min = o.min;
  if (o.max.v > max.v) max = o.max;
}

std::vector<Point> M4::Points() const {
  std::vector<Point> p;
  if (!any) return p;
  Point all[] = {first, min, max, last};
  std::sort(std::begin(all), std::end(all), [](Point a, Point b) { return a.t < b.t; });
  for (Point q : all) {
    if (p.empty() || q.t != p.back().t || q.v != p.back().v) p.push_back(q);
  }
  return p;
}

void Aggregator::Bin::Merge(const Bin& right, std::int64_t gap) {
  for (std::size_t s = 0; s < series.size(); ++s) series[s].Merge(right.series[s]);
  // Rows missing between the two halves become an outage inside the one bin.
  if (gap > 0 && any && right.any && right.earliest - latest > gap && !outage_inside) {
    outage_inside = true;
    outage_from = latest;
    outage_to = right.earliest;
  }
  if (right.any) {
    // A break between the two is now inside one bin, below what a pixel shows.
    break_after = right.break_after;
    if (!any || right.earliest < earliest) earliest = right.earliest;
    if (!any || right.latest > latest) latest = right.latest;
    any = true;
  }
  if (right.outage_inside && !outage_inside) {
    outage_inside = true;
    outage_from = right.outage_from;
    outage_to = right.outage_to;
  }
}

Aggregator::Aggregator(int columns)
    : columns_(std::max(columns, 1)), max_bins_(kBinsPerColumn * std::max(columns, 1)) {}

std::int64_t Aggregator::IndexOf(std::int64_t t) const {
  return FloorDiv(t, width_);
}

void Aggregator::Widen() {
  // Pairs of bins at indices 2k and 2k+1 become bin k of twice the width.
  std::deque<Bin> wider;
  std::int64_t new_base = FloorDiv(base_, 2);
  for (std::size_t i = 0; i < bins_.size(); ++i) {
    std::int64_t k = FloorDiv(base_ + static_cast<std::int64_t>(i), 2) - new_base;
    if (static_cast<std::size_t>(k) == wider.size()) wider.emplace_back();
    Bin& into = wider[static_cast<std::size_t>(k)];
    if ((base_ + static_cast<std::int64_t>(i)) % 2 == 0) {
      into = bins_[i];
    } else {
      into.Merge(bins_[i], record::kHoldMs);
    }
  }
  bins_.swap(wider);
  base_ = new_base;
  width_ *= 2;
}

Aggregator::Bin& Aggregator::BinAt(std::int64_t t) {
  if (bins_.empty()) {
    base_ = IndexOf(t);
    bins_.emplace_back();
  }
  for (;;) {
    std::int64_t i = IndexOf(t);
    std::int64_t lo = std::min(i, base_);
    std::int64_t hi = std::max(i, base_ + static_cast<std::int64_t>(bins_.size()) - 1);
    if (hi - lo + 1 <= max_bins_) {
      while (i < base_) {
        bins_.emplace_front();
        --base_;
      }
      while (i >= base_ + static_cast<std::int64_t>(bins_.size())) bins_.emplace_back();
      return bins_[static_cast<std::size_t>(i - base_)];
    }
    Widen();
  }
}

void Aggregator::NextFile() {
  have_previous_ = false;
  have_last_ = {};
  failed_since_ = {};
}

void Aggregator::Add(const Row& row) {
  const std::int64_t t = row.utc_ms;
  if (rows_ == 0 || t >= newest_) {
    newest_ = t;
    offset_ = row.utc_offset_minutes;
    port_ = row.port;
  }
  ++rows_;
  // Rows missing for longer than a row's values hold: an outage, as in the report.
  const bool outage = have_previous_ && t - previous_ > record::kHoldMs;
  Bin& bin = BinAt(t);
  if (outage && IndexOf(previous_) == IndexOf(t) && !bin.outage_inside) {
    bin.outage_inside = true;
    bin.outage_from = previous_;
    bin.outage_to = t;
  }
  if (!bin.any || t < bin.earliest) bin.earliest = t;
  if (!bin.any || t > bin.latest) bin.latest = t;
  bin.any = true;
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const std::optional<double>& v = row.values[s];
    if (!v) {
      failed_since_[s] = true;
      continue;
    }
    if (have_last_[s] && (failed_since_[s] || outage)) {
      std::int64_t a = IndexOf(last_good_[s]), b = IndexOf(t);
      if (a != b) {
        std::int64_t at = std::min(a, b);
        if (at >= base_) bins_[static_cast<std::size_t>(at - base_)].break_after[s] = true;
      }
    }
    bin.series[s].Add({t, *v});
    have_last_[s] = true;
    last_good_[s] = t;
    failed_since_[s] = false;
  }
  have_previous_ = true;
  previous_ = t;
}

Chart Aggregator::Finish() const {
  Chart c;
  c.rows = rows_;
  c.port = port_;
  c.utc_offset_minutes = offset_;
  if (rows_ == 0) return c;
  c.t0 = std::numeric_limits<std::int64_t>::max();
  c.t1 = std::numeric_limits<std::int64_t>::min();
  for (const Bin& b : bins_) {
    if (!b.any) continue;
    c.t0 = std::min(c.t0, b.earliest);
    c.t1 = std::max(c.t1, b.latest);
  }
  // Whole bins per column, so that each column is at least a pixel wide.
  const std::int64_t span = static_cast<std::int64_t>(bins_.size());
  const std::int64_t per_column = (span + columns_ - 1) / columns_;
  std::array<std::vector<Point>, kSeriesCount> open;
  auto close = [&c, &open](std::size_t s) {
    if (!open[s].empty()) c.lines[s].push_back(std::move(open[s]));
    open[s].clear();
  };
  const Bin* before = nullptr;  // the last bin with rows
  for (std::int64_t first = 0; first < span; first += per_column) {
    Bin column;
    bool break_before = false;
    std::int64_t end = std::min(first + per_column, span);
    for (std::int64_t i = first; i < end; ++i) {
      const Bin& b = bins_[static_cast<std::size_t>(i)];
      if (!b.any) continue;
      // Rows missing since the bin before: an outage, marked however short. Between
      // columns it breaks every line; within one it is below a pixel.
      if (before != nullptr && b.earliest - before->latest > record::kHoldMs) {
        c.outages.push_back({before->latest, b.earliest});
        if (!column.any) break_before = true;
      }
      if (b.outage_inside) c.outages.push_back({b.outage_from, b.outage_to});
      column.Merge(b);
      before = &b;
    }
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
      if (break_before) close(s);
      for (Point p : column.series[s].Points()) open[s].push_back(p);
      // A failed read breaks the line between columns; within one it is below a pixel.
      if (column.break_after[s]) close(s);
    }
  }
  for (std::size_t s = 0; s < kSeriesCount; ++s) close(s);
  std::sort(c.outages.begin(), c.outages.end(),
            [](const Outage& a, const Outage& b) { return a.from < b.from; });
  return c;
}

}  // namespace plot
