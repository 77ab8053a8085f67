#include "MonitorFixture.h"

namespace {

using namespace fakes;

struct CycleTest : MonitorFixture {
  void Prepare(int variant = 1) {
    Open(variant);
    m.MonitorPreparation();
  }
};

TEST_F(CycleTest, ClimateRowsScaleTheirWords) {
  struct Case {
    std::vector<std::string> words;
    int row;
    const char* text;
  } cases[] = {
      {{"DM992=7500"}, 3, "Temp.        187.50 C  /   12.50 C"},
      {{"DM992=7501"}, 3, "Temp.        -26.56 C  /   12.50 C"},
      {{"DM992=16000"}, 3, "Temp.          0.00 C  /   12.50 C"},
      {{"DM992=32000"}, 3, "Temp.         50.00 C  /   12.50 C"},
      {{"DM992=0"}, 3, "Temp.          0.00 C  /   12.50 C"},
      {{"DM992=65535", "DM890=65436"}, 3, "Temp.         -0.03 C  /  -10.00 C"},
      {{"DM992=16000", "DM993=16000"}, 4, "Humidity      50.00 %  /   85.00 %"},
      {{"DM992=7500", "DM993=2000"}, 4, "Humidity      50.00 %  /   85.00 %"},
      {{"DM984=500"}, 5, "CO2           5.000 %  /   1.500 %"},
      {{"DM995=1000"}, 6, "Evap.Temp.     0.00 C  /    0.00 C"},
      {{"DM995=0", "DM39=0"}, 6, "Evap.Temp.   -50.00 C  /  -50.00 C"},
      {{"DM87=119", "DM895=240"}, 7, "Next Def. in    119 min to 12.00 C"},
      {{"DM87=120", "DM895=310"}, 7, "Defrost in   >  2.0 hrs to 12.00 C"},
      {{"DM87=90", "DM895=240"}, 7, "Next Def. in     90 min to 12.00 C"},
      {{"DM87=600", "DM895=310"}, 7, "Defrost in   > 10.0 hrs to 12.00 C"},
      {{"DM87=0", "DM895=0"}, 7, "Next Def. in      0 min to  0.00 C"},
      {{"DM87=65535", "DM895=250"}, 7, "Defrost in   >1092.3 hrs to  0.00 C"},  // widens the row
  };
  for (const auto& c : cases) {
    plc = sim::Controller(1, true);
    for (const auto& w : c.words) Set(w);
    con.ClrScr();
    Prepare();
    m.MonitorPass();
    EXPECT_EQ(Row(c.row), c.text) << c.words[0];
  }
}

// The humidity's scale shows the range: its word over 320 in the high range, over 40 below.
TEST_F(CycleTest, HighRangeFollowsTheTemperatureWordOfThePass) {
  Set("DM992=7501");
  Set("DM993=3200");
  Prepare();
  m.MonitorPass();
  EXPECT_EQ(Row(4), "Humidity      10.00 %  /   85.00 %");
  Set("DM992=7500");
  m.MonitorPass();
  EXPECT_EQ(Row(4), "Humidity      80.00 %  /   85.00 %");
}

TEST_F(CycleTest, DefrostRowUsesThePlainConversion) {
  struct Case {
    const char* reply;
    const char* text;
  } cases[] = {{"\r\n", "Next Def. in      0 min to 15.50 C"},
               {"E1\r\n", "Next Def. in      0 min to 15.50 C"},
               {"00012a\r\n", "Next Def. in      0 min to 15.50 C"},  // not a word
               {"65535\r\n", "Defrost in   >1092.3 hrs to 12.00 C"}};
  for (const auto& c : cases) {
    Prepare();
    overrides["RD DM87"] = {c.reply};
    m.MonitorPass();
    EXPECT_EQ(Row(7), c.text) << c.reply;
  }
}

// The preparation's reads in their order, and what the passes after it show of them: the
// reference words read once, the timers' first readings as the minima, the counters in
// the first pass.
TEST_F(CycleTest, PreparationInItsFixedOrderAndWhatThePassesShowOfIt) {
  Prepare();
  EXPECT_EQ(Commands(),
            (std::vector<std::string>{"RD DM890", "RD DM893", "RD DM894", "RD DM39", "RD DM895",
                                      "RD T106", "RD T107", "RD 7000", "RD DM109"}));
  EXPECT_EQ(Row(1), "System         1203 ComPort    1");
  EXPECT_EQ(Row(9),
            "Vent.         (512) -");  // redrawn by the header's read, with the probed number
  Set("DM890=140");                    // changed at the controller after the start: not seen
  Set("T106=600");                     // above the first reading: the minimum stays
  line->Forget();
  m.MonitorPass();
  EXPECT_EQ(Row(3), "Temp.         12.50 C  /   12.50 C");
  EXPECT_EQ(Row(7), "Defrost in   >  3.1 hrs to 12.00 C");  // DM895 = 310
  EXPECT_EQ(Row(19), "t106            540   t107   250");
  EXPECT_EQ(CountOf("RD DM117"), 2);  // the first pass refreshes the counters
  EXPECT_EQ(CountOf("RD DM890"), 0);
  line->Forget();
  m.MonitorPass();
  EXPECT_EQ(CountOf("RD DM117"), 0);  // the second does not
}

TEST_F(CycleTest, VentLineShowsRelayZeroBeforeTheProbe) {
  Open();
  con.keep_snapshots = true;
  overrides["RD DM893"] = {"00850\r\n"};
  con.TypeCode('x', 60ms);  // seen by the second baseline read
  m.MonitorPreparation();
  ASSERT_FALSE(con.snapshots.empty());
  EXPECT_EQ(con.snapshots[0].RowText(9).substr(0, 19), "Vent.         (0) -");
}

TEST_F(CycleTest, OnePassReadsInItsOrder) {
  Prepare();
  line->Forget();
  m.MonitorPass();
  std::vector<std::string> want = {"RD 512",   "RD DM992", "RD 513",   "RD DM993", "RD 514",
                                   "RD DM984", "RD 515",   "RD DM995", "RD DM87",  "RD DM109",
                                   "RD DM117", "RD DM117", "RD DM118", "RD DM118", "RD DM119",
                                   "RD DM120", "RD DM121", "RD DM122", "RD DM125", "RD DM126",
                                   "RD DM127", "RD DM128", "RD T106",  "RD T107"};
  EXPECT_EQ(Commands(), want);
  line->Forget();
  m.MonitorPass();  // the next one does not refresh the counters
  EXPECT_EQ(CountOf("RD DM117"), 0);
}

TEST_F(CycleTest, Variants2And3LeaveRows6And7Blank) {
  for (int variant : {2, 3}) {
    con.ClrScr();
    Prepare(variant);
    m.MonitorPass();
    m.MonitorPass();
    EXPECT_EQ(Row(6), "");
    EXPECT_EQ(Row(7), "");
    EXPECT_EQ(CountOf("RD DM995"), 0);
    EXPECT_EQ(CountOf("RD DM87"), 0);
  }
}

TEST_F(CycleTest, CounterRefreshInPasses1_3_5) {
  Prepare();
  EXPECT_EQ(PassesThatSend("RD DM109", 6), (std::vector<int>{1, 3, 5}));
}

// On a silent line every transaction fails slowly; ESC still ends the monitor within a
// second wherever in a pass it comes (the headless stop promises as much).
TEST_F(CycleTest, EscOnASilentLineEndsTheMonitorWithinASecond) {
  Ms worst{0};
  for (Ms at : {0ms, 150ms, 700ms, 1300ms, 2100ms, 2900ms, 3700ms}) {
    Renew();
    silent = false;
    Open();
    m.MonitorPreparation();
    silent = true;
    com.FlushKeys();
    m.MonitorPass();  // from the start of a pass
    Ms esc = clock.NowMs() + at;
    con.TypeCode(27, esc);
    m.MonitorCycle();
    m.Shutdown();
    worst = std::max(worst, clock.NowMs() - esc);
  }
  EXPECT_LT(worst, 1000ms);
}

TEST_F(CycleTest, EscDuringThePreparation) {
  Open();
  con.TypeCode(27, clock.NowMs() + 60ms);  // seen by the second baseline read
  m.MonitorPreparation();
  // The reads up to the ESC went out; nothing after it: no timers, no probe, no header.
  EXPECT_EQ(Commands(), (std::vector<std::string>{"RD DM890", "RD DM893"}));
  EXPECT_EQ(Row(1), "");
  line->Forget();
  m.MonitorCycle();  // one pass, then it ends
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Row(3), "");   // nothing was read, so nothing is shown
  EXPECT_EQ(Row(14), "");  // the refresh is skipped
  m.Shutdown();
  EXPECT_TRUE(Commands().empty());  // no "CQ"
}

