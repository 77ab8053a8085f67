// climon's value log read back for the chart, row by row as the bytes come: no row is
// kept once it has been handed on, so memory does not grow with the log. Rows that are
// damaged (torn by a power cut, the wrong field count, a repeated header, a field that is
// not a sane number, a line too long to be a row) are skipped and counted by kind. So is a
// row whose time stands alone, days away from the rows before and after it: a clock that
// was wrong for one pass would otherwise stretch the chart over years.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace plot {

// The series the chart draws, in the order of its panels: each value, then its set point.
enum Series { kTemp, kTempSet, kHumidity, kHumiditySet, kCo2, kCo2Set, kSeriesCount };

struct Row {
  std::int64_t utc_ms = 0;
  int utc_offset_minutes = 0;
  std::int32_t port = 0;
  std::array<std::optional<double>, kSeriesCount> values;  // absent: not read
};

enum class Damage { kFieldCount, kRepeatedHeader, kBadTime, kBadValue, kTooLong, kKinds };

struct DamageCount {
  std::uint64_t rows = 0;
  std::string first_at;  // "line 12 of a.csv"
};

class LogReader {
 public:
  // `sink` gets each good row; `name` names the input in reports.
  LogReader(std::string name, std::function<void(const Row&)> sink);

  // The next bytes of the input, in any pieces.
  void Feed(std::string_view bytes);
  // The end of the input: a last line without its line end is read too.
  void Finish();

  // Empty while the input is a climon log (as far as it has been read); otherwise why not.
  const std::string& refusal() const { return refusal_; }
  const std::array<DamageCount, static_cast<std::size_t>(Damage::kKinds)>& damage() const {
    return damage_;
  }
  std::uint64_t rows() const { return rows_; }

 private:
  void Line(std::string_view line);
  void Count(Damage kind, std::uint64_t line);
  // Hands on the row before `next` unless its time stands alone.
  void Hold(const Row& next);
  // Hands on the row held, or counts it when its time stands alone.
  void Release(bool lone);

  std::string name_;
  std::function<void(const Row&)> sink_;
  std::string pending_;  // the start of a line whose end has not come yet
  bool too_long_ = false;
  std::uint64_t line_ = 0, rows_ = 0;
  bool header_seen_ = false;
  std::optional<Row> held_;
  std::uint64_t held_line_ = 0;
  std::optional<std::int64_t> previous_ms_;  // the last row handed on
  std::string refusal_;
  std::array<DamageCount, static_cast<std::size_t>(Damage::kKinds)> damage_;
};

// What a kind of damage is called in the report.
const char* DamageName(Damage kind);

// Reads a file in large blocks into `reader`; false with the reason when it cannot be read.
bool ReadFile(const std::string& path, LogReader& reader, std::string& error);

// The time of the last readable row of a log, from its last block alone.
std::optional<std::int64_t> NewestTime(const std::string& path);

}  // namespace plot
