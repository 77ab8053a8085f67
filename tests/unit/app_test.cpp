// The command line, and the value log's rows from the monitor's passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "MonitorFixture.h"
#include "SimOptions.h"
#include "app/Options.h"
#include "app/Program.h"
#include "app/Service.h"
#include "console/HeadlessConsole.h"
#include "monitor/Metrics.h"
#include "seal/Chain.h"

namespace {

using namespace fakes;

TEST(Options, EachOptionAndEachBadOne) {
  struct Case {
    std::vector<std::string> args;
    std::string error;  // empty: accepted
    std::optional<std::string> port;
    std::string log;
  } cases[] = {
      {{}, "", std::nullopt, ""},
      {{"--port", "3"}, "", "3", ""},
      {{"--port=128"}, "", "128", ""},
      {{"--port", "$1F"}, "", "$1F", ""},  // what the prompt takes
      {{"--log", "v.csv", "--port", "1"}, "", "1", "v.csv"},
      {{"-p"}, "unknown option -p", std::nullopt, ""},
      {{"3"}, "unexpected argument 3", std::nullopt, ""},
      {{"--port", "129"},
       "option --port: '129' is not a port number from 1 to 128",
       std::nullopt,
       ""},
      {{"--port", "3a"},
       "option --port: '3a' is not a port number from 1 to 128",
       std::nullopt,
       ""},
      {{"--log="}, "option --log needs a file name", std::nullopt, ""},
      {{"--version=2"}, "option --version takes no value", std::nullopt, ""},
      {{"--service", "r1", "--port", "2"}, "", "2", ""},
      {{"--service", "r1"},
       "option --service needs --port: no one is there to type it",
       std::nullopt,
       ""},
      {{"--install-service", "r1", "--port", "2", "--room", "R"},
       "option --install-service needs --port, --room and --metrics: the room it runs",
       std::nullopt,
       ""},
      {{"--remove-service", "*"}, "", std::nullopt, ""},
      {{"--remove-service", "a b"},
       "option --remove-service: 'a b' is not a service name of up to 40 letters, digits, - and _",
       std::nullopt,
       ""},
      {{"--service", "a", "--remove-service", "a", "--port", "1"},
       "--service, --install-service and --remove-service go one at a time",
       std::nullopt,
       ""},
      {{"--alarms", "--delay", "0.5", "--port", "1"}, "", "1", ""},
      {{"--delay", "20"},
       "the alarms' options, --notify and --ack-folder go with --alarms",
       std::nullopt,
       ""},
      {{"--notify", "m"},
       "the alarms' options, --notify and --ack-folder go with --alarms",
       std::nullopt,
       ""},
      {{"--acknowledge", "r1", "--port", "1"},
       "option --acknowledge goes alone, with --cause, --action and --ack-folder",
       std::nullopt,
       ""},
      {{"--cause", "c"}, "options --cause and --action go with --acknowledge", std::nullopt, ""},
  };
  for (const auto& c : cases) {
    app::Parsed p = app::ParseOptions(c.args);
    std::string words;
    for (const auto& a : c.args) words += a + " ";
    EXPECT_EQ(p.line.error, c.error) << words;
    if (c.error.empty()) {
      EXPECT_EQ(p.options.port, c.port) << words;
      EXPECT_EQ(p.options.log, c.log) << words;
    }
  }
}

// climon-sim's values, refused in the shared parser's words.
TEST(Options, ClimonSimsValues) {
  std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--variant=9", "--late-ms", "150"}, ""},
      {{"--variant", "5"}, "option --variant: '5' is not a device variant: 1, 2, 3 or 9"},
      {{"--loss"}, "option --loss needs a percentage from 0 to 100, such as 20 or 0.5"},
  };
  for (const auto& [args, error] : cases) {
    sim::SimOptions o;
    EXPECT_EQ(sim::ParseSimOptions(args, o).error, error) << args[0];
  }
}

