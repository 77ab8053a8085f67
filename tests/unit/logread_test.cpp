// The value logs read back: a log row by row as the bytes come, its damage counted by kind,
// and a rotated set of plain and compressed files read as one, a period at a time.
#include <gtest/gtest.h>

#include <fstream>

#include "LogText.h"
#include "TempFiles.h"
#include "logformat/LogFormat.h"
#include "logread/LogReader.h"
#include "logread/LogSet.h"

namespace {

using logread::Damage;
using logtext::At, logtext::Header, logtext::Row;

struct Read {
  std::vector<logread::Row> rows;
  std::string refusal;
  std::array<std::uint64_t, static_cast<std::size_t>(Damage::kKinds)> damage{};
  std::uint64_t steps = 0;
};

Read ReadText(const std::string& text, std::size_t piece = 7) {
  Read r;
  logread::LogReader reader("t.csv", [&r](const logread::Row& row) { r.rows.push_back(row); });
  // In small pieces, so that lines cross the blocks.
  for (std::size_t i = 0; i < text.size(); i += piece)
    reader.Feed(std::string_view(text).substr(i, piece));
  reader.Finish();
  r.refusal = reader.refusal();
  for (std::size_t k = 0; k < r.damage.size(); ++k) r.damage[k] = reader.damage()[k].rows;
  r.steps = reader.steps_seen();
  return r;
}

TEST(LogFormat, TimesRoundTripInBothFormsAndBadDatesAreRefused) {
  struct Case {
    const char* text;
    bool ok;
    std::int64_t utc_ms;
    int offset;
  } cases[] = {
      {"2026-12-09T14:03:05+01:00", true, 1796821385000, 60},
      {"2026-12-09T14:03:05.412+01:00", true, 1796821385412, 60},
      {"1970-01-01T00:00:00-05:30", true, 19800000, -330},
      {"2026-03-29T03:00:00.000+02:00", true, 1774746000000, 120},  // summer time begins
      {"2026-02-31T10:00:00+01:00", false, 0, 0},
      {"2026-12-09 14:03:05+01:00", false, 0, 0},
      {"2026-12-09T14:03:05.41+01:00", false, 0, 0},
      {"2026-12-09T24:00:00+01:00", false, 0, 0},
  };
  for (const auto& c : cases) {
    std::int64_t ms = 0;
    int off = 0;
    ASSERT_EQ(logformat::ParseIsoTime(c.text, ms, off), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(ms, c.utc_ms) << c.text;
    EXPECT_EQ(off, c.offset) << c.text;
    std::string again = logformat::FormatIsoTime(logformat::FromUtcMs(ms, off));
    EXPECT_EQ(again.substr(0, 19), std::string(c.text).substr(0, 19)) << c.text;
  }
}

TEST(LogReader, DamagedRowsAreSkippedAndCountedAndTheRestRead) {
  const std::string good = Row(At(0), "12.0") + Row(At(1), "12.1");
  struct Case {
    std::string text;
    std::size_t rows;
    Damage kind;  // kKinds: none
    std::uint64_t skipped;
    std::string refusal = "";
    std::uint64_t steps = 0;  // the clock set back
  } cases[] = {
      {Header() + good, 2, Damage::kKinds, 0},
      {"\xEF\xBB\xBF" + Header() + good, 2, Damage::kKinds, 0},  // a spreadsheet's BOM
      {Header() + good + Row(At(2), "12.2").substr(0, 40), 2, Damage::kFieldCount, 1},  // torn
      {Header() + Row(At(0), "12.0").substr(0, 50) + "\r\n" + good, 2, Damage::kFieldCount, 1},
      {Header() + good + Header() + Row(At(3), "12.3"), 3, Damage::kRepeatedHeader, 1},
      {Header() + good + Row(At(2), "1,5"), 2, Damage::kFieldCount, 1},
      {Header() + good + Row("2026-02-31T10:00:00+01:00", "1"), 2, Damage::kBadTime, 1},
      {Header() + good + Row(At(2), "nan") + Row(At(3), "inf") + Row(At(4), "1e308"), 2,
       Damage::kBadValue, 3},
      {Header() + Row(At(0), "1e16") + Row(At(1), "10000000000000002") + good, 2, Damage::kBadValue,
       2},
      // Only plain decimals, as climon writes them: an exponent is no reading of 1,000,000.
      {Header() + good + Row(At(2), "1e6") + Row(At(3), "12.") + Row(At(4), "+5") +
           Row(At(5), "0x10") + Row(At(6), "123456.1234567890"),
       3, Damage::kBadValue, 4},
      {Header() + good + Row("9999-12-31T00:00:00+00:00", "1") + Row(At(3), "12.3"), 3,
       Damage::kLoneTime, 1},
      // One row of a wrong clock between two that follow each other: an hour or a day
      // ahead, or at -12:00 with the same clock.
      {Header() + good + Row(At(3600), "1") + Row(At(3), "12.3"), 3, Damage::kLoneTime, 1},
      {Header() + good + Row(At(86400), "1") + Row(At(3), "12.3"), 3, Damage::kLoneTime, 1},
      {Header() + good + Row("2026-12-09T10:00:02-12:00", "1") + Row(At(3), "12.3"), 3,
       Damage::kLoneTime, 1},
      // A stop, a run of one row, a stop: no pair around it follows each other, so it stays.
      {Header() + good + Row(At(600), "1") + Row(At(1200), "12.3"), 4, Damage::kKinds, 0},
      // The clock set back ten minutes for good: every row kept, the step told.
      {Header() + Row(At(900), "1") + Row(At(901), "2") + Row(At(300), "3") + Row(At(301), "4"), 4,
       Damage::kKinds, 0, "", 1},
      {Header() + good + std::string(100000, 'x') + "\r\n" + Row(At(3), "12.3"), 3,
       Damage::kTooLong, 1},
      // Summer time begins between two rows: another offset, the same clock.
      {Header() + Row("2026-03-29T01:59:59+01:00", "1") + Row("2026-03-29T03:00:00.250+02:00", "2"),
       2, Damage::kKinds, 0},
      {"a,b,c\r\n1,2,3\r\n", 0, Damage::kKinds, 0,
       "t.csv is not a climon value log: its first line is not climon's header"},
      {"", 0, Damage::kKinds, 0, "t.csv is empty: not a climon value log"},
  };
  for (const auto& c : cases) {
    Read r = ReadText(c.text);
    EXPECT_EQ(r.refusal, c.refusal) << c.text.substr(0, 80);
    EXPECT_EQ(r.rows.size(), c.rows) << c.text.substr(0, 80);
    for (std::size_t k = 0; k < r.damage.size(); ++k) {
      EXPECT_EQ(r.damage[k], k == static_cast<std::size_t>(c.kind) ? c.skipped : 0u)
          << c.text.substr(0, 80) << " kind " << k;
    }
    EXPECT_EQ(r.steps, c.steps) << c.text.substr(0, 80);
  }
}

// Rows `step` seconds apart from At(start), `n` of them.
std::string Rows(int start, int n, int step = 1) {
  std::string text;
  for (int i = 0; i < n; ++i) text += Row(At(start + i * step), std::to_string(i % 50));
  return text;
}

struct SetResult {
  logread::SetRead read;
  record::Period period;  // as read
  std::vector<std::int64_t> times;
};

SetResult ReadSet(const std::vector<std::string>& paths, const record::Period& period = {}) {
  SetResult r;
  logread::LogSet set(paths, period);
  r.period = set.period();
  r.read = set.Read({[&r](const logread::Row& row) { r.times.push_back(row.utc_ms); }, {}, {}});
  return r;
}

// A range read gives the rows that reading it all and keeping those in the range gives:
// across a restart (a torn row, a repeated header, 20 minutes without rows), a clock set
// back an hour, and in a rotated set of plain and compressed files named in any order.
TEST(LogSet, ARangeReadsWhatAFullReadKeeps) {
  Folder d;
  // 20000 rows (1.5 MB): long enough for the bisection to take many steps.
  std::string log = Header() + Rows(0, 8000) + Row(At(8000), "1").substr(0, 30) + "\r\n" +
                    Header() + Rows(9200, 6000) + Rows(11600, 6000);  // back an hour
  std::string one = d.Write("one.csv", log);
  // A rotated set: 8 h 20 min in each file.
  std::string a = d.Write("a.csv", Header() + Rows(0, 3000, 10));
  std::string b = d.Write("b.csv.1.gz", Header() + Rows(30000, 3000, 10), true);
  std::string c = d.Write("c", Header() + Rows(60000, 3000, 10), true);
  const std::int64_t t0 = 1796806800000;
  struct Case {
    std::vector<std::string> files;
    std::optional<int> from, to, last;  // seconds from At(0)
    std::vector<bool> skipped;          // by file, in time order
  } cases[] = {
      {{one}, {}, {}, {}, {false}},
      {{one}, 4000, {}, {}, {false}},
      {{one}, 11000, 12000, {}, {false}},  // on both sides of the step back
      {{one}, 8500, 9100, {}, {false}},    // within the restart's gap: nothing
      {{one}, {}, {}, 1800, {false}},
      {{one}, 30000, {}, {}, {true}},
      {{c, a, b, a}, {}, {}, {}, {false, false, false}},
      {{c, b, a}, 70000, 75000, {}, {true, true, false}},
      {{b, c, a}, {}, 10000, {}, {false, true, true}},
      {{a, c, b}, {}, {}, 600, {true, true, false}},
  };
  for (const auto& k : cases) {
    auto bound = [t0](std::optional<int> s) {
      return s ? std::optional<record::Bound>({t0 + *s * 1000LL, false}) : std::nullopt;
    };
    record::Period period;
    period.from = bound(k.from);
    period.to = bound(k.to);
    if (k.last) period.last = *k.last * 1000LL;
    SetResult got = ReadSet(k.files, period);
    SetResult all = ReadSet(k.files);
    std::vector<std::int64_t> want;
    for (std::int64_t t : all.times) {
      if (got.period.Holds({t, 60})) want.push_back(t);
    }
    std::string what =
        std::to_string(k.files.size()) + " files " + std::to_string(k.from.value_or(-1));
    EXPECT_EQ(got.times, want) << what;
    EXPECT_FALSE(want.empty() && k.from != 30000 && k.from != 8500) << what;
    std::vector<bool> skipped;
    for (const auto& f : got.read.files) skipped.push_back(f.skipped);
    EXPECT_EQ(skipped, k.skipped) << what;
    EXPECT_TRUE(got.read.Errors().empty()) << what;
  }
}

// A file that cannot be read is reported, and the rest read; so is a compressed one that
// breaks off, with the rows before the break.
TEST(LogSet, FilesThatCannotBeReadAreReportedAndTheRestRead) {
  Folder d;
  std::string good = d.Write("good.csv", Header() + Rows(0, 10));
  std::string gz = d.Write("big.gz", Header() + Rows(100, 20000), true);
  std::ifstream in(gz, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  struct Case {
    std::string name, bytes;
    bool gz;
    std::string error;  // its start, after the path
    std::size_t rows;   // of this file
  } cases[] = {
      {"cut.gz", bytes.substr(0, bytes.size() / 2), false, " is cut short", 1},
      {"empty.gz", "", false, " is empty", 0},
      {"empty-inside.gz", "", true, " is empty", 0},
      {"other.gz", "hello, world\n", true, " is not a climon value log", 0},
      {"junk.gz", "\x1f\x8bnot really gzip at all", false, " is damaged at byte", 0},
      {"two-rooms.csv", Header() + "2026-12-09T10:01:00.000+01:00,2,1" + Row(At(0), "1").substr(33),
       false, "", 1},
  };
  for (const auto& c : cases) {
    std::string path = d.Write(c.name, c.bytes, c.gz);
    SetResult r = ReadSet({good, path, d.dir + "/missing.csv"});
    std::vector<std::string> errors = r.read.Errors();
    ASSERT_EQ(errors.size(), c.error.empty() ? 1u : 2u) << c.name;
    EXPECT_EQ(errors.back().rfind("cannot read " + d.dir + "/missing.csv", 0), 0u) << errors.back();
    if (!c.error.empty()) {
      EXPECT_EQ(errors[0].rfind(path + c.error, 0), 0u) << errors[0];
    }
    EXPECT_EQ(r.times.size() >= 10 + c.rows, true) << c.name;
    EXPECT_EQ(r.read.mixed.empty(), c.name != "two-rooms.csv") << c.name;
  }
}

}  // namespace
