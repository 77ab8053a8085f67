#include "MonitorFixture.h"
#include "ZUL_Lib3/ZUL_Lib3.h"

namespace {

using namespace fakes;

struct GuardedReadTest : MonitorFixture {
  void SetUp() override {
    Open();
    m.VentRelay = 512;
    m.TempCtlRelay = 513;
    m.FloorHtrRelay = 514;
    m.TempModeRelay = 515;
    m.VentPhase = m.FloorHtrPhase = 1;
  }
};

TEST_F(GuardedReadTest, StopOrResetRequestGivesZeroWithoutAnything) {
  for (int which = 0; which < 2; ++which) {
    m.StopFlag = which == 0;
    m.ResetRequest = which == 1;
    con.Type("k");
    EXPECT_EQ(m.ReadDmValue(1, 992, 'i'), 0);
    EXPECT_TRUE(line->events.empty());
    EXPECT_EQ(Row(9), "");             // no indicator output
    EXPECT_EQ(con.PendingKeys(), 1u);  // no key poll
    EXPECT_EQ(m.ReadCount, 0);
    con.Type("");
    com.FlushKeys();
  }
}

TEST_F(GuardedReadTest, KindAndConversion) {
  struct Case {
    const char* reply;
    char kind;
    std::int32_t want;
  } cases[] = {
      {"32768\r\n", 'i', 32768}, {"32769\r\n", 'i', -32767},
      {"65535\r\n", 'i', -1},    {"00123\r\n", 'i', 123},
      {"65535\r\n", 'w', 65535}, {"65535\r\n", 'I', 65535},
      {"\r\n", 'i', 0},          {"E1\r\n", 'i', 0},
      {"12a\r\n", 'w', 0},  // not a word: a failed read
      {"-5\r\n", 'i', 0},
  };
  for (const auto& c : cases) {
    overrides["RD DM7"] = {c.reply};
    EXPECT_EQ(m.ReadDmValue(1, 7, c.kind), c.want) << c.reply << " " << c.kind;
  }
}

TEST_F(GuardedReadTest, TheLinkRowShowsOnceNoReadHasBeenAnsweredForTwoSeconds) {
  struct Step {
    const char* reply;  // to every attempt; reads a second apart
    const char* row22;
  };
  const char* kLost = "No reply from the controller since 08:00:06";
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"every word failing",
       {{"00001\r\n", ""},  // a healthy link shows nothing
        {"", ""},
        {"", ""},
        {"", kLost},          // two seconds since the first failure
        {"E1\r\n", kLost},    // an error reply is no usable reply
        {"1\r\n", kLost},     // nor a reply of another command's shape
        {"00002\r\n", ""}}},  // gone with the first usable reply
      {"one failing word among answered ones",
       {{"", ""}, {"00001\r\n", ""}, {"", ""}, {"00001\r\n", ""}, {"", ""}, {"00001\r\n", ""}}},
  };
  for (const auto& c : cases) {
    SetUp();
    clock.Advance(5s);
    con.GotoXY(9, 4);
    for (const auto& st : c.steps) {
      overrides["RD DM7"] = {st.reply};
      m.ReadDmValue(1, 7, 'w');
      EXPECT_EQ(Row(22), st.row22) << c.what << ": " << st.reply;
      EXPECT_EQ(con.WhereX(), 9);  // the cursor is back where the row was being written
      EXPECT_EQ(con.WhereY(), 4);
      clock.Advance(1s);
    }
  }
}

TEST_F(GuardedReadTest, SlowIndicatorsOnEvery52ndRead) {
  Set("DM5=1");
  for (int i = 1; i <= 51; ++i) m.ReadDmValue(1, 5, 'w');
  EXPECT_EQ(m.ReadCount, 51);
  EXPECT_EQ(Row(10), "");
  EXPECT_EQ(Row(9), "Vent.         (512) -");  // drawn from the stored (empty) reply
  Ms before = clock.NowMs();
  m.ReadDmValue(1, 5, 'w');
  EXPECT_EQ(m.ReadCount, 0);
  EXPECT_EQ(Row(10), "Temp.Ctl      (513) -");
  EXPECT_EQ(Row(11), "FloorHtr      (514) -");
  EXPECT_EQ(Row(12), "TempMode      (515) H");
  EXPECT_EQ(clock.NowMs() - before, 55ms + 100ms);          // the read and the mode's wait
  for (const auto& c : Commands()) EXPECT_EQ(c, "RD DM5");  // redraws never read relays
}