// A room's name goes into the metrics as it is, so it must be UTF-8: where it stops being.
TEST(Options, RoomNamesMustBeUtf8) {
  struct Case {
    std::string name;
    std::size_t bad;  // npos: well-formed
  } cases[] = {
      {"K\xc3\xbchlraum", std::string::npos},                // Kühlraum
      {"\xe2\x82\xac \xf0\x9f\x8d\x8c", std::string::npos},  // euro sign, a 4-byte emoji
      {"K\xfchlraum", 1},                                    // Latin-1
      {"\xc0\xaf", 0},                                       // overlong '/'
      {"\xe0\x80\xaf", 0},                                   // overlong, three bytes
      {"\xed\xa0\x80", 0},                                   // a surrogate
      {"\xf4\x90\x80\x80", 0},                               // past U+10FFFF
      {"ab\xc3", 2},                                         // cut short at the end
      {"\xe2\x82", 0},                                       // cut short
      {"\x80", 0},                                           // a lone continuation byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(monitor::Utf8Error(c.name), c.bad) << c.name;
    EXPECT_EQ(app::ParseOptions({"--room", c.name}).line.error.empty(), c.bad == std::string::npos)
        << c.name;
  }
}

// The options reach the run; --version ends the program at once. (What is refused before
// the run is the end-to-end table's.)
TEST(Main, HandsTheOptionsToTheRun) {
  app::Start start;
  EXPECT_EQ(app::Main(app::ParseOptions({"--port", "2", "--room", "R"}), start), std::nullopt);
  EXPECT_EQ(start.options.port, "2");
  EXPECT_EQ(start.options.room, "R");
  EXPECT_EQ(app::Main(app::ParseOptions({"--version"}), start), 0);
}

TEST(ValueLog, RowsAsTheScreenShowsThem) {
  comLib3::WallTime t{2026, 3, 4, 5, 6, 7, -150, 42};
  logformat::LogRow v;
  v.port = 12;
  v.variant = 2;
  v.fields[logformat::kTemp] = "-0.03";
  v.fields[logformat::kCo2] = "1.600";
  v.fields[logformat::kVent] = "1";
  v.fields[logformat::kTotal] = "65535";
  EXPECT_EQ(logformat::CsvRow(t, v),
            "2026-03-04T05:06:07.042-02:30,12,2,-0.03,,,,1.600,,,,,,1,,,,65535,,,,\r\n");
}

struct LogFile {
  // Each test runs as its own process, side by side with the others: the name
  // must differ between tests and between builds running at once.
  std::string path =
      (std::filesystem::temp_directory_path() /
       ("climon-log-test-" +
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
        std::to_string(std::random_device{}()) + ".csv"))
          .string();
  ~LogFile() { std::remove(path.c_str()); }
  std::vector<std::string> Lines() const {
    std::ifstream f(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string l; std::getline(f, l);) out.push_back(l);
    return out;
  }
};

// Rows as climon writes them, a second apart from 08:00:00.
std::string PassRow(int second) {
  comLib3::WallTime t{2026, 12, 9, 8, second / 60, second % 60, 60, 0};
  logformat::LogRow v;
  v.port = 1;
  v.fields[logformat::kTemp] = std::to_string(second);
  return logformat::CsvRow(t, v);
}
const std::string kHeader = logformat::CsvHeader().substr(0, logformat::CsvHeader().size() - 2);
const std::string kSealedHeader = kHeader + ",seal";

