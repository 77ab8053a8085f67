// The trend chart: reading a value log back, and the SVG drawn from it.
#include <gtest/gtest.h>

#include "MiniXml.h"
#include "TrendLog.h"
#include "TrendSvg.h"
#include "monitor/ValueLog.h"

namespace {

std::string Header() {
  return monitor::CsvHeader();
}

// A row with the temperature, humidity and CO2 and their set points; "" leaves one out.
std::string Row(const std::string& time, const std::string& temp, const std::string& hum,
                const std::string& co2) {
  return time + ",1,1," + temp + ",12.50," + hum + ",85.00," + co2 +
         ",1.500,-2.00,0.00,185,12.00,1,1,1,0,,,,,\r\n";
}

TEST(TrendLog, BadInputIsRefusedWithItsLine) {
  struct Case {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "line 1: the file is empty: no header, no rows"},
      {"a,b,c\r\n1,2,3\r\n", "line 1: this is not a climon value log: its header is not climon's"},
      {Header(), "line 1: the log has a header but no rows"},
      {Header() + Row("2026-12-09T10:00:00+01:00", "1", "2", "3") + "x,y\r\n",
       "line 3: 2 fields where a climon log row has 22"},
      {Header() + Row("2026-12-09 10:00:00", "1", "2", "3"),
       "line 2: the time '2026-12-09 10:00:00' is not of the form 2026-12-09T14:03:05+01:00"},
      {Header() + Row("2026-12-09T10:00:00+01:00", "1,5", "2", "3"),
       "line 2: 23 fields where a climon log row has 22"},
      {Header() + Row("2026-12-09T10:00:00+01:00", "abc", "2", "3"),
       "line 2: a value that is not a number"},
  };
  for (const auto& c : cases) EXPECT_EQ(plot::ReadTrendLog(c.text).error, c.error) << c.text;
}

TEST(TrendLog, QuotedFieldsTimesAndMissingValues) {
  std::vector<int> lines;
  auto rows = plot::SplitCsv("a,\"b,\"\"c\"\"\"\r\n\"x\ny\",z\n", lines);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"a", "b,\"c\""}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"x\ny", "z"}));
  EXPECT_EQ(lines, (std::vector<int>{1, 2}));
  std::int64_t utc;
  int off;
  ASSERT_TRUE(plot::ParseIsoTime("2026-12-09T14:03:05+01:00", utc, off));
  EXPECT_EQ(utc, 1796821385);  // 13:03:05 UTC
  EXPECT_EQ(off, 60);
  ASSERT_TRUE(plot::ParseIsoTime("1970-01-01T00:00:00-05:30", utc, off));
  EXPECT_EQ(utc, 19800);
  auto r = plot::ReadTrendLog(Header() + Row("2026-12-09T10:00:00+01:00", "", "85.10", "1.6"));
  ASSERT_EQ(r.error, "");
  EXPECT_FALSE(r.log.samples[0].temp.has_value());  // not read: absent, not 0
  EXPECT_EQ(*r.log.samples[0].humidity, 85.10);
}

TEST(TrendSvg, OnePointPerValueAndAGapWhereOneIsMissing) {
  std::string text = Header() + Row("2026-12-09T10:00:00+01:00", "12.0", "85.0", "1.500") +
                     Row("2026-12-09T10:00:01+01:00", "12.5", "", "1.510") +
                     Row("2026-12-09T10:00:02+01:00", "", "85.2", "1.520") +
                     Row("2026-12-09T10:00:03+01:00", "13.0", "85.3", "1.530");
  auto r = plot::ReadTrendLog(text);
  ASSERT_EQ(r.error, "");
  std::string error;
  auto elements = minixml::Parse(plot::TrendSvg(r.log), error);
  ASSERT_FALSE(elements.empty()) << error;
  EXPECT_EQ(elements[0].name, "svg");
  // Per panel, the values' lines: temperature 2 + 1 (a gap), humidity 1 + 2, CO2 4.
  std::vector<std::vector<int>> runs(1);
  for (const auto& e : elements) {
    if (e.name == "g") runs.emplace_back();
    if (e.name == "script") ADD_FAILURE() << "a script in the chart";
    if (e.name != "polyline" || e.attrs.at("class") != "value") continue;
    const std::string& pts = e.attrs.at("points");
    runs.back().push_back(static_cast<int>(std::count(pts.begin(), pts.end(), ',')));
  }
  EXPECT_EQ(runs, (std::vector<std::vector<int>>{{}, {2, 1}, {1, 2}, {4}}));
}

}  // namespace
