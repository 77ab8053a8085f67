// climon's value log read back for the trend chart: the rows of a CSV file (RFC 4180)
// checked against climon's columns. A value that is not there (a failed read) stays
// absent; it is never taken for 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plot {

struct Sample {
  std::int64_t utc = 0;        // seconds since 1970, UTC
  int utc_offset_minutes = 0;  // the local time it was logged in
  std::optional<double> temp, temp_set, humidity, humidity_set, co2, co2_set;
};

struct TrendLog {
  std::vector<Sample> samples;
  std::int32_t port = 0;
};

// The log, or the reason it cannot be read, with its line number ("line 3: ...").
struct ReadResult {
  TrendLog log;
  std::string error;
};
ReadResult ReadTrendLog(const std::string& text);

// The fields of each line of a CSV text; a quoted field may hold commas, quotes ("") and
// line ends. `lines` gets each record's first line number.
std::vector<std::vector<std::string>> SplitCsv(const std::string& text, std::vector<int>& lines);

// "2026-12-09T14:03:05+01:00" as seconds since 1970 (UTC) and its offset.
bool ParseIsoTime(const std::string& text, std::int64_t& utc, int& offset_minutes);

}  // namespace plot
