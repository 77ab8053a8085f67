// The rules of the room's record that every reader of it shares (climon-plot, climon-report):
// the period asked for and how its dates are read, the day, and when missing rows make an
// outage. A reader that asks them here gives the same answer as every other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace record {

inline constexpr std::int64_t kDayMs = 86400000;
// A row's values hold until the next row when it comes within this; a longer gap is an
// outage (climon not running). Two minutes: far more than a pass takes, even on a line
// full of timeouts.
inline constexpr std::int64_t kHoldMs = 120000;

// A moment of the log: UTC milliseconds since 1970 and the log's offset then.
struct Moment {
  std::int64_t ms = 0;
  int offset = 0;  // minutes ahead of UTC
};

// The local day (days since 1970) of a moment, and a local day's midnight at an offset.
std::int64_t LocalDay(std::int64_t ms, int offset);
std::int64_t Midnight(std::int64_t day, int offset);

// A bound as it was typed: an instant when it named its offset (or Z), otherwise a time on
// the log's own clock, which becomes an instant only at the log's offset.
struct Bound {
  std::int64_t ms = 0;  // since 1970: UTC, or the log's wall clock when `local`
  bool local = false;
  std::int64_t At(int offset) const { return local ? ms - std::int64_t{offset} * 60000 : ms; }
};

// What a reader is asked for: whole local days (--day, --month, or dates for --from and
// --to), a span [from, to) between two bounds (either may be open), or the last so long
// back from the newest row, that row included. Nothing set: everything.
struct Period {
  std::optional<std::int64_t> first_day, last_day;
  std::optional<Bound> from, to;
  std::optional<std::int64_t> last;  // ms; made into bounds by Resolved
  bool to_held = false;              // `to` itself is in the period (the newest row)
  std::string text;                  // "2026-12-09", "2026-12", "the last 7 days"

  bool Days() const { return first_day.has_value(); }
  bool Open() const { return !Days() && !from && !to && !last; }
  // A local day within the period's days (any, for a span of time).
  bool HoldsDay(std::int64_t day) const;
  bool Holds(const Moment& m) const;
  // Its first and last instant at the log's `offset`: the days' midnights or the span's
  // bounds; `open` where it has none.
  std::int64_t Start(int offset, std::int64_t open) const;
  std::int64_t End(int offset, std::int64_t open) const;
  // The earliest start and latest end at any offset a log can have (-12:00 to +14:00):
  // where reading must begin and may stop; none where open (or for --last).
  std::optional<std::int64_t> EarliestUtc() const;
  std::optional<std::int64_t> LatestUtc() const;
  // A span of instants `margin` (more than 14 hours) wider on each side of its bounds at
  // UTC; --last `margin` longer.
  Period Widened(std::int64_t margin) const;
  // --last made into bounds ending at the newest row; a period without --last as it is.
  Period Resolved(std::int64_t newest) const;
};

// The text of a time bound's value, for refusals and usage.
extern const char* const kTimeText;

// The period's options, each parsing into `p`: --from, --to and --last, and --day and
// --month. `count` counts the periods given, for Check.
std::vector<cli::Option> PeriodOptions(Period& p, int& count);

// Empty when the period given is good; otherwise why not. `closed`: a --from needs a
// --to and a period is needed; `max_days`: the longest period allowed (0: any).
std::string Check(const Period& p, int count, bool closed, std::int64_t max_days);

}  // namespace record
