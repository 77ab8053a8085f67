#include "record/Period.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "logformat/LogFormat.h"

namespace record {
namespace {

// The offsets a log can have: -12:00 to +14:00.
constexpr int kWestmost = -12 * 60, kEastmost = 14 * 60;

bool Date(std::string_view v, std::int64_t& day) {
  int y, m, d;
  if (v.size() != 10 || !logformat::Digits(v, 0, 4, y) || v[4] != '-' ||
      !logformat::Digits(v, 5, 2, m) || v[7] != '-' || !logformat::Digits(v, 8, 2, d) ||
      !logformat::ValidDate(y, m, d)) {
    return false;
  }
  day = logformat::DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
  return true;
}

// A bound as typed: a time without an offset is on the log's clock.
std::optional<Bound> ParseBound(const std::string& v) {
  std::int64_t day;
  if (Date(v, day)) return Bound{day * kDayMs, true};
  // Read as UTC first: a bound that names its offset comes out the same either way.
  std::optional<std::int64_t> utc = logformat::ParseTimeBound(v + "Z");
  if (utc) return Bound{*utc, true};
  // Not a time of the log's clock: one with its offset, an instant.
  if (std::optional<std::int64_t> instant = logformat::ParseTimeBound(v))
    return Bound{*instant, false};
  return std::nullopt;
}

// Dates for both ends: whole days.
void DaysFromBounds(Period& p, const std::string& from, const std::string& to) {
  std::int64_t a, b;
  if (Date(from, a) && Date(to, b)) {
    p.first_day = a;
    p.last_day = b;
    p.from.reset();
    p.to.reset();
  }
}

}  // namespace

const char* const kTimeText = "a date or a date and time such as 2026-12-09 or 2026-12-09T14:00";

std::int64_t LocalDay(std::int64_t ms, int offset) {
  std::int64_t local = ms + std::int64_t{offset} * 60000;
  return (local >= 0 ? local : local - (kDayMs - 1)) / kDayMs;
}

std::int64_t Midnight(std::int64_t day, int offset) {
  return day * kDayMs - std::int64_t{offset} * 60000;
}

bool Period::HoldsDay(std::int64_t day) const {
  return !Days() || (day >= *first_day && day <= *last_day);
}

bool Period::Holds(const Moment& m) const {
  if (Days()) return HoldsDay(LocalDay(m.ms, m.offset));
  if (from && m.ms < from->At(m.offset)) return false;
  return !to || m.ms < to->At(m.offset) || (to_held && m.ms == to->At(m.offset));
}

std::int64_t Period::Start(int offset, std::int64_t open) const {
  return Days() ? Midnight(*first_day, offset) : from ? from->At(offset) : open;
}

std::int64_t Period::End(int offset, std::int64_t open) const {
  return Days() ? Midnight(*last_day + 1, offset) : to ? to->At(offset) : open;
}

std::optional<std::int64_t> Period::EarliestUtc() const {
  if (Days() || from) return Start(kEastmost, 0);
  return std::nullopt;
}

std::optional<std::int64_t> Period::LatestUtc() const {
  if (Days() || to) return End(kWestmost, 0);
  return std::nullopt;
}

Period Period::Widened(std::int64_t margin) const {
  Period w;
  w.text = text;
  if (last) {
    w.last = *last + margin;
    return w;
  }
  // At UTC: a margin of more than 14 hours covers any offset.
  if (Days() || from) w.from = Bound{Start(0, 0) - margin, false};
  if (Days() || to) w.to = Bound{End(0, 0) + margin, false};
  w.to_held = true;  // a margin: its end may as well be in
  return w;
}

Period Period::Resolved(std::int64_t newest) const {
  if (!last) return *this;
  Period r = *this;
  r.last.reset();
  r.from = Bound{newest - *last, false};
  r.to = Bound{newest, false};
  r.to_held = true;
  return r;
}

std::vector<cli::Option> PeriodOptions(Period& p, int& count) {
  // The typed text of --from and --to, for whole days and the period's description.
  auto from_text = std::make_shared<std::string>(), to_text = std::make_shared<std::string>();
  auto describe = [&p, from_text, to_text] {
    p.text.clear();
    if (!from_text->empty()) p.text = "from " + *from_text;
    if (!to_text->empty()) p.text += (p.text.empty() ? "" : " ") + ("to " + *to_text);
  };
  auto bound = [&p, &count, from_text, to_text, describe](bool is_from) {
    return [&p, &count, from_text, to_text, describe, is_from](const std::string& v, std::string&) {
      std::optional<Bound> b = ParseBound(v);
      if (!b) return false;
      // A date alone as the end takes in the whole day.
      if (!is_from && v.size() == 10) b->ms += kDayMs;
      (is_from ? p.from : p.to) = b;
      (is_from ? *from_text : *to_text) = v;
      if (is_from) ++count;
      describe();
      DaysFromBounds(p, *from_text, *to_text);
      return true;
    };
  };
  return {
      {"--day", "a date such as 2026-12-09",
       [&p, &count](const std::string& v, std::string&) {
         std::int64_t day;
         if (!Date(v, day)) return false;
         p.first_day = p.last_day = day;
         p.text = v;
         ++count;
         return true;
       },
       "DATE", "that day, midnight to midnight on the log's own clock"},
      {"--month", "a month such as 2026-12",
       [&p, &count](const std::string& v, std::string&) {
         std::int64_t first, next;
         if (!Date(v + "-01", first)) return false;
         int y = 0, m = 0;
         logformat::Digits(v, 0, 4, y);
         logformat::Digits(v, 5, 2, m);
         next = logformat::DaysFromCivil(m == 12 ? y + 1 : y,
                                         m == 12 ? 1u : static_cast<unsigned>(m + 1), 1);
         p.first_day = first;
         p.last_day = next - 1;
         p.text = v;
         ++count;
         return true;
       },
       "YYYY-MM", "that month's days"},
      {"--from", kTimeText, bound(true), "TIME", "from TIME on"},
      {"--to", kTimeText, bound(false), "TIME", "before TIME (a date: to the end of that day)"},
      {"--last", "a number of hours or days such as 24h or 7d",
       [&p, &count](const std::string& v, std::string&) {
         p.last = logformat::ParseSpan(v);
         if (!p.last) return false;
         p.text = "the last " + v.substr(0, v.size() - 1) + (v.back() == 'h' ? " hours" : " days");
         ++count;
         return true;
       },
       "SPAN", "the SPAN (24h, 7d) up to the logs' newest row"},
  };
}

std::string Check(const Period& p, int count, bool closed, std::int64_t max_days) {
  const bool span = p.from || p.to;
  if (closed && p.from.has_value() != p.to.has_value() && !p.Days())
    return "--from and --to go together";
  if (count > 1 || (p.last && span)) return "give one period: --day, --month, --from or --last";
  if (closed && count == 0 && !span) return "a period is needed: --day, --month, --from or --last";
  // A bound on the log's clock and an instant compare only at an offset: refused when no
  // offset a log can have puts the start first.
  if (p.from && p.to && p.from->At(kWestmost) >= p.to->At(kWestmost) &&
      p.from->At(kEastmost) >= p.to->At(kEastmost))
    return "--from is not before --to";
  if (p.Days() && *p.first_day > *p.last_day) return "--from is not before --to";
  if (max_days > 0) {
    // A page a day: a longer period is a report too long to print, and a clock years wrong
    // in a log could make one of millions of days.
    std::int64_t length = p.last           ? *p.last
                          : p.Days()       ? (*p.last_day - *p.first_day + 1) * kDayMs
                          : p.from && p.to ? p.to->ms - p.from->ms
                                           : 0;
    if (length > max_days * kDayMs) {
      return "the period is longer than " + std::to_string(max_days) +
             " days: make one report a month";
    }
  }
  return "";
}

}  // namespace record
