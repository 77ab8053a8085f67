#include "MonitorFixture.h"
#include "ZUL_Lib3/ZUL_Lib3.h"

namespace {

using namespace fakes;

// A monitor as its preparation leaves it (the relays found by the model probe), on a
// cleared screen and a quiet line.
struct GuardedReadTest : MonitorFixture {
  void SetUp() override { Prepare(m); }
  void Prepare(monitor::Monitor& monitor) {
    Detect(monitor, 1);
    monitor.MonitorPreparation();
    con.ClrScr();
    line->Forget();
  }
  // The operator's keys, seen by a read: ESC that ends the monitor, R and Y that ask for a
  // reset.
  void Stop(monitor::Monitor& monitor) {
    con.TypeCode(27, clock.NowMs());
    monitor.ReadDmValue(1, 992, 'i');
    line->Forget();
  }
  void AskReset(monitor::Monitor& monitor) {
    con.Type("r", clock.NowMs());
    con.Type("y", clock.NowMs() + 300ms);
    monitor.ReadDmValue(1, 992, 'i');
    line->Forget();
  }
  // A read that sends nothing, as after ESC or while a reset waits.
  bool ReadsNothing(monitor::Monitor& monitor) {
    line->Forget();
    monitor.ReadDmValue(1, 992, 'i');
    return line->events.empty();
  }
  std::vector<std::string> Screen() const {
    std::vector<std::string> rows;
    for (int y = 1; y <= 25; ++y) rows.push_back(Row(y));
    return rows;
  }
};

TEST_F(GuardedReadTest, StopOrResetRequestGivesZeroWithoutAnything) {
  for (int which = 0; which < 2; ++which) {
    monitor::Monitor mon(com);
    Prepare(mon);
    (which == 0 ? Stop(mon) : AskReset(mon));
    std::vector<std::string> before = Screen();
    con.Type("k");
    EXPECT_EQ(mon.ReadDmValue(1, 992, 'i'), 0);
    EXPECT_TRUE(line->events.empty());
    EXPECT_EQ(Screen(), before);       // no indicator output
    EXPECT_EQ(con.PendingKeys(), 1u);  // no key poll
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
    bool lost;          // row 22 says since when
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"every word failing",
       {{"00001\r\n", false},  // a healthy link shows nothing
        {"", false},
        {"", false},
        {"", true},              // two seconds since the first failure
        {"E1\r\n", true},        // an error reply is no usable reply
        {"1\r\n", true},         // nor a reply of another command's shape
        {"00002\r\n", false}}},  // gone with the first usable reply
      {"one failing word among answered ones",
       {{"", false},
        {"00001\r\n", false},
        {"", false},
        {"00001\r\n", false},
        {"", false},
        {"00001\r\n", false}}},
  };
  for (const auto& c : cases) {
    SetUp();
    clock.Advance(5s);
    con.GotoXY(9, 4);
    std::string since;  // the first failure's time
    bool failing = false;
    for (const auto& st : c.steps) {
      bool usable = std::string(st.reply).size() == 7;
      if (!usable && !failing) {
        comLib3::WallTime t = clock.Wall();
        since = logformat::FormatClock(t.hour, t.minute, t.second);
      }
      failing = !usable;
      overrides["RD DM7"] = {st.reply};
      m.ReadDmValue(1, 7, 'w');
      EXPECT_EQ(Row(22), st.lost ? "No reply from the controller since " + since : "")
          << c.what << ": " << st.reply;
      EXPECT_EQ(con.WhereX(), 9);  // the cursor is back where the row was being written
      EXPECT_EQ(con.WhereY(), 4);
      clock.Advance(1s);
    }
  }
}

TEST_F(GuardedReadTest, SlowIndicatorsOnEvery52ndRead) {
  Set("DM5=1");
  // To the first redraw of the slow ones, then the 52 reads to the next.
  for (int i = 0; i < 52 && Row(10).empty(); ++i) m.ReadDmValue(1, 5, 'w');
  ASSERT_NE(Row(10), "");
  con.ClrScr();
  for (int i = 1; i <= 51; ++i) m.ReadDmValue(1, 5, 'w');
  EXPECT_EQ(Row(10), "");
  EXPECT_EQ(Row(9), "Vent.         (512) -");  // drawn from the stored reply, off
  line->Forget();
  Ms before = clock.NowMs();
  m.ReadDmValue(1, 5, 'w');
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
    monitor::Monitor mon(com);
    Prepare(mon);
    con.keep_snapshots = true;
    con.snapshots.clear();
    con.GotoXY(7, 3);
    Ms t = clock.NowMs();
    con.Type("r", t);
    con.Type("y", t);  // typed together with r: drained by the first flush
    for (auto k : c.answer) con.TypeCode(k, t + 500ms);
    mon.ReadDmValue(1, 992, 'i');
    EXPECT_FALSE(mon.Stopping());
    // A reset waiting: the reads wait too.
    EXPECT_EQ(ReadsNothing(mon), c.reset) << int(c.answer[0]);
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
  EXPECT_FALSE(m.Stopping());
  EXPECT_EQ(Commands(), (std::vector<std::string>{"RD DM992", "RD DM992"}));
  EXPECT_EQ(con.WhereX(), 1);  // the cleared screen, cursor at the top left
  EXPECT_EQ(con.WhereY(), 1);
  EXPECT_EQ(con.CellAt(40, 12), (console::Cell{' ', 0x71}));
}