// A header once, rows only appended; each run goes on with the chain where the file's end
// leaves it, says where it goes on from, and writes a link every two minutes; every run's rows
// check out. A file without a seal column is written as it is; one sealed with a key is
// not written without it.
TEST(ValueLog, AHeaderOnceThenAppendedAndTheChainTakenUpAtEachStart) {
  struct Case {
    const char* what;
    std::string before;  // the file's text at start
    std::string key;     // of both runs
    int seals;           // the links written
    const char* notice;  // the chain's, at the second start
  } cases[] = {
      {"a new file", "", "", 2, ""},
      {"with a key", "", "k3y", 2, ""},
      {"a log of before the seals", kHeader + "\r\n" + PassRow(0), "", 0,
       " has no seal column: its rows are not sealed until it is rotated"},
      {"no link at the end", kSealedHeader + "\r\n" + "x,y\r\n", "", 2,
       "a new seal chain begins: no link could be read at the end of "},
      {"sealed with a key, none given", kHeader + ",keyed_seal\r\n", "", 0,
       " is sealed with a key"},
  };
  for (const auto& c : cases) {
    LogFile file;
    if (!c.before.empty()) std::ofstream(file.path, std::ios::binary) << c.before;
    std::string notice;
    for (int run = 0; run < 2; ++run) {
      std::string error;
      auto log = monitor::ValueLog::Open(file.path, error, monitor::ValueLog::ValueLogKind(c.key));
      if (!log) {
        EXPECT_NE(error.find(c.notice), std::string::npos) << c.what << ": " << error;
        break;
      }
      std::string said = log->TakeChainNotice();
      if (run == 0) notice = said;
      for (int second = run * 90; second < run * 90 + 90; ++second) {
        EXPECT_TRUE(log->Append(PassRow(second))) << c.what;
      }
    }
    if (c.seals > 0 || c.before.starts_with(kSealedHeader)) {
      EXPECT_NE(notice.find(c.notice), std::string::npos) << c.what << ": " << notice;
    }
    auto lines = file.Lines();
    seal::Follow follow{seal::Hasher(c.key)};
    int seals = 0;
    follow.on_seal = [&seals](std::int64_t, int, const seal::Head&) { ++seals; };
    std::ifstream f(file.path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::size_t nl = text.find('\n');
    follow.File(file.path, c.key.empty() ? seal::Kind::kPlain : seal::Kind::kKeyed, true);
    seal::FollowText(follow, text.substr(nl + 1), 2, logformat::kColumnCount + 1);
    follow.End();
    EXPECT_EQ(seals, c.seals) << c.what;
    EXPECT_FALSE(follow.changed()) << c.what;
    if (c.seals > 0) {
      EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[0]), 1) << c.what;
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                              [](const std::string& l) { return l.find(",from:") != l.npos; }),
                2)
          << c.what;
    }
  }
}

// A row torn by a power cut stays alone on its line; a log rotated or deleted while
// climon runs goes on at its path, header first, and says so once.
TEST(ValueLog, ATornRowStaysApartAndARotatedLogGoesOnAtItsPath) {
  // The new file's first row goes on from the chain after row0.
  const std::string kRow1 = "row1," + seal::FromField(seal::Hasher().Next({}, "row0")) + "\r";
  struct Case {
    const char* what;
    std::string before;                                // the file's text at start
    std::function<int(const std::string&)> meanwhile;  // between the two rows; 0: done
    std::vector<std::string> lines;                    // the path's lines at the end
    bool notice;
  } cases[] = {
      {"a torn last row",
       "time\r\nrow-to",
       nullptr,
       {"time\r", "row-to\r", "row0\r", "row1\r"},
       false},
      {"renamed away",
       "",
       [](const std::string& p) { return std::rename(p.c_str(), (p + ".1").c_str()); },
       {kSealedHeader + "\r", kRow1},
       true},
      {"deleted",
       "",
       [](const std::string& p) { return std::remove(p.c_str()); },
       {kSealedHeader + "\r", kRow1},
       true},
  };
  for (const auto& c : cases) {
    LogFile file;
    if (!c.before.empty()) std::ofstream(file.path, std::ios::binary) << c.before;
    std::string error;
    auto log = monitor::ValueLog::Open(file.path, error);
    ASSERT_TRUE(log) << error;
    EXPECT_TRUE(log->Append("row0\r\n"));
    if (c.meanwhile) {
      ASSERT_EQ(c.meanwhile(file.path), 0) << c.what;
    }
    // Wine keeps a file deleted while open until it is closed, and does not say it is
    // pending (Windows does): nothing to go on from there.
    if (std::string(c.what) == "deleted" && std::ifstream(file.path).good()) continue;
    EXPECT_TRUE(log->Append("row1\r\n")) << c.what;
    EXPECT_EQ(file.Lines(), c.lines) << c.what;
    EXPECT_EQ(!log->TakeNotice().empty(), c.notice) << c.what;
    EXPECT_EQ(log->TakeNotice(), "") << c.what;  // once
    std::remove((file.path + ".1").c_str());
  }
}