TEST_F(GuardedReadTest, ResetPrompt) {
  struct Case {
    std::vector<std::uint8_t> answer;
    bool reset;
  } cases[] = {{{'Y'}, true}, {{'y'}, true},    {{'N'}, false},
               {{27}, false}, {{0, 59}, false}, {{'x'}, false}};
  for (const auto& c : cases) {
    m.ResetRequest = false;
    m.StopFlag = false;
    con.keep_snapshots = true;
    con.snapshots.clear();
    con.GotoXY(7, 3);
    Ms t = clock.NowMs();
    con.Type("r", t);
    con.Type("y", t);  // typed together with r: drained by the first flush
    for (auto k : c.answer) con.TypeCode(k, t + 500ms);
    m.ReadDmValue(1, 992, 'i');
    EXPECT_EQ(m.ResetRequest, c.reset) << int(c.answer[0]);
    EXPECT_FALSE(m.StopFlag);
    EXPECT_FALSE(com.EscFlag);
    ASSERT_GE(con.snapshots.size(), 3u);  // r, the drained y, then the answer
    EXPECT_EQ(con.snapshots[2].RowText(20).substr(0, 19), "Reset Timers [Y/N] ");
    EXPECT_EQ(Row(20), "");  // blanked with 24 blanks
    EXPECT_EQ(con.WhereX(), 7);
    EXPECT_EQ(con.WhereY(), 3);
    EXPECT_EQ(con.PendingKeys(), 0u);
  }
}

TEST_F(GuardedReadTest, KOpensTheTerminalAndEscThereDoesNotStop) {
  Set("DM992=500");
  Ms t = clock.NowMs();
  con.Type("k", t);
  con.Type("RD DM992\r", t + 300ms);
  con.TypeCode(27, t + 600ms);
  EXPECT_EQ(m.ReadDmValue(1, 992, 'i'), 500);
  EXPECT_FALSE(m.StopFlag);
  EXPECT_FALSE(com.EscFlag);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"RD DM992", "RD DM992"}));
  EXPECT_EQ(con.WhereX(), 1);  // the cleared screen, cursor at the top left
  EXPECT_EQ(con.WhereY(), 1);
  EXPECT_EQ(con.CellAt(40, 12), (console::Cell{' ', 0x71}));
}

TEST_F(GuardedReadTest, EscStopsAndKeepsTheKeyLine) {
  com.KeyLine = "";
  con.TypeCode(27);
  m.ReadDmValue(1, 992, 'i');
  EXPECT_TRUE(m.StopFlag);
  EXPECT_TRUE(com.EscFlag);
  EXPECT_EQ(m.ReadDmValue(1, 992, 'i'), 0);
  EXPECT_EQ(line->Count(LineEvent::kWrite), 1);
}

TEST_F(GuardedReadTest, OnlyTheFirstOfTwoKeysCounts) {
  struct Case {
    std::vector<std::uint8_t> keys;
    bool stopped;
  } cases[] = {{{'x', 'k'}, false}, {{'x', 27}, false}, {{'x', 'r'}, false}, {{27, 'k'}, true}};
  for (const auto& c : cases) {
    m.StopFlag = false;
    com.FlushKeys();
    for (auto k : c.keys) con.TypeCode(k, clock.NowMs());
    m.ReadDmValue(1, 992, 'i');
    EXPECT_EQ(m.StopFlag, c.stopped);
    EXPECT_EQ(Row(20), "");  // no reset prompt, no terminal
    EXPECT_NE(con.CellAt(1, 9).ch, ' ');
  }
}

TEST_F(GuardedReadTest, WhileAResetIsPendingKeysWait) {
  m.ResetRequest = true;
  con.TypeCode(27);
  m.ReadDmValue(1, 992, 'i');
  EXPECT_FALSE(m.StopFlag);
  EXPECT_EQ(con.PendingKeys(), 1u);
  m.ResetRequest = false;
  m.ReadDmValue(1, 992, 'i');  // the first read after the reset sees it
  EXPECT_TRUE(m.StopFlag);
}