TEST_F(GuardedReadTest, EscStops) {
  con.TypeCode(27);
  m.ReadDmValue(1, 992, 'i');
  EXPECT_TRUE(m.Stopping());
  EXPECT_EQ(m.ReadDmValue(1, 992, 'i'), 0);
  EXPECT_EQ(line->Count(LineEvent::kWrite), 1);
}

TEST_F(GuardedReadTest, OnlyTheFirstOfTwoKeysCounts) {
  struct Case {
    std::vector<std::uint8_t> keys;
    bool stopped;
  } cases[] = {{{'x', 'k'}, false}, {{'x', 27}, false}, {{'x', 'r'}, false}, {{27, 'k'}, true}};
  for (const auto& c : cases) {
    monitor::Monitor mon(com);
    Prepare(mon);
    for (auto k : c.keys) con.TypeCode(k, clock.NowMs());
    mon.ReadDmValue(1, 992, 'i');
    EXPECT_EQ(mon.Stopping(), c.stopped);
    EXPECT_EQ(Row(20), "");  // no reset prompt, no terminal
    EXPECT_NE(con.CellAt(1, 9).ch, ' ');
  }
}

TEST_F(GuardedReadTest, WhileAResetIsPendingKeysWait) {
  AskReset(m);
  con.TypeCode(27);
  m.ReadDmValue(1, 992, 'i');
  EXPECT_FALSE(m.Stopping());
  EXPECT_EQ(con.PendingKeys(), 1u);
  m.ResetCounters(false);
  m.ReadDmValue(1, 992, 'i');  // the first read after the reset sees it
  EXPECT_TRUE(m.Stopping());
}

TEST_F(GuardedReadTest, StableReadComparesInPairs) {
  overrides["RD DM117"] = {"00005\r\n", "00007\r\n", "00007\r\n", "00007\r\n"};
  EXPECT_EQ(m.ReadDmStable(1, 117, 'w'), 7);
  EXPECT_EQ(CountOf("RD DM117"), 4);
  overrides["RD DM118"] = {"00003\r\n"};
  EXPECT_EQ(m.ReadDmStable(1, 118, 'w'), 3);
  EXPECT_EQ(CountOf("RD DM118"), 2);
  Stop(m);
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
  AskReset(m);
  overrides["RD T106"] = {"1,00042,00100\r\n", "1,00042,00100\r\n"};
  EXPECT_EQ(m.ReadTimerValue(1, 106), 42);
  monitor::Monitor stopped(com);
  Prepare(stopped);
  Stop(stopped);
  EXPECT_EQ(stopped.ReadTimerValue(1, 106), 65535);
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
    overrides["RD 512"] = {off};
    m.VentIndicator(true);
    EXPECT_EQ(con.CellAt(21, 9).ch, '-');
    overrides["RD 512"] = {"1\r\n"};
    m.VentIndicator(true);  // the animation from its start
    EXPECT_EQ(con.CellAt(21, 9).ch, '\\') << off;
    m.VentIndicator(false);
    EXPECT_EQ(con.CellAt(21, 9).ch, '|') << off;
  }
}

TEST_F(IndicatorTest, TempCtlStartsAtPhaseZero) {
  con.GotoXY(21, 10);
  con.Write("#");
  Set("R513=1");
  m.TempCtlIndicator(true);
  EXPECT_EQ(con.CellAt(21, 10).ch, '#');  // the first on-redraw writes nothing
  m.TempCtlIndicator(false);
  EXPECT_EQ(con.CellAt(21, 10).ch, ' ');
  // Off at the very first redraw: '-', and the next on-reading starts at phase 1.
  monitor::Monitor other(com);
  Prepare(other);
  Set("R513=0");
  other.TempCtlIndicator(true);
  EXPECT_EQ(con.CellAt(21, 10).ch, '-');
  Set("R513=1");
  other.TempCtlIndicator(true);
  EXPECT_EQ(con.CellAt(21, 10).ch, ' ');
  other.TempCtlIndicator(false);
  EXPECT_EQ(con.CellAt(21, 10).ch, 176);  // then phase 2
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
  monitor::Monitor unprobed(com);
  Detect(unprobed, 1);
  unprobed.VentIndicator(false);
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
  void Prepare(monitor::Monitor& m) {
    m.ComPort = 1;
    PLC_Lib3::OpenPlcPort(com, 1);
    m.DetectDeviceVariant(1);
    m.SelectCounterLabels();
    m.MonitorPreparation();
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
    monitor::Monitor m(com);
    Prepare(m);
    Ms t = clock.NowMs();
    con.Send(c.burst, t + 1ms);
    if (*c.later) con.Send(c.later, t + 500ms);
    clock.Sleep(2ms);
    m.ReadDmValue(1, 992, 'i');
    EXPECT_GE(clock.NowMs() - t, c.at_least) << c.burst;
    // A reset asked for: the reads wait for it.
    ports.last->Forget();
    m.ReadDmValue(1, 992, 'i');
    EXPECT_EQ(ports.last->Commands().empty(), c.reset) << c.burst;
    if (c.reset) m.ResetCounters(false);
    m.ReadDmValue(1, 992, 'i');
    EXPECT_FALSE(m.Stopping()) << c.burst;
  }
}

}  // namespace