// A full disk (the path names /dev/full, then a file again): the rows that could not be
// written are kept, each with its own time, and written in order once the file takes them;
// past the bound the newest are lost, and that is said once, after the kept rows.
TEST(ValueLog, RowsAreKeptThroughAFullDiskAndWrittenInOrder) {
  if (!std::filesystem::exists("/dev/full")) {
    std::puts("skipped: no /dev/full here; the end-to-end test fills a disk");
    GTEST_SKIP();
  }
  const std::string header = kSealedHeader + "\r";
  const std::string t0 = "t0,a," + seal::FromField({}) + "\r";
  struct Case {
    const char* what;
    std::size_t keep;
    std::vector<std::string> lines;  // at the path once space is back
    const char* lost;
  } cases[] = {
      {"within the bound", 8, {header, t0, "t1,a,\r", "t2,a,\r", "t3,a,\r"}, ""},
      {"past the bound",
       2,
       {header, t0, "t1,a,\r"},
       "Value log: 2 rows from t2 to t3 lost (more than 2 could not be written)"},
  };
  for (const auto& c : cases) {
    LogFile file;
    std::filesystem::create_symlink("/dev/full", file.path);
    monitor::ValueLog::Kind kind = monitor::ValueLog::ValueLogKind();
    kind.keep = c.keep;
    std::string error;
    auto log = monitor::ValueLog::Open(file.path, error, kind);
    ASSERT_TRUE(log) << error;
    for (int row = 0; row < 4; ++row) {
      EXPECT_FALSE(log->Append("t" + std::to_string(row) + ",a\r\n")) << c.what;
    }
    EXPECT_EQ(log->error(), "No space left on device") << c.what;
    EXPECT_EQ(log->TakeLost(), "") << c.what;  // not while rows are still kept
    std::filesystem::remove(file.path);        // space again
    EXPECT_TRUE(log->Flush()) << c.what;
    EXPECT_EQ(file.Lines(), c.lines) << c.what;
    EXPECT_EQ(log->TakeLost(), c.lost) << c.what;
    EXPECT_EQ(log->TakeLost(), "") << c.what;  // once
  }
}

TEST(Metrics, DecimalsShiftExactlyAndRoomNamesAreChecked) {
  struct Case {
    const char* number;
    int places;
    const char* want;
  } cases[] = {{"85.15", 2, "0.8515"},  {"1.600", 2, "0.01600"}, {"-0.03", 0, "-0.03"},
               {"-0.50", 2, "-0.0050"}, {"5", 2, "0.05"},        {"100.00", 2, "1.0000"}};
  for (const auto& c : cases) EXPECT_EQ(monitor::ShiftDecimal(c.number, c.places), c.want);
  EXPECT_FALSE(monitor::RoomNameProblem("Room 4 \"north\" \\ east").has_value());
  EXPECT_FALSE(monitor::RoomNameProblem(std::string(64, 'x')).has_value());
}