TEST_F(GuardedReadTest, StableReadComparesInPairs) {
  overrides["RD DM117"] = {"00005\r\n", "00007\r\n", "00007\r\n", "00007\r\n"};
  EXPECT_EQ(m.ReadDmStable(1, 117, 'w'), 7);
  EXPECT_EQ(CountOf("RD DM117"), 4);
  overrides["RD DM118"] = {"00003\r\n"};
  EXPECT_EQ(m.ReadDmStable(1, 118, 'w'), 3);
  EXPECT_EQ(CountOf("RD DM118"), 2);
  m.StopFlag = true;
  EXPECT_EQ(m.ReadDmStable(1, 118, 'w'), 0);
}

TEST_F(GuardedReadTest, TimerValue) {
  struct Case {
    std::string reply;
    std::uint16_t want;
  } cases[] = {{"1,00042,00100\r\n", 42},
               {"\r\n", 65535},
               {"E0\r\n", 65535},
               {"0,0004x,00100\r\n", 65535},
               {"0,70000,00100\r\n", 4464}};
  for (const auto& c : cases) {
    overrides["RD T106"] = {c.reply};
    EXPECT_EQ(m.ReadTimerValue(1, 106), c.want) << c.reply;
  }
  // No guard: it talks to the controller while a reset is pending, and after ESC it
  // gets nothing.
  m.ResetRequest = true;
  overrides["RD T106"] = {"1,00042,00100\r\n"};
  EXPECT_EQ(m.ReadTimerValue(1, 106), 42);
  com.EscFlag = true;
  EXPECT_EQ(m.ReadTimerValue(1, 106), 65535);
}

struct IndicatorTest : GuardedReadTest {
  std::vector<int> Cells(int n, void (monitor::Monitor::*draw)(bool), int row) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) {
      (m.*draw)(i == 0);
      out.push_back(con.CellAt(21, row).ch);
    }
    return out;
  }
};

// What the operator sees of each indicator with its relay on, from the state the
// monitor's preparation leaves (not from phases set by hand): one fresh reading, then the
// redraws of the guarded reads. Temp.Ctl's first redraw after the preparation writes
// nothing.
TEST_F(IndicatorTest, AnimationsFromThePreparedMonitor) {
  Set("R512=1");
  Set("R513=1");
  Set("R514=1");
  m.MonitorPreparation();
  con.ClrScr();
  EXPECT_EQ(Cells(6, &monitor::Monitor::VentIndicator, 9),
            (std::vector<int>{'\\', '|', '/', '-', '\\', '|'}));
  EXPECT_EQ(Cells(12, &monitor::Monitor::TempCtlIndicator, 10),
            (std::vector<int>{' ', ' ', 176, 177, 178, 219, 178, 177, 176, ' ', ' ', 176}));
  EXPECT_EQ(Cells(8, &monitor::Monitor::FloorHtrIndicator, 11),
            (std::vector<int>{' ', '.', 30, 219, 30, '.', ' ', '.'}));
}

TEST_F(IndicatorTest, AnOffReadingResetsThePhase) {
  for (const char* off : {"0\r\n", "\r\n", "E1\r\n"}) {
    overrides["RD 512"] = {"1\r\n"};
    m.VentIndicator(true);
    m.VentIndicator(false);
    EXPECT_EQ(m.VentPhase, 3);
    overrides["RD 512"] = {off};
    m.VentIndicator(true);
    EXPECT_EQ(con.CellAt(21, 9).ch, '-');
    EXPECT_EQ(m.VentPhase, 1);
  }
  overrides["RD 512"] = {"1\r\n"};
  m.VentIndicator(true);
  EXPECT_EQ(con.CellAt(21, 9).ch, '\\');
}

TEST_F(IndicatorTest, TempCtlStartsAtPhaseZero) {
  m.TempCtlPhase = 0;
  con.GotoXY(21, 10);
  con.Write("#");
  Set("R513=1");
  m.TempCtlIndicator(true);
  EXPECT_EQ(con.CellAt(21, 10).ch, '#');  // the first on-redraw writes nothing
  m.TempCtlIndicator(false);
  EXPECT_EQ(con.CellAt(21, 10).ch, ' ');
  // Off at the very first redraw: '-', and the next on-reading starts at phase 1.
  m.TempCtlPhase = 0;
  Set("R513=0");
  m.TempCtlIndicator(true);
  EXPECT_EQ(con.CellAt(21, 10).ch, '-');
  Set("R513=1");
  m.TempCtlIndicator(true);
  EXPECT_EQ(con.CellAt(21, 10).ch, ' ');
  EXPECT_EQ(m.TempCtlPhase, 2);
}

