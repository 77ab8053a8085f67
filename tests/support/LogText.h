// Value-log text for the readers' tests: the header, a row, and a time from a fixed start.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "logformat/LogFormat.h"

namespace logtext {

inline std::string Header() {
  return logformat::CsvHeader();
}

// A row with the temperature, humidity and CO2 and their set points; "" leaves one out.
inline std::string Row(const std::string& time, const std::string& temp,
                       const std::string& hum = "85.0", const std::string& co2 = "1.500") {
  return time + ",1,1," + temp + ",12.50," + hum + ",85.00," + co2 +
         ",1.500,-2.00,0.00,185,12.00,1,1,1,0,,,,,\r\n";
}

// 2026-12-09T10:00:00+01:00 plus `s` seconds, with milliseconds.
inline std::string At(double s) {
  std::int64_t ms = 1796806800000 + static_cast<std::int64_t>(std::llround(s * 1000));
  return logformat::FormatIsoTime(logformat::FromUtcMs(ms, 60));
}

}  // namespace logtext
