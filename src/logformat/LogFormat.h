// The value log's format, shared by climon (which writes it) and climon-plot (which reads
// it): the columns, the ISO 8601 time and the calendar arithmetic behind it. Depends on
// nothing but the standard library, so that whatever reads a log links only this.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logformat {

// A moment of the local calendar and how far local time is ahead of UTC. The
// millisecond comes last so that a time written to the second stays a short list.
struct LocalTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int utc_offset_minutes = 0;
  int millisecond = 0;
};

// The `n` decimal digits at `at` of `text` as a number; false when they are not digits.
bool Digits(std::string_view text, std::size_t at, std::size_t n, int& out);

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
// True for a date that exists (no 31 February).
bool ValidDate(int year, int month, int day);
// The UTC date and time of a moment in milliseconds since 1970, with its offset applied.
LocalTime FromUtcMs(std::int64_t utc_ms, int utc_offset_minutes);

// "hh:mm:ss".
std::string FormatClock(int hour, int minute, int second);
// "2026-12-09".
std::string FormatDate(int year, int month, int day);
// 2026-12-09T15:02:30.412+01:00: local time with milliseconds and its UTC offset.
std::string FormatIsoTime(const LocalTime& t);
// Either form, with or without milliseconds; false for anything else, a date that does
// not exist included. `utc_ms` is milliseconds since 1970 (UTC).
bool ParseIsoTime(std::string_view text, std::int64_t& utc_ms, int& utc_offset_minutes);

// The value columns, in the log's order after time, port and variant.
enum Col : std::size_t {
  kTemp,
  kTempSet,
  kHumidity,
  kHumiditySet,
  kCo2,
  kCo2Set,
  kEvap,
  kEvapSet,
  kDefrostMin,
  kDefrostTemp,  // variants 1 and 9 only
  kVent,
  kTempCtl,
  kFloorHtr,
  kTempMode,  // relays: 1 or 0
  kTotal,
  kHeater,
  kCounter119,
  kCooler,
  kCounter121,  // seconds
  kValueCount
};
inline constexpr std::array<const char*, kValueCount> kValueColumns = {
    "temp_c",      "temp_set_c",   "humidity_pct", "humidity_set_pct", "co2_pct",
    "co2_set_pct", "evap_c",       "evap_set_c",   "defrost_min",      "defrost_c",
    "vent",        "temp_ctl",     "floor_htr",    "temp_mode",        "total_s",
    "heater_s",    "counter119_s", "cooler_s",     "counter121_s"};

// One row's fields as text: empty where the pass has nothing to say (a read without a
// usable reply, a counter on a pass that does not refresh them). Variant 0: not known.
struct LogRow {
  std::int32_t port = 0, variant = 0;
  std::array<std::string, kValueCount> fields;
};
inline constexpr std::size_t kColumnCount = 3 + kValueColumns.size();

// The name of column i (0: time, 1: port, 2: variant, then the value columns).
std::string_view ColumnName(std::size_t i);
// The index of a column by name; kColumnCount when there is none.
std::size_t ColumnIndex(std::string_view name);

// A bound of a time range as a person types it: 2026-12-09, 2026-12-09T14:00[:00[.000]]
// (or with a blank for the T), in this machine's local time unless it ends in Z or an
// offset such as +01:00; milliseconds since 1970 (UTC).
std::optional<std::int64_t> ParseTimeBound(std::string_view text);

// A span as a person types it: a number of minutes, hours or days (90m, 24h, 7d), in
// milliseconds; at most 100000 of a unit.
std::optional<std::int64_t> ParseSpan(std::string_view text, std::string_view units = "hd");

// The header row and one data row, each with its CR LF. Numbers and times only: no field
// needs quoting.
std::string CsvHeader();
std::string CsvRow(const LocalTime& when, const LogRow& row);
// The audit trail: a row for each thing the operator did to the controller and for each
// event of the run, in the value log's time format. Its fields are free text: a field
// that holds a comma, a quote or a line end is quoted as RFC 4180 has it.
std::string AuditHeader();
struct AuditEntry {
  std::int32_t port = 0;
  std::string_view room, user, event, detail, reply;
};
std::string AuditRow(const LocalTime& when, const AuditEntry& entry);
// An audit trail read back: its rows after the header, each with its fields in the order
// written; false when the text does not begin with the audit header. A row torn by a power
// cut or a full disk (a quote left open, another field count) is left out, and its line
// is added to `torn` when given; every row after it is read.
enum AuditCol : std::size_t {
  kAuditTime,
  kAuditPort,
  kAuditRoom,
  kAuditUser,
  kAuditEvent,
  kAuditDetail,
  kAuditReply,
  kAuditColumns
};
using AuditFields = std::array<std::string, kAuditColumns>;
bool ReadAuditRows(std::string_view text, std::vector<AuditFields>& rows,
                   std::vector<std::size_t>* torn = nullptr);
std::string CsvField(std::string_view text);

// The seal column, last in a sealed value log or audit trail: its name tells the kind.
inline constexpr std::string_view kSealColumn = "seal", kKeyedSealColumn = "keyed_seal";

// The records of an RFC 4180 text (quoted fields may hold commas, quotes and line ends),
// each with its fields and its bytes' place in the text (without its line end). A quote
// left open by a torn row ends at the next line that begins a row, so that the rows after
// it are read.
struct CsvRecord {
  std::vector<std::string> fields;
  std::size_t line = 0;  // where it begins, from 1
  bool torn = false;     // a quote left open
  std::size_t begin = 0, end = 0;
};
std::vector<CsvRecord> ParseCsv(std::string_view text);

// The fields of one row, without its line end.
std::vector<std::string> SplitRow(std::string_view line);

}  // namespace logformat
