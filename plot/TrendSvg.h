// The trend chart: temperature, humidity and CO2 over time, each in a panel of its own
// with its set point as a dashed line, and a band along the time axis that marks every
// outage (rows missing), as one self-contained SVG document (no scripts, no fonts to
// fetch). A value that was not read leaves a gap in its line.
#pragma once

#include <string>

#include "Aggregate.h"

namespace plot {

// The plot area's width in pixels: one M4 column each.
inline constexpr int kPlotColumns = 864;

// A chart with no rows is drawn as empty panels.
std::string TrendSvg(const Chart& chart);

}  // namespace plot
