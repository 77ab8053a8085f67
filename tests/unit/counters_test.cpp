#include "MonitorFixture.h"

namespace {

using namespace fakes;

struct CountersTest : MonitorFixture {
  // Prepared as a run has it: the counters refreshed on the next pass.
  void SetUp() override { Prepare(); }
  void Prepare(int variant = 1) {
    Open(variant);
    m.MonitorPreparation();
    con.ClrScr();
    line->Forget();
  }
  // Keys as the operator types them, seen by a read.
  void Type(std::string_view keys) {
    Ms t = clock.NowMs();
    for (char k : keys) {
      con.TypeCode(static_cast<std::uint8_t>(k), t);
      t += 300ms;
    }
    m.ReadDmValue(1, 992, 'i');
    line->Forget();
  }
  void Counters(std::initializer_list<std::pair<int, int>> words) {
    for (auto [dm, v] : words) Set("DM" + std::to_string(dm) + "=" + std::to_string(v));
  }
  void Zero() {
    Counters({{117, 0},
              {118, 0},
              {119, 0},
              {120, 0},
              {121, 0},
              {122, 0},
              {125, 0},
              {126, 0},
              {127, 0},
              {128, 0}});
  }
};

TEST_F(CountersTest, TotalSplitOverItsTwoWords) {
  Zero();
  Counters({{117, 0}, {118, 1}});
  m.RefreshCounters();
  EXPECT_EQ(Row(14), "tTotal        65535 s  /    18.2 h");
}

TEST_F(CountersTest, RowsForATotalOf7200) {
  Zero();
  Counters({{117, 7200}, {125, 1800}, {119, 3600}, {127, 7200}, {121, 1}});
  m.RefreshCounters();
  EXPECT_EQ(Row(1), "System         1203 ComPort    1");
  EXPECT_EQ(con.Row(14).substr(0, 34), "tTotal         7200 s  /     2.0 h");
  EXPECT_EQ(con.Row(15).substr(0, 35), "t_Heater       1800 s  /    25.0 % ");
  EXPECT_EQ(con.Row(16).substr(0, 35), "tt_Cooler      3600 s  /    50.0 % ");
  EXPECT_EQ(con.Row(17).substr(0, 35), "t_Cooler       7200 s  /   100.0 % ");
  EXPECT_EQ(con.Row(18).substr(0, 35), "tt_Defrost        1 s  /     0.0 % ");
  EXPECT_EQ(Row(19), "t106            540   t107   250");
}

TEST_F(CountersTest, VariantLabels) {
  Prepare(2);
  Zero();
  m.RefreshCounters();
  EXPECT_EQ(Row(15), "t_Heater          0 s  /     0.0 %");
  EXPECT_EQ(Row(16), "t_HeatEff.        0 s  /     0.0 %");
  EXPECT_EQ(Row(17), "t_Cooler          0 s  /     0.0 %");
  EXPECT_EQ(Row(18), "t_CoolEff.        0 s  /     0.0 %");
}

TEST_F(CountersTest, ATotalOfZeroGivesTheFixedText) {
  Zero();
  Counters({{125, 500}});
  m.RefreshCounters();
  EXPECT_EQ(con.Row(14).substr(0, 34), "tTotal            0 s  /     0.0 h");
  for (int row = 15; row <= 18; ++row) EXPECT_EQ(con.Row(row).substr(19, 16), " s  /     0.0 % ");
  EXPECT_EQ(con.Row(15).substr(0, 19), "t_Heater        500");
}

TEST_F(CountersTest, AWideCounterIsWrittenWhole) {
  Zero();
  Counters({{117, 1}, {118, 200}, {125, 0}, {126, 200}});
  m.RefreshCounters();
  EXPECT_EQ(Row(14), "tTotal      13107001 s  /  3640.8 h");
  EXPECT_EQ(Row(15), "t_Heater    13107000 s  /   100.0 %");
}

// The minima, as row 19 shows them, from the preparation's first readings on, through the
// passes that refresh the counters.
TEST_F(CountersTest, TimerMinimaAreOnlyLowered) {
  overrides["RD T106"] = {"1,00050,00500\r\n"};
  m.MonitorPreparation();
  struct Step {
    const char* t106_reply;
    const char* row19;
  } steps[] = {
      {"1,00070,00500", "t106             50   t107   250"},  // higher than the first: not
      {"1,00040,00500", "t106             40   t107   250"},  // lower: taken
      {"1,00060,00500", "t106             40   t107   250"},
      {"E0", "t106             40   t107   250"},  // an error reply is not a reading
  };
  for (const Step& s : steps) {
    overrides["RD T106"] = {std::string(s.t106_reply) + "\r\n"};
    m.MonitorPass();  // refreshes
    EXPECT_EQ(Row(19), s.row19) << s.t106_reply;
    m.MonitorPass();  // does not
  }
}

TEST_F(CountersTest, RunsOnlyOnEvenPassesWithoutEsc) {
  m.MonitorPass();  // refreshes: the next is an odd pass
  con.ClrScr();
  line->Forget();
  m.RefreshCounters();
  EXPECT_TRUE(Commands().empty());
  Renew();
  Prepare();  // an even pass next, but ESC
  Type("\x1b");
  m.RefreshCounters();
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Row(14), "");
}

