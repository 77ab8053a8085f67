// climon's value log read back for the chart and the report, row by row as the bytes come: no row
// is kept once it has been handed on, so memory does not grow with the log. Rows that are damaged
// (torn by a power cut, the wrong field count, a repeated header, a field that is not a sane
// number, a line too long to be a row) are skipped and counted by kind. So is a row whose time
// stands alone, away from the rows before and after it while they follow each other: a clock that
// was wrong for one pass would otherwise stretch the chart over years or the report's day past its
// length. A clock set back for good is no damage: its rows are handed on and the step is told.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logformat/LogFormat.h"
#include "seal/Chain.h"

namespace logread {

// The values read back, each then its set point, and the defrost's count-down: the log's
// first nine value columns (the chart draws the first six, the alarms' rule reads the
// count-down).
using Series = logformat::Col;
using logformat::kTemp, logformat::kTempSet, logformat::kHumidity, logformat::kHumiditySet,
    logformat::kCo2, logformat::kCo2Set, logformat::kEvap, logformat::kEvapSet,
    logformat::kDefrostMin;
inline constexpr std::size_t kSeriesCount = logformat::kDefrostMin + 1;

struct Row {
  std::int64_t utc_ms = 0;
  int utc_offset_minutes = 0;
  std::int32_t port = 0, variant = 0;
  std::array<std::optional<double>, kSeriesCount> values;  // absent: not read
};

enum class Damage {
  kFieldCount,
  kRepeatedHeader,
  kBadTime,
  kBadValue,
  kTooLong,
  kLoneTime,
  kKinds
};

// A row stamped before the row handed on before it: the clock was set back.
struct ClockStep {
  std::string at;  // "line 12 of a.csv"
  std::int64_t utc_ms = 0;
  int utc_offset_minutes = 0;  // the first row after the step
  std::int64_t back_ms = 0;    // how far before the row before it
};

struct DamageCount {
  std::uint64_t rows = 0;
  std::string first_at;  // "line 12 of a.csv", or "the line at byte 4096 of a.csv"
};

// The CRC-32 of `bytes` going on from `crc`, that of the bytes before them.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

// A line without the CR of a CR LF line end.
std::string_view WithoutCr(std::string_view line);
// True for climon's header line (without its line end), a byte-order mark allowed, with or
// without a seal column; and how the rows under it are sealed.
bool IsHeader(std::string_view line);
std::optional<seal::Kind> HeaderKind(std::string_view line);
// Why the file `name` is not a climon value log, from its first line (without its line
// end; a CR is allowed): none when the file is empty. "" when it is one.
std::string NotALog(const std::string& name, std::optional<std::string_view> first_line);

class LogReader {
 public:
  // `sink` gets each good row; `name` names the input in reports.
  LogReader(std::string name, std::function<void(const Row&)> sink);

  // Each row (whole, damaged or not) goes to `follow` too, to check the seals.
  void FollowSeals(seal::Follow* follow) { follow_ = follow; }
  // The input goes on from byte `at` of the file, at the start of a line, its header
  // (of rows sealed as `kind` says) already read: lines are then named by their byte, not
  // their number.
  void ResumeAt(std::uint64_t at, seal::Kind kind);
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
  // The CRC-32 of every byte fed from now on, going on from `crc` (of the inputs read
  // before it); only when asked, as it costs a pass over the bytes.
  void ContinueCrc(std::uint32_t crc) {
    crc_ = crc;
    digest_ = true;
  }
  std::uint32_t crc() const { return crc_; }
  // The clock's steps back, the first kMaxSteps of them; steps_seen() counts them all.
  static constexpr std::size_t kMaxSteps = 20;
  const std::vector<ClockStep>& steps() const { return steps_; }
  std::uint64_t steps_seen() const { return steps_seen_; }

 private:
  void Line(std::string_view line);
  // The current line ends: its place is known.
  void EndLine();
  // The current line: its number, or its byte when resumed.
  std::uint64_t Here() const { return resumed_ ? line_byte_ : line_; }
  void Count(Damage kind, std::uint64_t here);
  // "line 12 of a.csv", or "the line at byte 4096 of a.csv" when resumed.
  std::string Place(std::uint64_t here) const;
  // Hands on the row before `next` unless its time stands alone.
  void Hold(const Row& next);
  // Hands on the row held, or counts it when its time stands alone.
  void Release(bool lone);

  std::string name_;
  std::function<void(const Row&)> sink_;
  std::string pending_;  // the start of a line whose end has not come yet
  bool too_long_ = false;
  std::uint64_t line_ = 0, rows_ = 0;
  bool resumed_ = false;
  // The byte at which the current line starts, and the next one; the current line's length.
  std::uint64_t line_byte_ = 0, next_line_byte_ = 0, line_length_ = 0;
  bool header_seen_ = false;
  seal::Kind kind_ = seal::Kind::kNone;
  seal::Follow* follow_ = nullptr;
  std::optional<Row> held_;
  std::uint64_t held_line_ = 0;
  std::optional<Row> previous_;  // the last row handed on
  std::vector<ClockStep> steps_;
  std::uint32_t crc_ = 0;
  bool digest_ = false;
  std::uint64_t steps_seen_ = 0;
  std::string refusal_;
  std::array<DamageCount, static_cast<std::size_t>(Damage::kKinds)> damage_;
};

// What a kind of damage is called in the report.
const char* DamageName(Damage kind);

}  // namespace logread
