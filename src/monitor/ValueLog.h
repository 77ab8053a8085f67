// The value log: one CSV row (RFC 4180) per monitor pass, appended to a file, with a
// header row when the file is new or empty. Each row is written whole and flushed, so a
// crash loses at most the pass in progress.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "comLib3/Clock.h"

namespace monitor {

// One pass's values as the screen shows them; an empty text where a read got no usable
// reply, and for the counters on the passes that do not refresh them.
struct PassValues {
  std::int32_t port = 0, variant = 0;
  std::string temp, temp_set, humidity, humidity_set, co2, co2_set;
  std::string evap, evap_set, defrost_min, defrost_temp;      // variants 1 and 9 only
  std::string vent, temp_ctl, floor_htr, temp_mode;           // relays: "1", "0" or ""
  std::string total, heater, counter119, cooler, counter121;  // seconds
};

// The names of the log's columns, in order.
const std::vector<std::string>& LogColumns();
// The header row and one data row, each with its CR LF.
std::string CsvHeader();
std::string CsvRow(const comLib3::WallTime& when, const PassValues& v);
// ISO 8601 local time with its UTC offset, to the second: 2026-12-09T14:03:05+01:00.
std::string IsoTime(const comLib3::WallTime& t);

class ValueLog {
 public:
  // Opens `path` for appending; null with the reason in `error` when it cannot be.
  static std::unique_ptr<ValueLog> Open(const std::string& path, std::string& error);
  ~ValueLog();
  ValueLog(const ValueLog&) = delete;
  ValueLog& operator=(const ValueLog&) = delete;

  // Appends the row (with the header first when the file is empty). False when it could
  // not be written; error() then tells why.
  bool Append(const std::string& row);
  const std::string& error() const { return error_; }

 private:
  explicit ValueLog(std::FILE* f) : file_(f) {}
  std::FILE* file_;
  std::string error_;
  bool broken_line_ = false;  // a failed write may have left part of a row
};

}  // namespace monitor