TEST_F(CountersTest, APendingResetZeroesTheCounters) {
  Type("ry");
  m.RefreshCounters();
  std::vector<std::string> want = {"RD T106",    "RD T107",    "WR DM117 0", "WR DM118 0",
                                   "WR DM119 0", "WR DM120 0", "WR DM121 0", "WR DM122 0",
                                   "WR DM125 0", "WR DM126 0", "WR DM127 0", "WR DM128 0"};
  EXPECT_EQ(Commands(), want);  // every guarded read gave 0 without asking
  EXPECT_EQ(Row(1), "System         0 ComPort    1");
  EXPECT_EQ(Row(14), "tTotal            0 s  /     0.0 h");
  EXPECT_EQ(Row(15), "t_Heater          0 s  /     0.0 %");
  EXPECT_EQ(plc.Dm(125), 0);
  EXPECT_EQ(plc.Dm(126), 0);
  EXPECT_EQ(plc.Dm(117), 0);
  line->Forget();
  m.ReadDmValue(1, 992, 'i');  // no more reset waiting: reads go out again
  EXPECT_EQ(Commands(), (std::vector<std::string>{"RD DM992"}));
}

TEST_F(CountersTest, CadenceAfterAReset) {
  Prepare(2);
  m.MonitorPass();  // refreshes: the next is an odd pass
  Type("ry");
  // The reset waits for the next even pass (2), then comes back every second pass after.
  EXPECT_EQ(PassesThatSend("RD T106", 6), (std::vector<int>{2, 4, 6}));
}

TEST_F(CountersTest, EscDuringTheRefreshsReads) {
  con.TypeCode(27, clock.NowMs() + 60ms);  // seen by the stable reads of DM117
  m.RefreshCounters();
  EXPECT_TRUE(m.Stopping());
  EXPECT_EQ(Row(14), "");  // rows whose reads ESC cut off are not written with zeros
  EXPECT_EQ(Row(15), "");
  EXPECT_EQ(Row(19), "");  // nor row 19
}

// An outage in which only the counters and the timers are read (about 3 s of their reads)
// is the link lost like any other: row 22 and the journal say so, and the first usable
// reply after it says the link is back.
TEST_F(CountersTest, AnOutageOfTheCounterReadsIsTheLinkLost) {
  std::vector<std::string> journal;
  monitor::Outputs out;
  out.journal = [&](const std::string& said, monitor::Severity) { journal.push_back(said); };
  monitor::Monitor watched(com, out);
  Detect(watched, 1);
  watched.MonitorPreparation();
  for (const char* read : {"RD DM117", "RD DM118", "RD DM119", "RD DM120", "RD DM121", "RD DM122",
                           "RD DM125", "RD DM126", "RD DM127", "RD DM128", "RD T106", "RD T107"}) {
    overrides[read] = std::vector<std::string>(12, "");
  }
  const Ms start = clock.NowMs();
  watched.RefreshCounters();
  EXPECT_GE(clock.NowMs() - start, 3000ms);
  EXPECT_EQ(Row(22).substr(0, 35), "No reply from the controller since ");
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal.back().substr(0, 35), "No reply from the controller since ");
  overrides.clear();
  clock.Advance(1100ms);  // past what the last attempts were owed
  watched.ReadDmValue(1, 992, 'i');
  EXPECT_EQ(Row(22), "");
  EXPECT_EQ(journal.back(), "the controller replies again");
}

}  // namespace
