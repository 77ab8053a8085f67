// The trend chart: the log read back as a stream, the M4 columns, gaps and outages, and
// the SVG drawn from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Aggregate.h"
#include "LogText.h"
#include "MiniXml.h"
#include "PlotOptions.h"
#include "TempFiles.h"
#include "TrendSvg.h"
#include "logformat/LogFormat.h"
#include "logread/LogReader.h"

namespace {

using logtext::At, logtext::Header, logtext::Row;

plot::Chart Aggregate(const std::string& text, int columns = plot::kPlotColumns) {
  plot::Aggregator a(columns);
  logread::LogReader reader("t.csv", [&a](const logread::Row& row) { a.Add(row); });
  reader.Feed(text);
  reader.Finish();
  return a.Finish();
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
      {"rows missing for longer than a row holds",
       Row(At(0), "1") + Row(At(1), "1") + Row(At(2), "1") + Row(At(123), "1") + Row(At(124), "1"),
       2, 1},
      {"rows missing for as long as a row holds",
       Row(At(0), "1") + Row(At(1), "1") + Row(At(2), "1") + Row(At(122), "1") + Row(At(123), "1"),
       1, 0},
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
       "option --last: '7w' is not a number of hours or days such as 24h or 7d"},
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
       "--from is not before --to"},
      {{"a.csv", "-o", "t.svg", "--last", "1d", "--from", "2026-12-09"},
       "give one period: --day, --month, --from or --last"},
      {{"a.csv"}, "a log and -o are needed"},
  };
  for (const auto& c : cases) {
    plot::PlotOptions o;
    EXPECT_EQ(plot::ParsePlotOptions(c.args, o).error, c.error) << c.args.back();
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
