// The trend chart: temperature, humidity and CO2 over time, each in a panel of its own
// with its set point as a dashed line, as one self-contained SVG document (no scripts, no
// fonts to fetch). A value that was not read leaves a gap in its line.
#pragma once

#include <string>

#include "TrendLog.h"

namespace plot {

std::string TrendSvg(const TrendLog& log);

}  // namespace plot