// ESC anywhere in a pass: the rows it cut off keep what the last read showed, never the 0
// of a read that was not made; and the line carries what it carried before, up to the ESC.
TEST_F(CycleTest, EscAnywhereInAPassLeavesOnlyValuesThatWereRead) {
  struct Case {
    const char* where;
    Ms after;  // since the pass began
  } cases[] = {{"before the first row", 0ms},
               {"in the middle", 200ms},
               {"during the counters' refresh", 700ms}};
  for (const auto& c : cases) {
    plc = sim::Controller(1, true);
    con.ClrScr();
    Renew();
    Prepare();
    m.MonitorPass();  // every row from a whole pass
    m.MonitorPass();  // and the counters' rows from the refresh of the pass before
    std::vector<std::string> before;
    for (int y = 1; y <= 25; ++y) before.push_back(Row(y));
    Set("DM992=600");  // the next pass reads other values
    Set("DM993=3000");
    Set("DM117=7");
    line->Forget();
    m.MonitorPass();
    std::vector<std::string> whole_pass = Commands();
    std::vector<std::string> next_pass;
    for (int y = 1; y <= 25; ++y) next_pass.push_back(Row(y));

    // The same pass again from the same state, with ESC typed at its time.
    plc = sim::Controller(1, true);
    con.ClrScr();
    Prepare();
    m.MonitorPass();
    m.MonitorPass();
    Set("DM992=600");
    Set("DM993=3000");
    Set("DM117=7");
    line->Forget();
    con.TypeCode(27, clock.NowMs() + c.after);
    m.MonitorCycle();
    EXPECT_TRUE(m.Stopping()) << c.where;
    for (int y = 1; y <= 25; ++y) {
      // The indicators' state characters animate; their rows are checked up to them.
      std::size_t n = y >= 9 && y <= 12 ? 20 : std::string::npos;
      std::string row = Row(y).substr(0, n);
      const std::string& was = before[static_cast<std::size_t>(y - 1)];
      const std::string& next = next_pass[static_cast<std::size_t>(y - 1)];
      EXPECT_TRUE(row == was.substr(0, n) || row == next.substr(0, n))
          << c.where << ", row " << y << ": " << row;
    }
    std::vector<std::string> sent = Commands();
    ASSERT_LE(sent.size(), whole_pass.size()) << c.where;
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), whole_pass.begin())) << c.where;
    com.FlushKeys();
  }
}

TEST_F(CycleTest, RowInterruptedByTheTerminalReturnsToItsPlace) {
  Prepare();
  Set("DM992=600");
  m.MonitorPass();
  overrides["RD DM992"] = {"00600\r\n"};
  // K is seen by the temperature row's read; the terminal is left at once.
  con.Type("k", clock.NowMs() + 56ms);
  con.TypeCode(27, clock.NowMs() + 500ms);
  m.MonitorPass();
  EXPECT_EQ(Row(3), "Temp.         15.00 C  /   12.50 C");
  EXPECT_EQ(Row(1), "");  // nothing landed at the top left
  EXPECT_FALSE(m.Stopping());
  m.MonitorPass();
  EXPECT_EQ(Row(1), "System         1203 ComPort    1");  // back with the next refresh
}

}  // namespace
