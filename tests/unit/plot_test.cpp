// The trend chart: the log read back as a stream, the M4 columns, gaps and outages, and
// the SVG drawn from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "Aggregate.h"
#include "LogReader.h"
#include "LogSet.h"
#include "MiniXml.h"
#include "PlotOptions.h"
#include "TempFiles.h"
#include "TrendSvg.h"
#include "logformat/LogFormat.h"

namespace {

using logread::Damage;

std::string Header() {
  return logformat::CsvHeader();
}

// A row with the temperature, humidity and CO2 and their set points; "" leaves one out.
std::string Row(const std::string& time, const std::string& temp, const std::string& hum = "85.0",
                const std::string& co2 = "1.500") {
  return time + ",1,1," + temp + ",12.50," + hum + ",85.00," + co2 +
         ",1.500,-2.00,0.00,185,12.00,1,1,1,0,,,,,\r\n";
}

// 2026-12-09T10:00:00+01:00 plus `s` seconds, with milliseconds.
std::string At(double s) {
  std::int64_t ms = 1796806800000 + static_cast<std::int64_t>(std::llround(s * 1000));
  return logformat::FormatIsoTime(logformat::FromUtcMs(ms, 60));
}

struct Read {
  std::vector<logread::Row> rows;
  std::string refusal;
  std::array<std::uint64_t, 5> damage{};
};

Read ReadText(const std::string& text, std::size_t piece = 7) {
  Read r;
  logread::LogReader reader("t.csv", [&r](const logread::Row& row) { r.rows.push_back(row); });
  // In small pieces, so that lines cross the blocks.
  for (std::size_t i = 0; i < text.size(); i += piece)
    reader.Feed(std::string_view(text).substr(i, piece));
  reader.Finish();
  r.refusal = reader.refusal();
  for (std::size_t k = 0; k < 5; ++k) r.damage[k] = reader.damage()[k].rows;
  return r;
}

plot::Chart Aggregate(const std::string& text, int columns = plot::kPlotColumns) {
  plot::Aggregator a(columns);
  logread::LogReader reader("t.csv", [&a](const logread::Row& row) { a.Add(row); });
  reader.Feed(text);
  reader.Finish();
  return a.Finish();
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
      {Header() + good + Row("9999-12-31T00:00:00+00:00", "1") + Row(At(3), "12.3"), 3,
       Damage::kBadTime, 1},
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
    for (std::size_t k = 0; k < 5; ++k) {
      EXPECT_EQ(r.damage[k], k == static_cast<std::size_t>(c.kind) ? c.skipped : 0u)
          << c.text.substr(0, 80) << " kind " << k;
    }
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
  std::vector<std::int64_t> times;
};

SetResult ReadSet(const std::vector<std::string>& paths, logread::Range range = {}) {
  SetResult r;
  r.read = logread::ReadLogs(
      paths, range, {[&r](const logread::Row& row) { r.times.push_back(row.utc_ms); }, {}});
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
    auto ms = [t0](std::optional<int> s) {
      return s ? std::optional<std::int64_t>(t0 + *s * 1000LL) : std::nullopt;
    };
    logread::Range range{ms(k.from), ms(k.to),
                         k.last ? std::optional(*k.last * 1000LL) : std::nullopt};
    SetResult got = ReadSet(k.files, range);
    SetResult all = ReadSet(k.files);
    std::vector<std::int64_t> want;
    for (std::int64_t t : all.times) {
      if (got.read.range.Holds(t)) want.push_back(t);
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

TEST(Aggregate, EachColumnHoldsItsFirstLastMinAndMax) {
  // 10 columns of 100 rows: a plateau, a one-row spike, a ramp.
  std::string text = Header();
  for (int i = 0; i < 1000; ++i) {
    double v = i < 300 ? 5.0 : i == 450 ? 40.0 : 5.0 + (i - 300) * 0.01;
    text += Row(At(i), std::to_string(v));
  }
  plot::Chart c = Aggregate(text, 10);
  ASSERT_EQ(c.lines[plot::kTemp].size(), 1u);
  const auto& pts = c.lines[plot::kTemp][0];
  EXPECT_LE(pts.size(), 40u);
  EXPECT_EQ(std::max_element(pts.begin(), pts.end(), [](auto a, auto b) { return a.v < b.v; })->v,
            40.0);
  EXPECT_EQ(pts.front().v, 5.0);
  EXPECT_NEAR(pts.back().v, 5.0 + 699 * 0.01, 1e-9);
  EXPECT_TRUE(std::is_sorted(pts.begin(), pts.end(), [](auto a, auto b) { return a.t < b.t; }));
}

TEST(Aggregate, ASpikeOfOneRowAmongAMillionReachesItsValue) {
  plot::Aggregator a(plot::kPlotColumns);
  logread::Row row;
  for (int i = 0; i < 1000000; ++i) {
    row.utc_ms = 1796806800000 + std::int64_t{i} * 1000;
    row.values[plot::kTemp] = i == 777777 ? 99.5 : 12.0;
    a.Add(row);
  }
  plot::Chart c = a.Finish();
  double top = 0;
  std::size_t points = 0;
  for (const auto& line : c.lines[plot::kTemp]) {
    points += line.size();
    for (const auto& p : line) top = std::max(top, p.v);
  }
  EXPECT_EQ(top, 99.5);
  EXPECT_LE(points, 4u * plot::kPlotColumns);
}

TEST(Aggregate, LinesBreakAtFailedReadsAndOutagesAndEveryOutageIsMarked) {
  struct Case {
    const char* what;
    std::string rows;
    std::size_t lines;
    std::size_t outages;
  } cases[] = {
      {"an empty field", Row(At(0), "1") + Row(At(1), "") + Row(At(2), "3"), 2, 0},
      {"rows missing for 10 intervals",
       Row(At(0), "1") + Row(At(1), "1") + Row(At(2), "1") + Row(At(12), "1") + Row(At(13), "1"), 2,
       1},
      {"rows missing for 2 intervals",
       Row(At(0), "1") + Row(At(1), "1") + Row(At(2), "1") + Row(At(4), "1") + Row(At(5), "1"), 1,
       0},
      {"times that go back are drawn in order",
       Row(At(0), "1") + Row(At(1), "2") + Row(At(0.5), "3") + Row(At(2), "4"), 1, 0},
  };
  for (const auto& c : cases) {
    plot::Chart chart = Aggregate(Header() + c.rows);
    EXPECT_EQ(chart.lines[plot::kTemp].size(), c.lines) << c.what;
    EXPECT_EQ(chart.outages.size(), c.outages) << c.what;
    for (const auto& line : chart.lines[plot::kTemp]) {
      EXPECT_TRUE(std::is_sorted(line.begin(), line.end(), [](auto a, auto b) {
        return a.t < b.t;
      })) << c.what;
    }
  }
  // Thirty minutes missing from thirty days: under a pixel, and still marked.
  plot::Aggregator a(plot::kPlotColumns);
  logread::Row row;
  row.values[plot::kTemp] = 1;
  for (std::int64_t s = 0; s < 30 * 86400; s += 60) {
    if (s > 86400 * 10 && s < 86400 * 10 + 1800) continue;
    row.utc_ms = 1796806800000 + s * 1000;
    a.Add(row);
  }
  plot::Chart month = a.Finish();
  ASSERT_EQ(month.outages.size(), 1u);
  EXPECT_EQ(month.outages[0].to - month.outages[0].from, 1800000);
}

TEST(PlotOptions, RangesAndTheirEdges) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"a.csv", "b.csv", "-o", "t.svg"}, ""},
      {{"a.csv", "-o", "t.svg", "--from", "2026-12-09", "--to", "2026-12-09T14:00Z"}, ""},
      {{"a.csv", "-o", "t.svg", "--last", "7d"}, ""},
      {{"a.csv", "-o", "t.svg", "--last", "7w"},
       "option --last: '7w' is not a number of hours or days such as 24h, 7d or 30d"},
      {{"a.csv", "-o", "t.svg", "--from", "2026-02-31"},
       "option --from: '2026-02-31' is not a date or a date and time such as 2026-12-09 or "
       "2026-12-09T14:00"},
      {{"a.csv", "-o", "t.svg", "--to=2026-12-09"}, ""},  // either form of a value
      {{"a.csv", "-o"}, "option -o needs the name of the SVG file to write"},
      {{"a.csv", "-o", "t.svg", "--from"},
       "option --from needs a date or a date and time such as 2026-12-09 or 2026-12-09T14:00"},
      {{"a.csv", "-o", "t.svg", "-x"}, "unknown option -x"},
      {{"a.csv", "-o", "t.svg", "--version=1"}, "option --version takes no value"},
      {{"a.csv", "-o", "t.svg", "--from", "2026-12-10Z", "--to", "2026-12-09Z"},
       "--from is later than --to"},
      {{"a.csv", "-o", "t.svg", "--last", "1d", "--from", "2026-12-09"},
       "--last does not go with --from or --to"},
      {{"a.csv"}, "a log and -o are needed"},
  };
  for (const auto& c : cases) {
    plot::PlotOptions o;
    EXPECT_EQ(plot::ParsePlotOptions(c.args, o), c.error) << c.args.back();
  }
  EXPECT_EQ(logformat::ParseTimeBound("2026-12-09T14:00:00+01:00"), 1796821200000);
  EXPECT_EQ(logformat::ParseTimeBound("2026-12-09T13:00Z"), 1796821200000);
}