// One recorded pass (variant 1, the humidity unanswered) through every formatter: the
// screen's rows, the log's row and the metrics. Each shows what was read, and what was
// not read only where the controller program shows it: the screen.
TEST(Pass, ARecordedPassThroughEveryFormatter) {
  using namespace logformat;
  monitor::Pass p;
  p.port = 1;
  p.variant = 1;
  p.variant_known = true;
  const std::pair<long double, int> read[kValueCount] = {
      {12.48L, 2}, {12.5L, 2}, {0, 2},     {85, 2},    {1.6L, 3}, {1.5L, 3}, {-2.05L, 2},
      {0, 2},      {185, 0},   {12, 2},    {1, 0},     {1, 0},    {1, 0},    {0, 0},
      {143418, 0}, {95539, 0}, {40003, 0}, {20004, 0}, {5403, 0}};
  for (std::size_t c = 0; c < kValueCount; ++c)
    p.values[c] = monitor::ReadAs(read[c].first, read[c].second);
  p[kHumidity] = monitor::Outcome(false, 0, 2);

  const std::pair<int, const char*> rows[] = {
      {3, "Temp.         12.48 C  /   12.50 C"},   {4, "Humidity       0.00 %  /   85.00 %"},
      {5, "CO2           1.600 %  /   1.500 %"},   {6, "Evap.Temp.    -2.05 C  /    0.00 C"},
      {7, "Defrost in   >  3.1 hrs to 12.00 C"},   {14, "tTotal       143418 s  /    39.8 h"},
      {15, "t_Heater      95539 s  /    66.6 % "}, {16, "tt_Cooler     40003 s  /    27.9 % "},
      {17, "t_Cooler      20004 s  /    13.9 % "}, {18, "tt_Defrost     5403 s  /     3.8 % "}};
  for (const auto& [row, text] : rows) EXPECT_EQ(monitor::RowText(row, p), text) << row;

  EXPECT_EQ(CsvRow(LocalTime{2026, 12, 9, 15, 2, 30, 60, 412}, monitor::LogFields(p)),
            "2026-12-09T15:02:30.412+01:00,1,1,12.48,12.50,,85.00,1.600,1.500,-2.05,0.00,185,"
            "12.00,1,1,1,0,143418,95539,40003,20004,5403\r\n");

  std::string error;
  auto metrics = monitor::MetricsFile::Open(
      (std::filesystem::temp_directory_path() / "climon-pass-test.prom").string(), "1.0.0", error);
  ASSERT_TRUE(metrics) << error;
  comLib3::WallTime now{2026, 12, 9, 15, 2, 30, 60, 412};
  std::string m = metrics->Exposition({p, now, now, true, 512, "R"});
  for (const char* line :
       {"climon_temperature_celsius{room=\"R\"} 12.48\n",
        "climon_humidity_setpoint_ratio{room=\"R\"} 0.8500\n",
        "climon_co2_ratio{room=\"R\"} 0.01600\n", "climon_defrost_next_seconds{room=\"R\"} 11100\n",
        "climon_relay_on{room=\"R\",relay=\"temp_mode\"} 0\n",
        "climon_operating_seconds_total{room=\"R\",counter=\"cooler_2\"} 40003\n",
        "climon_operating_seconds_total{room=\"R\",counter=\"defrost\"} 5403\n",
        "climon_info{room=\"R\",port=\"1\",variant=\"1\",model=\"512\",version=\"1.0.0\"} 1\n"}) {
    EXPECT_NE(m.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(m.find("climon_humidity_ratio{"), std::string::npos);  // not read: not there

  // The textfile collectors' rules (windows_exporter's the strictest): UTF-8 without a
  // byte order mark, LF line ends, a final newline; the same HELP and TYPE lines in every
  // room's file. This test runs on both builds, so the same digest of the same pass's
  // bytes means they write the same bytes; the file on disk holds them as they are.
  std::uint64_t digest = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : m) digest = (digest ^ c) * 1099511628211ull;
  EXPECT_EQ(digest, 12920646149262410320ull) << m;
  EXPECT_FALSE(m.starts_with("\xEF\xBB\xBF"));
  EXPECT_EQ(m.find('\r'), std::string::npos);
  EXPECT_TRUE(m.ends_with("\n"));
  monitor::Pass other = p;
  other.variant = 2;
  auto comments = [](std::string text) {
    text = "\n" + text;
    std::string out;
    for (std::size_t at = 0; (at = text.find("\n# ", at)) != std::string::npos; ++at) {
      out += text.substr(at, text.find('\n', at + 1) - at);
    }
    return out;
  };
  EXPECT_EQ(comments(metrics->Exposition({other, now, now, false, 0, "Room 2"})), comments(m));
  ASSERT_TRUE(metrics->Write({p, now, now, true, 512, "R"})) << metrics->error();
  std::ifstream written((std::filesystem::temp_directory_path() / "climon-pass-test.prom"),
                        std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(written)), {}), m);
}

// A service's stop request is the ESC key, and no flush of the typed keys loses it.
TEST(HeadlessConsole, AStopIsNotLostInAFlushAndEndsTheMonitorAsEscDoes) {
  struct Stopped : console::HeadlessConsole {
    bool StopRequested() override { return true; }
    void Restore() override {}
  } con;
  VirtualClock clock;
  FakePorts ports{clock, [](const std::string&) { return std::string("00001\r\n"); }};
  comLib3::ComLib3 com(con, clock, ports);  // its flush comes to an end
  PLC_Lib3::OpenPlcPort(com, 1);            // and so does this one
  EXPECT_FALSE(com.EscFlag);
  EXPECT_EQ(com.PollKeys(), 27);
  EXPECT_TRUE(com.EscFlag);
}

struct LoggedPassTest : MonitorFixture {
  LogFile file;
  std::unique_ptr<monitor::ValueLog> log;
  std::unique_ptr<monitor::Monitor> logged;
  void SetUp() override {
    std::string error;
    log = monitor::ValueLog::Open(file.path, error);
    ASSERT_TRUE(log) << error;
    monitor::Outputs out;
    out.log = log.get();
    logged = std::make_unique<monitor::Monitor>(com, out);
  }
};

