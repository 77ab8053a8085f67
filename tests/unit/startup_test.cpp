#include <fstream>
#include <sstream>

#include "MonitorFixture.h"
#include "TempFiles.h"

namespace {

using namespace fakes;

struct StartupTest : MonitorFixture {};

TEST_F(StartupTest, DetectDeviceVariantByTheTable) {
  struct Case {
    std::vector<std::string> replies;  // to the detection reads, in order
    int variant;
    std::vector<std::string> reads;
    const char* label119;
  } cases[] = {
      {{"1\r\n", "0\r\n"}, 1, {"RD 3000", "RD 3003"}, "t_Cooler   "},
      {{"1\r\n", "1\r\n"}, 9, {"RD 3000", "RD 3003"}, "t_Cooler   "},
      {{"1\r\n", ""}, 9, {"RD 3000", "RD 3003"}, "t_Cooler   "},
      {{"0\r\n", "1\r\n"}, 2, {"RD 3000", "RD 3001"}, "_HeatEff.  "},
      {{"0\r\n", "0\r\n"}, 3, {"RD 3000", "RD 3001"}, "_HeatEff.  "},
      {{"1 \r\n", "1\r\n"}, 2, {"RD 3000", "RD 3001"}, "_HeatEff.  "},  // "1 " is not "1"
      {{"E1\r\n"}, 3, {"RD 3000", "RD 3001"}, "_HeatEff.  "},
  };
  for (const auto& c : cases) {
    Open();
    auto replies = std::make_shared<std::vector<std::string>>(c.replies);
    overrides.clear();
    overrides["RD 3000"] = {c.replies[0]};
    if (c.replies.size() > 1)
      overrides["RD 3003"] = overrides["RD 3001"] = {c.replies[1]};
    else
      overrides["RD 3001"] = {""};
    m.DetectDeviceVariant(1);
    m.SelectCounterLabels();
    EXPECT_EQ(m.DeviceVariant, c.variant);
    std::vector<std::string> reads;
    for (const auto& cmd : Commands()) {
      if (reads.empty() || reads.back() != cmd) reads.push_back(cmd);  // retries fold
    }
    EXPECT_EQ(reads, c.reads);
    // The labels as the counter rows show them.
    m.RefreshCounters();
    EXPECT_EQ(Row(15).substr(0, 12), "t_Heater    ");
    EXPECT_EQ(Row(16).substr(0, 12), std::string("t") + c.label119);
    EXPECT_EQ(Row(17).substr(0, 12), "t_Cooler    ");
    EXPECT_EQ(Row(18).substr(0, 12),
              c.variant == 1 || c.variant == 9 ? "tt_Defrost  " : "t_CoolEff.  ");
  }
}

TEST_F(StartupTest, ProbeControllerModel) {
  struct Case {
    std::vector<std::string> replies;
    std::uint16_t first;
  } cases[] = {{{"E0\r\n"}, 604},
               {{"0\r\n"}, 512},
               {{"1\r\n"}, 512},
               {{""}, 512},
               {{"", "", "E1\r\n", "E1\r\n"}, 604},
               // The last attempt's reply lost: the error replies before it still count.
               {{"E1\r\n", "E1\r\n", "E1\r\n", ""}, 604}};
  for (const auto& c : cases) {
    Open();
    overrides["RD 7000"] = c.replies;
    m.ProbeControllerModel(1);
    EXPECT_EQ(m.VentRelay, c.first);
    EXPECT_EQ(m.TempCtlRelay, c.first + 1);
    EXPECT_EQ(m.FloorHtrRelay, c.first + 2);
    EXPECT_EQ(m.TempModeRelay, c.first + 3);
    EXPECT_EQ(Commands().front(), "RD 7000");
  }
}

// A start-up read that got no reply (a controller that came up after the PC) is made again
// on later passes until it is answered; until then row 23 says what is not read yet, and
// the screen shows what the controller program shows for a failed read.
TEST_F(StartupTest, StartupReadsWithoutAReplyAreReadAgainUntilAnswered) {
  const std::vector<std::string> twice(8, "");  // two transactions of four attempts
  struct Case {
    std::vector<std::string> silent;  // commands not answered twice
    const char* row23;                // after the first pass
  } cases[] = {
      {{"RD DM890"}, "Not read yet: set points"},
      {{"RD 3000"}, "Not read yet: device variant"},
      {{"RD 7000"}, "Not read yet: controller model"},
      {{"RD T106"}, "Not read yet: timers"},
      {{"RD DM890", "RD 3000", "RD 7000", "RD T107"},
       "Not read yet: set points, device variant, controller model, timers"},
  };
  for (const auto& c : cases) {
    overrides.clear();
    for (const auto& cmd : c.silent) overrides[cmd] = twice;
    for (auto& [cmd, replies] : overrides) replies.push_back(plc.Handle(cmd) + "\r\n");
    monitor::Monitor fresh(com);
    Detect(fresh, 1);
    fresh.MonitorPreparation();
    fresh.MonitorPass();
    EXPECT_EQ(Row(23), c.row23);
    if (overrides.count("RD DM890")) {
      EXPECT_EQ(Row(3), "Temp.         12.50 C  /    0.00 C");
    }
    if (overrides.count("RD 3000")) {
      EXPECT_EQ(Row(6), "");  // as variant 3, for now
    }
    // Read again at most every 5 s: within a few passes.
    for (int pass = 0; pass < 8 && !Row(23).empty(); ++pass) fresh.MonitorPass();
    fresh.MonitorPass();
    EXPECT_EQ(Row(23), "") << c.row23;
    EXPECT_EQ(Row(3), "Temp.         12.50 C  /   12.50 C") << c.row23;
    EXPECT_EQ(Row(6), "Evap.Temp.    -2.00 C  /    0.00 C") << c.row23;
    EXPECT_EQ(Row(16), "tt_Cooler     40000 s  /    27.9 %") << c.row23;
    EXPECT_EQ(fresh.VentRelay, 512) << c.row23;
    EXPECT_NE(Row(19).find("t106   "), std::string::npos) << c.row23;
    EXPECT_EQ(Row(19).find("65535"), std::string::npos) << c.row23;
  }
}

TEST_F(StartupTest, RunAsksForThePortAndShutsDownWithoutCQAfterEsc) {
  con.Type(" 1 \r");
  con.TypeCode(27, 2000ms);  // during the monitor
  EXPECT_EQ(m.Run(), 0);
  EXPECT_EQ(m.ComPort, 1);
  std::vector<std::string> cmds = ports.last->Commands();
  ASSERT_GE(cmds.size(), 3u);
  EXPECT_EQ(cmds[0], "CR");
  EXPECT_EQ(cmds[1], "RD 3000");
  EXPECT_EQ(cmds[2], "RD 3003");
  for (const auto& c : cmds) EXPECT_NE(c, "CQ");
  EXPECT_EQ(com.PortHandles[0].state, comLib3::PortSlot::State::kInvalid);  // closed
  EXPECT_EQ(con.screen().Attr(), 0x07);                                     // normal colours again
}

// A run's audit trail begins with its start, stamped when the run began: the link lost
// during a silent start-up and a terminal line typed then come after it, each with its own
// time, and the end says what ended the run (a fatal error too, after a start it had not
// reached).
TEST_F(StartupTest, TheTrailBeginsWithTheStartAndEndsWithWhatEndedTheRun) {
  struct Case {
    const char* what;
    bool silent_at_start;  // the set points read at start get no reply: over 2 s
    bool ends_with_esc;    // else a key is waited for that never comes
    const char* events;
    const char* end;
  } cases[] = {
      // After the start: the new trail's seal chain begins.
      {"a healthy run", false, true, "start;seal;end;", "ESC"},
      {"a silent start-up", true, true, "start;seal;link lost;link back;end;", "ESC"},
      {"a fatal error in the start-up", true, false, "start;seal;link lost;link back;end;",
       "fatal error: ReadKey: no more scripted keys"},
  };
  Folder d;
  for (const auto& c : cases) {
    const std::string path = d.dir + "/" + c.what + ".csv";
    std::string error;
    auto audit = monitor::ValueLog::Open(path, error, monitor::ValueLog::AuditKind());
    ASSERT_TRUE(audit) << error;
    std::vector<std::string> journal;
    monitor::Outputs out;
    out.audit = audit.get();
    out.journal = [&](const std::string& said, monitor::Severity) { journal.push_back(said); };
    monitor::Monitor run(com, out);
    if (c.silent_at_start) {
      for (const char* dm : {"RD DM890", "RD DM893", "RD DM894", "RD DM39", "RD DM895"}) {
        overrides[dm] = {"", "", "", "", plc.Handle(dm) + "\r\n"};
      }
    }
    con.Type("1\r");
    if (c.ends_with_esc) {
      con.TypeCode(27, clock.NowMs() + 20000ms);
      EXPECT_EQ(run.Run(), 0) << c.what;
    } else {
      con.Type("r", clock.NowMs() + 4000ms);  // and no answer: the console fails
      EXPECT_THROW(run.Run(), std::runtime_error) << c.what;
    }
    audit.reset();
    std::ifstream f(path, std::ios::binary);
    std::stringstream text;
    text << f.rdbuf();
    std::vector<logformat::AuditFields> rows;
    ASSERT_TRUE(logformat::ReadAuditRows(text.str(), rows)) << text.str();
    std::string events, last_time, end;
    for (const auto& row : rows) {
      events += row[logformat::kAuditEvent] + ";";
      EXPECT_LE(last_time, row[logformat::kAuditTime]) << c.what;  // in time order
      last_time = row[logformat::kAuditTime];
      end = row[logformat::kAuditDetail];
    }
    EXPECT_EQ(events, c.events) << c.what;
    EXPECT_EQ(end, c.end) << c.what;
    EXPECT_EQ(journal.empty() ? "" : journal.front().substr(0, 8),
              c.ends_with_esc ? "started:" : "No reply")
        << c.what;
    overrides.clear();
  }
}

}  // namespace