TEST(TrendSvg, WellFormedWithOnePolylinePerRunAndTheOutageBand) {
  std::string text = Header() + Row(At(0), "12.0", "85.0") + Row(At(1), "12.5", "") +
                     Row(At(2), "", "85.2") + Row(At(3), "13.0", "85.3");
  std::string error;
  auto elements = minixml::Parse(plot::TrendSvg(Aggregate(text)), error);
  ASSERT_FALSE(elements.empty()) << error;
  EXPECT_EQ(elements[0].name, "svg");
  // Per panel, the values' lines: temperature 2 + 1 (a gap), humidity 1 + 2, CO2 4.
  std::vector<std::vector<int>> runs(1);
  for (const auto& e : elements) {
    if (e.name == "g") runs.emplace_back();
    if (e.name == "script") ADD_FAILURE() << "a script in the chart";
    if (e.name != "polyline" || e.attrs.at("class") != "value") continue;
    const std::string& pts = e.attrs.at("points");
    EXPECT_EQ(pts.find("nan"), std::string::npos);
    runs.back().push_back(static_cast<int>(std::count(pts.begin(), pts.end(), ',')));
  }
  EXPECT_EQ(runs, (std::vector<std::vector<int>>{{}, {2, 1}, {1, 2}, {4}, {}}));
  // An empty chart is drawn as empty panels, not read from an empty list.
  EXPECT_FALSE(minixml::Parse(plot::TrendSvg(plot::Chart{}), error).empty()) << error;
}

}  // namespace