// The metrics follow a lost link at once, not at the end of a pass that may take seconds
// on a silent line: when the journal says so, the file says so too.
TEST_F(MonitorFixture, TheMetricsFileSaysTheLinkIsDownWhenTheJournalDoes) {
  LogFile prom;
  std::string error;
  auto metrics = monitor::MetricsFile::Open(prom.path, "1.0.0", error);
  ASSERT_TRUE(metrics) << error;
  std::vector<std::string> seen;  // the file's link line at each journal line
  monitor::Outputs out;
  out.metrics = metrics.get();
  out.room = "R";
  out.journal = [&](const std::string& said, monitor::Severity) {
    std::ifstream f(prom.path);
    std::string text((std::istreambuf_iterator<char>(f)), {});
    std::size_t at = text.find("climon_link_up{room=\"R\"}");
    seen.push_back(said + " | " + (at == std::string::npos ? "" : text.substr(at + 25, 1)));
  };
  monitor::Monitor watched(com, out);
  Detect(watched, 1);
  watched.MonitorPreparation();
  watched.MonitorPass();
  silent = true;
  watched.MonitorPass();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].substr(0, 35), "No reply from the controller since ");
  EXPECT_EQ(seen[0].back(), '0');
  silent = false;
  watched.MonitorPass();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], "the controller replies again | 1");
}

// A failed read shows on the screen what the controller program shows for it (its rules
// for 0), and nowhere else: its log fields are empty, and so are those of a value worked
// out from it (the defrost temperature that 0 minutes would pick, a counter of which one
// word came).
TEST_F(LoggedPassTest, AFailedReadShowsItsZeroOnTheScreenAndNothingInTheLog) {
  struct Case {
    const char* silent;
    int row;
    const char* screen;
    std::vector<const char*> empty;  // log columns
    const char* kept;                // a column still read
  } cases[] = {
      {"RD DM87", 7, "Next Def. in      0 min to 15.50 C", {"defrost_min", "defrost_c"}, "evap_c"},
      {"RD DM995", 6, "Evap.Temp.   -50.00 C  /    0.00 C", {"evap_c"}, "defrost_min"},
      {"RD DM120", 16, "tt_Cooler     40000 s  /    27.9 %", {"counter119_s"}, "cooler_s"},
      {"RD T106", 19, "t106          65535   t107   250", {}, "total_s"},
  };
  for (const auto& c : cases) {
    overrides.clear();
    overrides[c.silent] = {""};
    std::string error;
    log.reset();  // closed first: Windows removes no open file
    std::remove(file.path.c_str());
    log = monitor::ValueLog::Open(file.path, error);
    monitor::Outputs out;
    out.log = log.get();
    monitor::Monitor fresh(com, out);
    Detect(fresh, 1);
    fresh.MonitorPreparation();
    fresh.MonitorPass();
    EXPECT_EQ(Row(c.row), c.screen) << c.silent;
    auto lines = file.Lines();
    ASSERT_EQ(lines.size(), 2u) << c.silent;
    std::vector<std::string> f = logformat::SplitRow(lines[1].substr(0, lines[1].size() - 1));
    for (const char* column : c.empty) {
      EXPECT_EQ(f[logformat::ColumnIndex(column)], "") << c.silent << " " << column;
    }
    EXPECT_NE(f[logformat::ColumnIndex(c.kept)], "") << c.silent;
  }
}

// With a record kept, a set point changed at the controller reaches the screen and the
// log within a minute; the plain program reads the set points once.
TEST_F(LoggedPassTest, TheSetPointInForceWithARecordOnlyThePlainProgramReadsItOnce) {
  for (bool with_log : {true, false}) {
    monitor::Monitor& mon = with_log ? *logged : m;
    Detect(mon, 1);
    mon.MonitorPreparation();
    Set("DM890=140");
    const Ms start = clock.NowMs();
    line->Forget();
    while (clock.NowMs() - start < 65s) mon.MonitorPass();
    EXPECT_EQ(Row(3), with_log ? "Temp.         12.50 C  /   14.00 C"
                               : "Temp.         12.50 C  /   12.50 C");
    EXPECT_EQ(CountOf("RD DM890"), with_log ? 1 : 0);
    Set("DM890=125");
  }
  auto lines = file.Lines();
  std::vector<std::string> f = logformat::SplitRow(lines.back().substr(0, lines.back().size() - 1));
  EXPECT_EQ(f[logformat::ColumnIndex("temp_set_c")], "14.00");
}

