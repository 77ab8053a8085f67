#include "logformat/LogFormat.h"

#include <ctime>

namespace logformat {
namespace {

void Append(std::string& s, int value, int digits) {
  char buf[8];
  for (int i = digits - 1; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  s.append(buf, static_cast<std::size_t>(digits));
}

// "a:bb:cc" or "aaaa-bb-cc".
std::string Three(int a, int a_digits, char separator, int b, int c) {
  std::string s;
  Append(s, a, a_digits);
  s += separator;
  Append(s, b, 2);
  s += separator;
  Append(s, c, 2);
  return s;
}

}  // namespace

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& out) {
  if (at + n > s.size()) return false;
  out = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool ValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

LocalTime FromUtcMs(std::int64_t utc_ms, int utc_offset_minutes) {
  std::int64_t ms = utc_ms + std::int64_t{utc_offset_minutes} * 60000;
  std::int64_t days = (ms >= 0 ? ms : ms - 86399999) / 86400000;
  std::int64_t in_day = ms - days * 86400000;
  // The inverse of DaysFromCivil.
  std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  LocalTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (t.month <= 2));
  t.hour = static_cast<int>(in_day / 3600000);
  t.minute = static_cast<int>(in_day / 60000 % 60);
  t.second = static_cast<int>(in_day / 1000 % 60);
  t.millisecond = static_cast<int>(in_day % 1000);
  t.utc_offset_minutes = utc_offset_minutes;
  return t;
}

std::string FormatClock(int hour, int minute, int second) {
  return Three(hour, 2, ':', minute, second);
}

std::string FormatDate(int year, int month, int day) {
  return Three(year, 4, '-', month, day);
}

std::string FormatIsoTime(const LocalTime& t) {
  std::string s = FormatDate(t.year, t.month, t.day);
  s += 'T';
  s += FormatClock(t.hour, t.minute, t.second);
  s += '.';
  Append(s, t.millisecond, 3);
  int off = t.utc_offset_minutes < 0 ? -t.utc_offset_minutes : t.utc_offset_minutes;
  s += t.utc_offset_minutes < 0 ? '-' : '+';
  Append(s, off / 60, 2);
  s += ':';
  Append(s, off % 60, 2);
  return s;
}

bool ParseIsoTime(std::string_view s, std::int64_t& utc_ms, int& utc_offset_minutes) {
  int y, mo, d, h, mi, se, ms = 0, oh, om;
  if (s.size() != 25 && s.size() != 29) return false;
  std::size_t z = 19;  // where the offset starts
  if (s.size() == 29) {
    if (s[19] != '.' || !Digits(s, 20, 3, ms)) return false;
    z = 23;
  }
  if (!Digits(s, 0, 4, y) || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d) || s[10] != 'T' || !Digits(s, 11, 2, h) || s[13] != ':' ||
      !Digits(s, 14, 2, mi) || s[16] != ':' || !Digits(s, 17, 2, se) ||
      (s[z] != '+' && s[z] != '-') || !Digits(s, z + 1, 2, oh) || s[z + 3] != ':' ||
      !Digits(s, z + 4, 2, om)) {
    return false;
  }
  if (!ValidDate(y, mo, d) || h > 23 || mi > 59 || se > 60 || oh > 23 || om > 59) return false;
  utc_offset_minutes = (s[z] == '-' ? -1 : 1) * (oh * 60 + om);
  std::int64_t local_s =
      DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
      mi * 60 + se;
  utc_ms = (local_s - std::int64_t{utc_offset_minutes} * 60) * 1000 + ms;
  return true;
}

std::optional<std::int64_t> ParseTimeBound(std::string_view s) {
  int y, mo, d, h = 0, mi = 0, se = 0, ms = 0;
  if (s.size() < 10 || !Digits(s, 0, 4, y) || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d) || !ValidDate(y, mo, d)) {
    return std::nullopt;
  }
  std::size_t at = 10;
  if (at < s.size() && (s[at] == 'T' || s[at] == ' ')) {
    if (!Digits(s, at + 1, 2, h) || at + 3 >= s.size() || s[at + 3] != ':' ||
        !Digits(s, at + 4, 2, mi) || h > 23 || mi > 59) {
      return std::nullopt;
    }
    at += 6;
    if (at < s.size() && s[at] == ':') {
      if (!Digits(s, at + 1, 2, se) || se > 59) return std::nullopt;
      at += 3;
      if (at < s.size() && s[at] == '.') {
        if (!Digits(s, at + 1, 3, ms)) return std::nullopt;
        at += 4;
      }
    }
  }
  std::int64_t local_ms =
      (DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
       mi * 60 + se) *
          1000 +
      ms;
  if (at == s.size()) {
    // Local time of this machine.
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = se;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t) * 1000 + ms;
  }
  if (s.substr(at) == "Z") return local_ms;
  int oh, om;
  if (s.size() != at + 6 || (s[at] != '+' && s[at] != '-') || !Digits(s, at + 1, 2, oh) ||
      s[at + 3] != ':' || !Digits(s, at + 4, 2, om) || oh > 23 || om > 59) {
    return std::nullopt;
  }
  std::int64_t off = (s[at] == '-' ? -1 : 1) * (oh * 60 + om) * std::int64_t{60000};
  return local_ms - off;
}

