// A hand-made day of a room's value log, whose figures are known to the second: 2026-12-09
// at +01:00, a row a minute. The temperature's set point steps from 12.50 to 10.00 at
// 08:00; the temperature is 1.5 above it from 14:00 to 14:40 (11.80 at 14:20) and 1.2
// below from 16:00 to 16:05; its reads fail at 03:00 and 05:00; climon stops from 20:00
// to 22:00; a torn row at 10:30:30. Humidity stays on its set point; CO2 is never read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "logformat/LogFormat.h"

namespace roomday {

// The day's midnight at +01:00, ms since 1970.
inline constexpr std::int64_t kMidnight = 1796770800000;

inline std::string Row(std::int64_t ms, int offset, const std::string& temp,
                       const std::string& set) {
  logformat::LogRow r;
  r.port = 1;
  r.variant = 1;
  r.fields[logformat::kTemp] = temp;
  r.fields[logformat::kTempSet] = set;
  r.fields[logformat::kHumidity] = "85.00";
  r.fields[logformat::kHumiditySet] = "85.00";
  return logformat::CsvRow(logformat::FromUtcMs(ms, offset), r);
}

// The rows from `from_minute` up to (not including) `to_minute` of the day.
inline std::string Rows(int from_minute = 0, int to_minute = 1440) {
  std::string out;
  for (int m = from_minute; m < to_minute; ++m) {
    if (m > 20 * 60 && m < 22 * 60) continue;  // climon stopped
    double set = m < 8 * 60 ? 12.5 : 10.0;
    double temp = set;
    if (m >= 14 * 60 && m < 14 * 60 + 40) temp = m == 14 * 60 + 20 ? 11.8 : 11.5;
    if (m >= 16 * 60 && m < 16 * 60 + 5) temp = 8.8;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2f", temp);
    std::string t = m == 3 * 60 || m == 5 * 60 ? "" : buf;
    std::snprintf(buf, sizeof buf, "%.2f", set);
    out += Row(kMidnight + m * 60000LL, 60, t, buf);
    if (m == 10 * 60 + 30) out += "2026-12-09T10:30:30.000+01:00,1,1,12.\r\n";  // torn
  }
  return out;
}

}  // namespace roomday
