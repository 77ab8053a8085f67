#include "TrendLog.h"

#include <charconv>

#include "monitor/ValueLog.h"

namespace plot {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Digits(const std::string& s, std::size_t at, std::size_t n, int& out) {
  if (at + n > s.size()) return false;
  out = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

std::optional<double> Number(const std::string& s, bool& bad) {
  if (s.empty()) return std::nullopt;
  double v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) bad = true;
  return v;
}

}  // namespace

bool ParseIsoTime(const std::string& s, std::int64_t& utc, int& offset_minutes) {
  int y, mo, d, h, mi, se, oh, om;
  if (s.size() != 25 || !Digits(s, 0, 4, y) || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d) || s[10] != 'T' || !Digits(s, 11, 2, h) || s[13] != ':' ||
      !Digits(s, 14, 2, mi) || s[16] != ':' || !Digits(s, 17, 2, se) ||
      (s[19] != '+' && s[19] != '-') || !Digits(s, 20, 2, oh) || s[22] != ':' ||
      !Digits(s, 23, 2, om)) {
    return false;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60 || om > 59) {
    return false;
  }
  offset_minutes = (s[19] == '-' ? -1 : 1) * (oh * 60 + om);
  std::int64_t local =
      DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
      mi * 60 + se;
  utc = local - offset_minutes * 60;
  return true;
}

std::vector<std::vector<std::string>> SplitCsv(const std::string& text, std::vector<int>& lines) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, in_row = false;
  int line = 1;
  auto end_row = [&] {
    row.push_back(field);
    rows.push_back(row);
    row.clear();
    field.clear();
    in_row = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (!in_row) {
      lines.push_back(line);
      in_row = true;
    }
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') ++line;
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      // CR LF ends the record; the LF is taken next.
    } else if (c == '\n') {
      ++line;
      end_row();
    } else {
      field += c;
    }
  }
  if (in_row) end_row();  // a last record without its line end
  return rows;
}

ReadResult ReadTrendLog(const std::string& text) {
  ReadResult r;
  std::vector<int> lines;
  auto rows = SplitCsv(text, lines);
  auto fail = [&r](int line, const std::string& why) {
    r.error = "line " + std::to_string(line) + ": " + why;
    return r;
  };
  if (rows.empty()) return fail(1, "the file is empty: no header, no rows");
  const auto& columns = monitor::LogColumns();
  if (rows[0] != columns)
    return fail(1, "this is not a climon value log: its header is not climon's");
  if (rows.size() == 1) return fail(1, "the log has a header but no rows");
  auto col = [&columns](const char* name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] == name) return i;
    }
    return columns.size();
  };
  const std::size_t time = col("time"), port = col("port"), temp = col("temp_c"),
                    temp_set = col("temp_set_c"), hum = col("humidity_pct"),
                    hum_set = col("humidity_set_pct"), co2 = col("co2_pct"),
                    co2_set = col("co2_set_pct");
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto& f = rows[i];
    int line = lines[i];
    if (f.size() != columns.size()) {
      return fail(line, std::to_string(f.size()) + " fields where a climon log row has " +
                            std::to_string(columns.size()));
    }
    Sample s;
    if (!ParseIsoTime(f[time], s.utc, s.utc_offset_minutes)) {
      return fail(line, "the time '" + f[time] + "' is not of the form 2026-12-09T14:03:05+01:00");
    }
    bool bad = false;
    s.temp = Number(f[temp], bad);
    s.temp_set = Number(f[temp_set], bad);
    s.humidity = Number(f[hum], bad);
    s.humidity_set = Number(f[hum_set], bad);
    s.co2 = Number(f[co2], bad);
    s.co2_set = Number(f[co2_set], bad);
    if (bad) return fail(line, "a value that is not a number");
    const char* digits = f[port].data();
    if (i == 1 && std::from_chars(digits, digits + f[port].size(), r.log.port).ec != std::errc()) {
      r.log.port = 0;
    }
    r.log.samples.push_back(s);
  }
  return r;
}

}  // namespace plot