std::optional<std::int64_t> ParseSpan(std::string_view v, std::string_view units) {
  if (v.size() < 2 || units.find(v.back()) == std::string_view::npos) return std::nullopt;
  int n = 0;
  for (std::size_t i = 0; i + 1 < v.size(); ++i) {
    if (v[i] < '0' || v[i] > '9' || n > 100000) return std::nullopt;
    n = n * 10 + (v[i] - '0');
  }
  if (n <= 0 || n > 100000) return std::nullopt;
  std::int64_t unit = v.back() == 'm' ? 60000 : v.back() == 'h' ? 3600000 : 86400000;
  return n * unit;
}

std::string_view ColumnName(std::size_t i) {
  static constexpr const char* kFirst[] = {"time", "port", "variant"};
  if (i < 3) return kFirst[i];
  return i < kColumnCount ? kValueColumns[i - 3] : "";
}

std::size_t ColumnIndex(std::string_view name) {
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    if (ColumnName(i) == name) return i;
  }
  return kColumnCount;
}

std::string CsvHeader() {
  std::string s;
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    if (i > 0) s += ',';
    s += ColumnName(i);
  }
  return s + "\r\n";
}

std::string CsvRow(const LocalTime& when, const LogRow& row) {
  std::string s = FormatIsoTime(when) + "," + std::to_string(row.port) + "," +
                  (row.variant != 0 ? std::to_string(row.variant) : std::string());
  for (const std::string& field : row.fields) {
    s += ',';
    s += field;
  }
  return s + "\r\n";
}

std::string AuditHeader() {
  return "time,port,room,user,event,detail,reply\r\n";
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string s = "\"";
  for (char c : text) {
    if (c == '"') s += '"';
    s += c;
  }
  return s + "\"";
}

std::string AuditRow(const LocalTime& when, const AuditEntry& e) {
  return FormatIsoTime(when) + "," + std::to_string(e.port) + "," + CsvField(e.room) + "," +
         CsvField(e.user) + "," + CsvField(e.event) + "," + CsvField(e.detail) + "," +
         CsvField(e.reply) + "\r\n";
}

namespace {

// Whether a row begins at `at`: a time then a comma, as every row of climon's begins.
bool RowStartsAt(std::string_view text, std::size_t at) {
  const std::size_t comma = text.find(',', at);
  if (comma == std::string_view::npos || comma - at > 40) return false;
  std::int64_t ms = 0;
  int offset = 0;
  return ParseIsoTime(text.substr(at, comma - at), ms, offset);
}

}  // namespace

std::vector<CsvRecord> ParseCsv(std::string_view text) {
  std::vector<CsvRecord> records;
  CsvRecord row{{""}, 1, false};
  std::size_t line = 1;
  bool quoted = false, any = false;
  auto end_row = [&](bool torn, std::size_t end, std::size_t next) {
    if (end > row.begin && text[end - 1] == '\r') --end;
    if (any || row.fields.size() > 1 || !row.fields[0].empty()) {
      row.torn = torn;
      row.end = end;
      records.push_back(std::move(row));
    }
    row = CsvRecord{{""}, line, false};
    row.begin = next;
    any = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '\n' && RowStartsAt(text, i + 1)) {
        ++line;
        quoted = false;
        end_row(true, i, i + 1);
      } else if (c != '"') {
        if (c == '\n') ++line;
        row.fields.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        row.fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      row.fields.emplace_back();
    } else if (c == '\n' || c == '\r') {
      const std::size_t end = i;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++line;
      end_row(false, end, i + 1);
    } else {
      row.fields.back() += c;
      any = true;
    }
  }
  end_row(quoted, text.size(), text.size());
  return records;
}

bool ReadAuditRows(std::string_view text, std::vector<AuditFields>& rows,
                   std::vector<std::size_t>* torn) {
  std::string header = AuditHeader();
  header.resize(header.size() - 2);
  std::vector<CsvRecord> records = ParseCsv(text);
  if (records.empty()) return false;
  // With or without the seal column: its last.
  std::vector<std::string> columns = SplitRow(header);
  const std::vector<std::string>& first = records[0].fields;
  const bool sealed = first.size() == columns.size() + 1 &&
                      (first.back() == kSealColumn || first.back() == kKeyedSealColumn);
  if (sealed) columns.push_back(first.back());
  if (columns != first) return false;
  for (std::size_t i = 1; i < records.size(); ++i) {
    CsvRecord& r = records[i];
    if (r.torn || r.fields.size() != columns.size()) {
      if (torn != nullptr) torn->push_back(r.line);
      continue;
    }
    AuditFields& f = rows.emplace_back();
    std::move(r.fields.begin(), r.fields.begin() + kAuditColumns, f.begin());
  }
  return true;
}

std::vector<std::string> SplitRow(std::string_view line) {
  if (line.ends_with("\r\n")) line.remove_suffix(2);
  if (line.ends_with('\n') || line.ends_with('\r')) line.remove_suffix(1);
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace logformat