TEST_F(IndicatorTest, TempModeWaitsThenShowsTheMode) {
  struct Case {
    const char* reply;
    char shown;
  } cases[] = {{"1\r\n", 'C'}, {"0\r\n", 'H'}, {"\r\n", 'H'}, {"11\r\n", 'H'}};
  for (const auto& c : cases) {
    overrides["RD 515"] = {c.reply};
    con.GotoXY(30, 5);
    Ms before = clock.NowMs();
    m.TempModeIndicator(true);
    EXPECT_GE(clock.NowMs() - before, 100ms + 55ms);
    EXPECT_EQ(Row(12), std::string("TempMode      (515) ") + c.shown);
    EXPECT_EQ(con.WhereX(), 30);
    EXPECT_EQ(con.WhereY(), 5);
  }
}

TEST_F(IndicatorTest, BeforeTheProbeTheLabelShowsRelayZero) {
  m.VentRelay = 0;
  m.VentIndicator(false);
  EXPECT_EQ(Row(9), "Vent.         (0) -");
  EXPECT_EQ(con.CellAt(19, 9).ch, '-');
}

TEST_F(IndicatorTest, FreshPollsItsOwnRelayOnly) {
  con.GotoXY(11, 4);
  m.VentIndicator(false);
  m.TempCtlIndicator(false);
  m.FloorHtrIndicator(false);
  m.TempModeIndicator(false);
  EXPECT_TRUE(Commands().empty());
  m.VentIndicator(true);
  m.TempCtlIndicator(true);
  m.FloorHtrIndicator(true);
  m.TempModeIndicator(true);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"RD 512", "RD 513", "RD 514", "RD 515"}));
  EXPECT_EQ(con.WhereX(), 11);
  EXPECT_EQ(con.WhereY(), 4);
}

}  // namespace

namespace {

// Keys typed in one burst with an ESC, through the real key decoder: no flush lets the
// ESC through to end the program or to answer what it should not.
struct BurstTest : testing::Test {
  VirtualClock clock;
  ByteConsole con{clock};
  sim::Controller plc{1, true};
  FakePorts ports{clock, [this](const std::string& c) { return plc.Handle(c) + "\r\n"; }};
  comLib3::ComLib3 com{con, clock, ports};
  monitor::Monitor m{com};
  void SetUp() override {
    m.ComPort = 1;
    PLC_Lib3::OpenPlcPort(com, 1);
    m.DetectDeviceVariant(1);
    m.SelectCounterLabels();
    m.VentRelay = 512;
  }
};

TEST_F(BurstTest, EscWithAnotherKeyGoesWithItsFlushAndAltKeysAreDiscarded) {
  struct Case {
    const char* burst;  // typed together, seen by the first read
    const char* later;  // 500 ms later
    bool reset;
    Ms at_least;  // how long the read was held up (by the terminal)
  } cases[] = {
      {"x\x1b", "", false, 0ms},
      {"r\x1b", "y", true, 500ms},      // the ESC does not answer the prompt
      {"k\x1b", "\x1b", false, 500ms},  // nor shut the terminal at once
      {"k", "\x1b\x1b", false, 500ms},  // ESC twice in the terminal only leaves it
      // Alt with any printable key, and Ctrl-\, are keys the monitor discards.
      {"\x1b,", "", false, 0ms},
      {"\x1b/", "", false, 0ms},
      {"\x1b]", "", false, 0ms},
      {"\x1b;", "", false, 0ms},
      {"\x1b ", "", false, 0ms},
      {"\x1b|", "", false, 0ms},
      {"\x1b[", "", false, 0ms},
      {"\x1c", "", false, 0ms},
  };
  for (const auto& c : cases) {
    m.ResetRequest = m.StopFlag = false;
    Ms t = clock.NowMs();
    con.Send(c.burst, t + 1ms);
    if (*c.later) con.Send(c.later, t + 500ms);
    clock.Sleep(2ms);
    m.ReadDmValue(1, 992, 'i');
    EXPECT_GE(clock.NowMs() - t, c.at_least) << c.burst;
    EXPECT_EQ(m.ResetRequest, c.reset) << c.burst;
    m.ResetRequest = false;
    m.ReadDmValue(1, 992, 'i');
    EXPECT_FALSE(m.StopFlag) << c.burst;
    EXPECT_FALSE(com.EscFlag) << c.burst;
  }
}

}  // namespace
