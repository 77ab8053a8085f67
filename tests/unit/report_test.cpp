// The room's record: figures of hand-made days whose answers are known to the second.
#include <gtest/gtest.h>

#include <sstream>

#include "AlarmCases.h"
#include "Html.h"
#include "PlotOptions.h"
#include "Report.h"
#include "ReportOptions.h"
#include "RoomDay.h"
#include "TempFiles.h"
#include "files/Files.h"
#include "logread/LogSet.h"
#include "markup/Markup.h"

namespace {

using report::kCo2;
using report::kHumidity;
using report::kTemp;

report::Record Build(const std::vector<std::string>& files, const report::Period& period,
                     report::Settings settings = {}) {
  report::Builder b(settings, period);
  logread::LogSet(files, {}).Read({[&b](const logread::Row& row) { b.Add(row); }, {}, {}});
  return b.Finish();
}

report::Period Day(int y, unsigned m, unsigned d) {
  report::Period p;
  p.first_day = p.last_day = logformat::DaysFromCivil(y, m, d);
  return p;
}

// Each value's day: inside, outside and without a value (seconds), the mean, lowest and
// highest, for the day in one file, in a rotated set of two (compressed and plain, named
// newest first), and for a UTC span.
TEST(Report, ADaysFiguresToTheSecond) {
  Folder d;
  const std::string header = logformat::CsvHeader();
  std::string whole = d.Write("room.csv", header + roomday::Rows());
  std::string morning = d.Write("room.csv.1.gz", header + roomday::Rows(0, 12 * 60), true);
  std::string evening = d.Write("room-now.csv", header + roomday::Rows(12 * 60, 1440));
  // The change to summer time: 23 hours, a row a minute, the temperature on its set point.
  std::string spring = header;
  const std::int64_t spring_midnight = 1774738800000;  // 2026-03-29T00:00+01:00
  for (int m = 0; m < 23 * 60; ++m) {
    std::int64_t t = spring_midnight + m * 60000LL;
    spring += roomday::Row(t, m < 120 ? 60 : 120, "12.50", "12.50");
  }
  std::string dst = d.Write("spring.csv", spring);
  // The last reading before the stop (20:00) and the log's last (23:59) hold for no time:
  // they are still the day's highest.
  std::string stop = d.Write(
      "stop.csv", header + roomday::Rows(0, 1200) +
                      roomday::Row(roomday::kMidnight + 1200 * 60000LL, 60, "19.00", "10.00") +
                      roomday::Rows(1320, 1439) +
                      roomday::Row(roomday::kMidnight + 1439 * 60000LL, 60, "20.00", "10.00"));
  // Wrong clocks: one row an hour ahead, a day ahead, or at -12:00 (all 30.00 °C, so that
  // taking one shows); the clock set back 10 minutes at 16:40 for good, its first row 12.70.
  auto lone = [&](const char* name, std::int64_t ms, int offset) {
    return d.Write(name, header + roomday::Rows(0, 601) +
                             roomday::Row(ms, offset, "30.00", "10.00") + roomday::Rows(601, 1440));
  };
  const std::int64_t ten = roomday::kMidnight + 600 * 60000LL;
  std::string hour = lone("hour.csv", ten + 3600000, 60);
  std::string ahead = lone("ahead.csv", ten + 86400000, 60);
  std::string west = lone("west.csv", ten + 30000, -720);
  std::string back = header + roomday::Rows(0, 1000);
  for (int m = 1000; m < 1440; ++m) {
    if (m > 1200 && m < 1320) continue;  // climon stopped, as in the day
    back += roomday::Row(roomday::kMidnight + (m - 10) * 60000LL, 60, m == 1000 ? "12.70" : "10.00",
                         "10.00");
  }
  back = d.Write("back.csv", back);
  const report::Period day9 = Day(2026, 12, 9);
  report::Period span;  // 12:00 to 18:00 at +01:00
  span.from = {roomday::kMidnight + 12 * 3600000LL, false};
  span.to = {roomday::kMidnight + 18 * 3600000LL, false};
  struct Case {
    const char* what;
    std::vector<std::string> files;
    report::Period period;
    report::Value value;
    std::int64_t length, inside, outside, none;
    std::optional<double> mean, low, high;
  } cases[] = {
      // 120 s of failed reads, 7200 s stopped, 60 s after the last row; 2400 + 300 outside.
      {"day", {whole}, day9, kTemp, 86400, 76320, 2700, 7380, 10.95, 8.8, 12.5},
      {"humidity", {whole}, day9, kHumidity, 86400, 79140, 0, 7260, 85.0, 85.0, 85.0},
      {"CO2 never read", {whole}, day9, kCo2, 86400, 0, 0, 86400, {}, {}, {}},
      {"rotated set", {evening, morning}, day9, kTemp, 86400, 76320, 2700, 7380, 10.95, 8.8, 12.5},
      {"span", {whole}, span, kTemp, 21600, 18900, 2700, 0, 10.1508, 8.8, 11.8},
      {"summer time", {dst}, Day(2026, 3, 29), kTemp, 82800, 82740, 0, 60, 12.5, 12.5, 12.5},
      {"the last before a stop", {stop}, day9, kTemp, 86400, 76320, 2700, 7380, 10.95, 8.8, 20.0},
      {"no rows", {whole}, Day(2026, 12, 10), kTemp, 86400, 0, 0, 86400, {}, {}, {}},
      {"a row an hour ahead", {hour}, day9, kTemp, 86400, 76320, 2700, 7380, 10.95, 8.8, 12.5},
      {"a row a day ahead", {ahead}, day9, kTemp, 86400, 76320, 2700, 7380, 10.95, 8.8, 12.5},
      {"a row at -12:00", {west}, day9, kTemp, 86400, 76320, 2700, 7380, 10.95, 8.8, 12.5},
      // Every row placed by its time: 12.70 holds a minute (outside), the day ends 11 min early.
      {"the clock set back", {back}, day9, kTemp, 86400, 75660, 2760, 7980, 10.959, 8.8, 12.7},
  };
  for (const auto& c : cases) {
    report::Record r = Build(c.files, c.period);
    ASSERT_EQ(r.days.size(), 1u) << c.what;
    const report::Day& day = r.days[0];
    const report::ValueFigures& f = day.values[c.value];
    EXPECT_EQ(day.length, c.length * 1000) << c.what;
    EXPECT_EQ(f.inside, c.inside * 1000) << c.what;
    EXPECT_EQ(f.outside, c.outside * 1000) << c.what;
    EXPECT_EQ(day.length - f.with, c.none * 1000) << c.what;
    EXPECT_EQ(f.Mean().has_value(), c.mean.has_value()) << c.what;
    if (c.mean) {
      EXPECT_NEAR(*f.Mean(), *c.mean, 0.005) << c.what;
    }
    EXPECT_EQ(f.low, c.low) << c.what;
    EXPECT_EQ(f.high, c.high) << c.what;
  }
}

// The day's excursion, its departure under the delay, its outages; a shorter delay lists
// the departure too, and an excursion at the period's end is still going.
TEST(Report, ExcursionsDeparturesAndOutages) {
  Folder d;
  std::string whole = d.Write("room.csv", logformat::CsvHeader() + roomday::Rows());
  report::Record r = Build({whole}, Day(2026, 12, 9));
  ASSERT_EQ(r.excursions.size(), 1u);
  const report::Excursion& e = r.excursions[0];
  EXPECT_EQ(report::ClockOf(e.start), "14:00:00");
  EXPECT_EQ(report::ClockOf(e.end), "14:40:00");
  EXPECT_EQ(report::ClockOf(e.peak_at), "14:20:00");
  EXPECT_EQ(e.peak, 11.8);
  EXPECT_EQ(e.set_point, 10.0);
  EXPECT_TRUE(e.above);
  EXPECT_EQ(e.how, report::Excursion::kBack);
  EXPECT_EQ(r.days[0].values[kTemp].departures, 1);
  EXPECT_EQ(r.days[0].values[kTemp].departure_ms, 300000);
  ASSERT_EQ(r.outages.size(), 2u);
  EXPECT_EQ(report::ClockOf(r.outages[0].from) + "-" + report::ClockOf(r.outages[0].to),
            "20:00:00-22:00:00");
  EXPECT_EQ(r.outages[0].kind, report::Outage::kNotRunning);
  EXPECT_EQ(r.outages[1].kind, report::Outage::kAfterRecord);

  report::Settings short_delay;
  short_delay.alarms.delay_ms = 5 * 60000;
  report::Period to_1420;
  to_1420.from = {roomday::kMidnight + 13 * 3600000LL, false};
  to_1420.to = {roomday::kMidnight + 14 * 3600000LL + 20 * 60000, false};
  EXPECT_EQ(Build({whole}, Day(2026, 12, 9), short_delay).excursions.size(), 2u);
  // Across the period's end the excursion is judged whole, from the rows after it.
  report::Record open = Build({whole}, to_1420);
  ASSERT_EQ(open.excursions.size(), 1u);
  EXPECT_EQ(open.excursions[0].how, report::Excursion::kBack);
  EXPECT_EQ(open.excursions[0].end.ms - open.excursions[0].start.ms, 40 * 60000);
}

// Excursions of known shape, a row a minute from 2026-12-09 22:00 (+01:00), each step
// "minute temperature set-point" holding until the next: each is one excursion, whole,
// with its peak beside the set point in force at the peak, whichever days are asked for.
TEST(Report, AnExcursionIsOneWholeAndToldAsItWent) {
  const char* midnight = "0 10.00 10.00,110 12.00 10.00,130 10.00 10.00";  // 23:50 to 00:10
  report::Period both = Day(2026, 12, 9);
  both.last_day = *both.first_day + 1;
  struct Case {
    const char* steps;
    report::Period period;
    std::string start, end, sides, peak_set;  // "" where no excursion is listed
    int departures = 0;                       // short ones counted on the first day
  } cases[] = {
      {midnight, Day(2026, 12, 9), "23:50:00", "00:10:00", "above", "10.00"},
      {midnight, Day(2026, 12, 10), "23:50:00", "00:10:00", "above", "10.00"},
      {midnight, both, "23:50:00", "00:10:00", "above", "10.00"},
      {"0 17.00 17.00,10 15.50 17.00,20 12.00 14.00,30 14.00 14.00", Day(2026, 12, 9), "22:10:00",
       "22:30:00", "below", "14.00"},
      {"0 10.00 10.00,10 8.50 10.00,20 11.50 10.00,30 10.00 10.00", Day(2026, 12, 9), "22:10:00",
       "22:30:00", "below, then above", "10.00"},
      {"0 10.00 10.00,118 12.00 10.00,122 10.00 10.00", Day(2026, 12, 9), "", "", "", "", 1},
  };
  for (const auto& c : cases) {
    Folder d;
    std::string rows = logformat::CsvHeader();
    std::vector<std::string> in_force;  // the step in force at each minute
    std::istringstream steps(c.steps);
    for (std::string step; std::getline(steps, step, ',');) {
      in_force.resize(std::stoul(step), in_force.empty() ? step : in_force.back());
      in_force.push_back(step);
    }
    in_force.resize(240, in_force.back());
    for (int m = 0; m < 240; ++m) {
      std::istringstream step(in_force[m]);
      std::string minute, temp, set;
      step >> minute >> temp >> set;
      rows += roomday::Row(roomday::kMidnight + (22 * 60 + m) * 60000LL, 60, temp, set);
    }
    report::Record r = Build({d.Write("x.csv", rows)}, c.period);
    ASSERT_EQ(r.excursions.size(), c.start.empty() ? 0u : 1u) << c.steps;
    EXPECT_EQ(r.days[0].values[kTemp].departures, c.departures) << c.steps;
    if (c.start.empty()) continue;
    const report::Excursion& e = r.excursions[0];
    EXPECT_EQ(report::ClockOf(e.start) + "-" + report::ClockOf(e.end), c.start + "-" + c.end);
    EXPECT_EQ(report::Number(e.set_point, 2), c.peak_set) << c.steps;
    std::string html = report::Html(r, report::Provenance{});
    EXPECT_NE(html.find(c.sides + "; back in band"), std::string::npos) << c.steps;
    if (r.days.size() < 2) continue;
    // Listed on both pages, marked as continuing, and counted once, on the 9th.
    EXPECT_NE(html.find("(continues into the next day)"), std::string::npos);
    EXPECT_NE(html.find("(continues from the day before)"), std::string::npos);
    std::string csv = report::Csv(r, report::Settings{});
    EXPECT_NE(csv.find(",1,0\r\n2026-12-09,Humidity"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",0,0\r\n2026-12-10,Humidity"), std::string::npos) << csv;
  }
}

// The day summer time ends has 25 hours: each time in its repeated hour carries its
// offset on the page and in the files read, so two excursions there are told apart.
TEST(Report, TheLongDaysRepeatedHourCarriesItsOffsets) {
  Folder d;
  const std::int64_t midnight = logformat::DaysFromCivil(2026, 10, 25) * 86400000LL - 7200000;
  std::string rows = logformat::CsvHeader();
  for (int m = 0; m < 25 * 60; ++m) {  // 02:00-02:25 at +02:00, 02:10-02:35 at +01:00
    const bool out = (m >= 120 && m < 145) || (m >= 190 && m < 215);
    rows +=
        roomday::Row(midnight + m * 60000LL, m < 180 ? 120 : 60, out ? "14.00" : "12.00", "12.00");
  }
  const std::string path = d.Write("autumn.csv", rows);
  report::Settings settings;
  settings.alarms.delay_ms = 20 * 60000;
  report::Builder b(settings, Day(2026, 10, 25));
  report::Provenance p;
  p.logs = logread::LogSet({path}, {})
               .Read({[&b](const logread::Row& row) { b.Add(row); }, {}, {}})
               .files;
  report::Record r = b.Finish();
  ASSERT_EQ(r.days.size(), 1u);
  EXPECT_EQ(r.days[0].length, 25 * 3600000LL);
  ASSERT_EQ(r.excursions.size(), 2u);
  std::string html = report::Html(r, p);
  for (const char* shown : {">02:00:00 +02:00<", ">2026-10-25 02:25:00 +02:00<",
                            ">02:10:00 +01:00<", ">2026-10-25 02:35:00 +01:00<",
                            ">2026-10-25 00:00:00 +02:00<", ">2026-10-25 23:59:00 +01:00<"}) {
    EXPECT_NE(html.find(shown), std::string::npos) << shown;
  }
}

// The audit trail's rows within the period, a quoted field with a comma among them; the
// CSV's day rows; a value never read is "no data" on the page, never 0.
TEST(Report, AuditRowsCsvAndNoData) {
  Folder d;
  std::string whole = d.Write("room.csv", logformat::CsvHeader() + roomday::Rows());
  report::Record r = Build({whole}, Day(2026, 12, 9));
  std::string room, error, damage;
  // Torn inside a quoted field (a power cut or a full disk), then the next row on a line
  // of its own: that row and every one after it are read; a multi-line reply is one field.
  std::string audit =
      logformat::AuditHeader() +
      "2026-12-08T23:59:00.000+01:00,1,Room 3,ana,terminal,\"WR DM890 140\",OK\r\n"
      "2026-12-09T08:59:00.000+01:00,1,Room 3,ana,start,\"variant 1, mo\r\n"
      "2026-12-09T09:00:00.000+01:00,1,Room 3,ana,start,\"port 1, variant 1\",\r\n"
      "2026-12-09T09:00:30.000+01:00,1,Room 3,ana,terminal,RD DM7,\"E1\r\nOK\"\r\n"
      "2026-12-09T09:01:00.000+01:00,1,Room 3,ana,reset,\"total 1, heater 2\",\"OK\"\r\n"
      "2026-12-09T09:02:00.000+01:00,1,Room 3,ana,terminal,\"RD DM8";  // torn at the end
  ASSERT_TRUE(report::ReadAudit("a.csv", audit, r, Day(2026, 12, 9), room, error, damage)) << error;
  EXPECT_EQ(room, "Room 3");
  ASSERT_EQ(r.actions.size(), 3u);
  EXPECT_EQ(r.actions[0].detail, "port 1, variant 1");
  EXPECT_EQ(r.actions[1].reply, "E1\r\nOK");
  EXPECT_EQ(r.actions[2].detail, "total 1, heater 2");
  EXPECT_EQ(damage, "\n  2 torn audit rows, the first on line 3 of a.csv");
  EXPECT_FALSE(
      report::ReadAudit("v.csv", logformat::CsvHeader(), r, Day(2026, 12, 9), room, error, damage));
  EXPECT_EQ(error,
            "v.csv is not a climon audit trail: its first line is not climon's audit header");

  std::string csv = report::Csv(r, report::Settings{});
  EXPECT_NE(csv.find("\r\n2026-12-09,Temperature,1321,8.80,2026-12-09T16:00:00.000+01:00,12.50,"
                     "2026-12-09T00:00:00.000+01:00,10.95,76320,2700,7380,86400,1,1\r\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("\r\n2026-12-09,CO2,1321,,,,,,0,0,86400,86400,0,0\r\n"), std::string::npos);
  report::Provenance p;
  p.room = "Room <3>";
  std::string html = report::Html(r, p);
  EXPECT_NE(html.find("Room &lt;3&gt;"), std::string::npos);
  EXPECT_NE(html.find("no data"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  for (const char* fetch : {"src=", "href=", "url(", "@import"}) {  // nothing fetched
    EXPECT_EQ(html.find(fetch), std::string::npos) << fetch;
  }
}

// An operator's write to a set point is told in words beside the raw line; anything else
// climon cannot name stays raw only. The summary shows the set points in force and the
// time without a value.
TEST(Report, ActionsInWordsAndTheSummary) {
  Folder d;
  report::Record r =
      Build({d.Write("room.csv", logformat::CsvHeader() + roomday::Rows())}, Day(2026, 12, 9));
  struct Case {
    std::string event, detail, words;
  } cases[] = {
      {"terminal", "WR DM890 180", "set the temperature set point to 18.00 \u00B0C"},
      {"terminal", "WR DM890 65336", "set the temperature set point to -20.00 \u00B0C"},
      {"terminal", "WR DM893 850", "set the humidity set point to 85.00 %"},
      {"terminal", "WR DM894 50", "set the CO2 set point to 0.500 %"},
      {"terminal", "WR DM39 900", "set the evaporator temperature set point to -5.00 \u00B0C"},
      {"reset", "counters before: 1,2", "operating-time counters set to 0"},
      {"terminal", "WR DM891 5", ""},
      {"terminal", "WR DM890 180 9", ""},
      {"terminal", "WR DM890 99999", ""},
      {"terminal", "RD DM890", ""},
  };
  for (const auto& c : cases) {
    report::Record one = r;
    one.actions = {{{roomday::kMidnight + 3600000, 60}, "ana", c.event, c.detail, "OK"}};
    report::Provenance p;
    p.audits = {"a.csv"};
    std::string html = report::Html(one, p);
    EXPECT_NE(html.find("<td class=\"t\">" + c.detail + "</td><td class=\"t\">" + c.words +
                        "</td><td class=\"t\">OK</td>"),
              std::string::npos)
        << c.detail;
    EXPECT_NE(html.find("<th class=\"t\">In words</th>"), std::string::npos);
  }
  std::string html = report::Html(r, report::Provenance{});
  // 2 hours stopped and the minute after the last row; the set point 12.50, then 10.00.
  EXPECT_NE(html.find("<td>2026-12-09</td><td>1321</td><td class=\"out\">2:01:00</td><td>10.95</td>"
                      "<td>10.00\u201312.50</td><td>8.80\u201312.50</td>"),
            std::string::npos);
}

// Inside + outside + without a value add up to the covered time, to the second, in the CSV
// and on the page, whatever the holds' fractions; and no false "not judged" from rounding.
TEST(Report, TheThreeDurationsAddUpToTheCoveredTime) {
  Folder d;
  std::string rows = logformat::CsvHeader();
  for (int i = 0; i <= 12; ++i) {  // 6 holds of 1.1 s inside, 6 outside, one of none
    rows += roomday::Row(roomday::kMidnight + 36000000LL + i * 1100, 60, i < 6 ? "10.00" : "12.00",
                         "10.00");
  }
  report::Record r = Build({d.Write("short.csv", rows)}, Day(2026, 12, 9));
  std::string csv = report::Csv(r, report::Settings{});
  EXPECT_NE(csv.find("2026-12-09,Temperature,13,10.00,2026-12-09T10:00:00.000+01:00,12.00,"
                     "2026-12-09T10:00:06.600+01:00,11.00,7,6,86387,86400,0,1\r\n"),
            std::string::npos)
      << csv;
  EXPECT_EQ(report::Html(r, report::Provenance{}).find("not judged."), std::string::npos);
}

// Text from the files reaches the page as valid UTF-8, with what could hide or turn it
// made visible.
TEST(Report, HostileTextIsShownNotApplied) {
  struct Case {
    std::string text, shown;
  } cases[] = {
      {"Room <3> & \"4\"", "Room &lt;3&gt; &amp; &quot;4&quot;"},
      {"caf\xC3\xA9 12 \xC2\xB0"
       "C",
       "caf\xC3\xA9 12 \xC2\xB0"
       "C"},  // UTF-8 as it is
      {std::string("a\0b\x1B[2Jc\x7F", 9),
       "a\xE2\x90\x80"
       "b\xE2\x90\x9B[2Jc\xE2\x90\xA1"},
      {"ab\xE2\x80\xAE"
       "cd",
       "ab[U+202E]cd"},                                // right-to-left override
      {"\xC2\x85x\xE2\x81\xA6", "[U+0085]x[U+2066]"},  // C1 control, isolate
      {"\xFF\xC0\xAFok\xED\xA0\x80\xE2\x82",
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDok"
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(markup::Escaped(c.text), c.shown) << c.text;
  // In the printed pages' CSS string, nothing can end the string or the style element.
  EXPECT_EQ(markup::CssString("R\"3\\</style>\n\xE2\x80\xAE"),
            "\"R\\000022"
            "3\\00005C\\00003C/style\\00003E\\00000A[U+202E]\"");
}

// An output never overwrites an input, however it is named, nor another output.
TEST(ReportOptions, AnOutputMayNotBeAnInputOrAnotherOutput) {
  Folder d;
  const std::string log = d.Write("room.csv", logformat::CsvHeader());
  const std::string audit = d.Write("audit.csv", logformat::AuditHeader());
  std::filesystem::create_hard_link(log, d.dir + "/linked.csv");
  struct Case {
    std::vector<std::string> outputs;
    const char* clash;  // the output named in the refusal; null: none
  } cases[] = {
      {{d.dir + "/report.html", d.dir + "/report.csv"}, nullptr},
      {{log, ""}, "room.csv"},
      {{"", d.dir + "/./audit.csv"}, "audit.csv"},
      {{d.dir + "/linked.csv"}, "linked.csv"},
      {{d.dir + "/r.html", d.dir + "/sub/../r.html"}, "r.html"},
  };
  for (const auto& c : cases) {
    std::optional<std::string> clash = files::OutputClash(c.outputs, {log, audit});
    EXPECT_EQ(clash.has_value(), c.clash != nullptr) << (clash ? *clash : "");
    if (clash && c.clash != nullptr) {
      EXPECT_NE(clash->find(c.clash), std::string::npos) << *clash;
    }
  }
}

TEST(ReportOptions, PeriodsBandsAndRefusals) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"a.csv", "-o", "r.html", "--month", "2026-02"}, ""},
      {{"a.csv", "-o", "r.html", "--day", "2026-02-30"},
       "option --day: '2026-02-30' is not a date such as 2026-12-09"},
      {{"a.csv", "-o", "r.html"}, "a period is needed: --day, --month, --from or --last"},
      {{"a.csv", "-o", "r.html", "--day", "2026-02-03", "--last", "7d"},
       "give one period: --day, --month, --from or --last"},
      {{"a.csv", "-o", "r.html", "--last", "7d", "--temp-band", "-1"},
       "option --temp-band: '-1' is not a number from 0 to 100 such as 1.5"},
      {{"a.csv", "-o", "r.html", "--last", "7d", "--delay", "1441"},
       "option --delay: '1441' is not a number of minutes from 0 to 1440 such as 15 or 0.5"},
      {{"a.csv", "-o", "r.html", "--last", "7d", "--settle", "-1"},
       "option --settle: '-1' is not a number of minutes from 0 to 1440 such as 15 or 0.5"},
      {{"a.csv", "-o", "r.html", "--last", "7d", "--after-defrost", "1e9"},
       "option --after-defrost: '1e9' is not a number of minutes from 0 to 1440 such as 15 or "
       "0.5"},
      {{"a.csv", "-o", "r.html", "--last", "7d", "--temp-band", "nan"},
       "option --temp-band: 'nan' is not a number from 0 to 100 such as 1.5"},
      {{"a.csv", "--to", "2026-12-09", "-o", "r.html"}, "--from and --to go together"},
      {{"a.csv", "-o", "r.html", "--last", "401d"},
       "the period is longer than 400 days: make one report a month"},
      {{"--day", "2026-12-09"}, "a log and -o or --csv are needed"},
  };
  for (const auto& c : cases) {
    report::ReportOptions o;
    EXPECT_EQ(report::ParseReportOptions(c.args, o).error, c.error) << c.args.back();
  }
  report::ReportOptions o;
  ASSERT_EQ(
      report::ParseReportOptions({"a", "--csv", "c", "--month", "2026-02", "--co2-above", "0.8",
                                  "--humidity-band", "3", "--delay", "30", "--realarm", "0.5"},
                                 o)
          .error,
      "");
  EXPECT_EQ(*o.period.last_day - *o.period.first_day, 27);
  EXPECT_EQ(o.settings.alarms.bands[kCo2].above, 0.8);
  EXPECT_FALSE(o.settings.alarms.bands[kCo2].has_below);
  EXPECT_EQ(o.settings.alarms.bands[kHumidity].below, 3.0);
  EXPECT_EQ(o.settings.alarms.delay_ms, 30 * 60000);
  EXPECT_EQ(o.settings.alarms.realarm_ms, 30000);  // minutes with decimals
}

// The alarm rule's cases written as a day's log and audit trail (the acknowledgements):
// climon-report raises, clears and acknowledges the same alarms as the rule live.
TEST(Report, TheAlarmCasesOverLogs) {
  const auto minute_of = [](const report::Moment& m) {
    return std::to_string((m.ms - roomday::kMidnight) / 60000);
  };
  for (const alarmcases::Case& c : alarmcases::kCases) {
    std::string log = logformat::CsvHeader(), audit = logformat::AuditHeader();
    for (const alarmcases::Span& s : c.spans) {
      for (int minute = s.from; minute < s.to; ++minute) {
        const std::int64_t ms = roomday::kMidnight + minute * 60000LL;
        for (int ack : c.acks) {
          if (ack != minute) continue;
          alarms::Event e;
          e.slot = alarms::kTemp;
          e.cause = "door";
          e.action = "shut";
          const std::string detail = alarms::AckDetail(e);
          audit += logformat::AuditRow(logformat::FromUtcMs(ms, 60),
                                       {1, "R", "op", "alarm acknowledged", detail, ""});
        }
        const std::string temp = s.temp;
        if (temp == "off") continue;
        logformat::LogRow r;
        if (temp != "down") {
          r.fields[logformat::kHumidity] = r.fields[logformat::kHumiditySet] = "85.00";
          r.fields[logformat::kTemp] = temp;
          r.fields[logformat::kTempSet] = s.set;
          r.fields[logformat::kDefrostMin] = s.defrost;
        }
        log += logformat::CsvRow(logformat::FromUtcMs(ms, 60), r);
      }
    }
    Folder d;
    report::Builder b({}, Day(2026, 12, 9));
    b.AuditAlarms(report::ReadAuditAlarms(audit));
    logread::LogSet({d.Write("c.csv", log)}, {})
        .Read({[&b](const logread::Row& row) { b.Add(row); }, {}, {}});
    struct Seen {
      std::string raised, slot, cleared, acks;
      int repeated = 0;
    };
    const auto said = [](const std::vector<Seen>& all) {
      std::string out;
      for (const Seen& x : all) {
        out += (out.empty() ? "" : ", ") + x.raised + " raised " + x.slot + " x" +
               std::to_string(x.repeated) + " cleared " + x.cleared + " acknowledged" + x.acks;
      }
      return out;
    };
    std::vector<Seen> got, want;
    for (const report::AlarmEntry& a : b.Finish().alarms) {
      got.push_back({minute_of(a.raised), alarms::Name(a.slot),
                     a.cleared ? minute_of(*a.cleared) : "", "", a.repeated});
      for (const report::AlarmAck& k : a.acks) got.back().acks += " " + minute_of(k.when);
    }
    // The same from the rule's events: each raise opens an entry, a repeat reopens it.
    std::istringstream events(c.events);
    std::string minute, what, slot;
    while (events >> minute >> what >> slot) {
      if (slot.back() == ',') slot.pop_back();
      if (what == "raised") want.push_back({minute, slot, "", "", 0});
      if (what == "repeated") ++want.back().repeated, want.back().cleared = "";
      if (what == "cleared") want.back().cleared = minute;
      if (what == "acknowledged") want.back().acks += " " + minute;
    }
    EXPECT_EQ(said(got), said(want)) << c.name;
  }
}

// One period for both readers: dates and times without an offset are the log's own clock,
// a --to date is that whole day, and --to is the first moment after the period in either.
TEST(Period, ThePlotAndTheReportHoldTheSameMoments) {
  struct Case {
    std::vector<std::string> period;
    const char* moment;
    bool held;
  } cases[] = {
      {{"--from", "2026-03-10", "--to", "2026-03-11"}, "2026-03-10T00:00:00+01:00", true},
      {{"--from", "2026-03-10", "--to", "2026-03-11"}, "2026-03-09T23:59:59+01:00", false},
      {{"--from", "2026-03-10", "--to", "2026-03-11"}, "2026-03-11T23:59:59+01:00", true},
      {{"--from", "2026-03-10", "--to", "2026-03-11"}, "2026-03-12T00:00:00+01:00", false},
      {{"--day", "2026-03-10"}, "2026-03-10T00:00:00-05:00", true},
      {{"--day", "2026-03-10"}, "2026-03-11T00:00:00-05:00", false},
      {{"--from", "2026-03-10T06:00", "--to", "2026-03-10T18:00"},
       "2026-03-10T06:00:00+01:00",
       true},
      {{"--from", "2026-03-10T06:00", "--to", "2026-03-10T18:00"},
       "2026-03-10T05:59:59+01:00",
       false},
      {{"--from", "2026-03-10T06:00", "--to", "2026-03-10T18:00"},
       "2026-03-10T18:00:00+01:00",
       false},
      {{"--from", "2026-03-10T06:00Z", "--to", "2026-03-11"}, "2026-03-10T06:59:59+01:00", false},
      {{"--from", "2026-03-10T06:00Z", "--to", "2026-03-11"}, "2026-03-10T07:00:00+01:00", true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"a.csv", "-o", "out"};
    args.insert(args.end(), c.period.begin(), c.period.end());
    report::ReportOptions r;
    plot::PlotOptions p;
    ASSERT_EQ(report::ParseReportOptions(args, r).error, "") << c.period[1];
    ASSERT_EQ(plot::ParsePlotOptions(args, p).error, "") << c.period[1];
    record::Moment m;
    ASSERT_TRUE(logformat::ParseIsoTime(c.moment, m.ms, m.offset));
    EXPECT_EQ(r.period.Holds(m), c.held) << c.period[1] << " " << c.moment;
    EXPECT_EQ(p.period.Holds(m), c.held) << c.period[1] << " " << c.moment;
  }
}

}  // namespace