TEST_F(LoggedPassTest, AFailedReadIsAnEmptyFieldAndCountersComeWithTheirRefresh) {
  Detect(*logged, 1);
  logged->MonitorPreparation();
  overrides["RD DM993"] = {""};  // the humidity word is never answered
  logged->MonitorPass();         // refreshes the counters
  logged->MonitorPass();
  auto lines = file.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1],
            "2026-12-09T08:00:03.240+01:00,1,1,12.50,12.50,,85.00,1.600,1.500,-2.00,0.00,185,12.00,"
            "1,1,1,0,143415,95535,40000,20000,5400," +
                seal::FromField({}) + "\r");
  // The first row after the run's start carries a link.
  EXPECT_EQ(lines[2].substr(30, lines[2].find(",2:") - 30),
            "1,1,12.50,12.50,,85.00,1.600,1.500,-2.00,0.00,185,12.00,1,1,1,0,,,,,");
}

}  // namespace

// The service's life as the manager is told it: running at once after the start, a stop
// (or shutdown, preshutdown) asks the monitor to end and is progress while it does, and
// the exit status becomes a service-specific code that the manager's recovery acts on.
TEST(ServiceStates, TheReportsOfEachStep) {
  using S = app::ServiceStatus;
  struct Step {
    char what;  // s: starting, r: running, c: a control, x: stopped
    std::uint32_t arg;
    S::State state;
    std::uint32_t controls, win32_exit, specific_exit, checkpoint;
    bool stop;
  };
  const std::uint32_t all = app::kAcceptStop | app::kAcceptShutdown | app::kAcceptPreshutdown;
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"stopped by the manager",
       {{'s', 0, S::kStartPending, 0, 0, 0, 1, false},
        {'r', 0, S::kRunning, all, 0, 0, 0, false},
        {'c', app::kControlInterrogate, S::kRunning, all, 0, 0, 0, false},
        {'c', app::kControlStop, S::kStopPending, 0, 0, 0, 1, true},
        {'c', app::kControlStop, S::kStopPending, 0, 0, 0, 2, true},
        {'x', 0, S::kStopped, 0, 0, 0, 0, false}}},
      {"preshutdown before the monitor ran",
       {{'s', 0, S::kStartPending, 0, 0, 0, 1, false},
        {'c', app::kControlPreshutdown, S::kStopPending, 0, 0, 0, 1, true},
        {'r', 0, S::kStopPending, 0, 0, 0, 1, false},
        {'x', 0, S::kStopped, 0, 0, 0, 0, false}}},
      {"a port that cannot be opened",
       {{'s', 0, S::kStartPending, 0, 0, 0, 1, false},
        {'r', 0, S::kRunning, all, 0, 0, 0, false},
        {'c', app::kControlShutdown, S::kStopPending, 0, 0, 0, 1, true},
        {'x', 1, S::kStopped, 0, app::kServiceSpecificError, 1, 0, false},
        {'c', app::kControlStop, S::kStopped, 0, app::kServiceSpecificError, 1, 0, false}}},
  };
  for (const auto& c : cases) {
    app::ServiceStates states;
    for (const Step& st : c.steps) {
      bool stop = false;
      S s = st.what == 's'   ? states.Starting()
            : st.what == 'r' ? states.Running()
            : st.what == 'c' ? states.Control(st.arg, stop)
                             : states.Stopped(static_cast<int>(st.arg));
      std::string at = std::string(c.what) + ", step " + st.what;
      EXPECT_EQ(s.state, st.state) << at;
      EXPECT_EQ(s.controls, st.controls) << at;
      EXPECT_EQ(s.win32_exit, st.win32_exit) << at;
      EXPECT_EQ(s.specific_exit, st.specific_exit) << at;
      EXPECT_EQ(s.checkpoint, st.checkpoint) << at;
      EXPECT_EQ(stop, st.stop) << at;
    }
  }
}
