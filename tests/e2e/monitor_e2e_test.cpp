// The live monitor, the command terminal and the counter reset, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "Harness.h"
#include "Scenarios.h"

namespace e2e {
namespace {

// At the monitor on COM1.
struct Monitor : Climon {
  explicit Monitor(std::vector<std::string> options) : Climon(std::move(options)) { Answer("1"); }
};

bool Animated(const std::string& row, const std::string& label) {
  return row.starts_with(label) && row.size() > label.size();
}

TEST(Monitor, Variant2WithoutEvaporatorOrDefrost) {
  Monitor t({"--variant", "2", "--no-relay-7000"});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(18, "t_CoolEff.     5400 s  /     3.8 %")) << s.ScreenText();
  EXPECT_EQ(s.Row(16), "t_HeatEff.    40000 s  /    27.9 %");
  EXPECT_EQ(s.Row(6), "");
  EXPECT_EQ(s.Row(7), "");
  // The model without relay 7000: the indicators use relays 604 to 607.
  EXPECT_TRUE(Animated(s.Row(9), "Vent.         (604) "));
  EXPECT_TRUE(s.Row(10).starts_with("Temp.Ctl      (605)"));
  EXPECT_TRUE(s.Row(11).starts_with("FloorHtr      (606)"));
  EXPECT_EQ(s.Row(12), "TempMode      (607) H");
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
  EXPECT_EQ(t.Count("RD DM995"), 0);
  EXPECT_EQ(t.Count("RD DM87"), 0);
  EXPECT_GT(t.Count("RD 604"), 0);
  EXPECT_EQ(t.Count("RD 512"), 0);
}

// At 9600 baud a line of 60 characters takes 69 ms to send, longer than the reply's
// window: the window opens once the command has left, so the reply still comes in.
TEST(Monitor, ALongTerminalLineAtTheLinesSpeedGetsItsReply) {
  Monitor t({"--baud", "9600"});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  s.Type("k");
  ASSERT_TRUE(s.WaitForText(" Send           : Receive    /esc")) << s.ScreenText();
  const std::string line = "RD DM" + std::string(52, '0') + "992";  // 60 characters
  s.Type(line);
  s.Key("Enter");
  EXPECT_TRUE(s.WaitForText(" 00500")) << s.ScreenText();
  // In the first attempt's window; a window that opened when the write returned would
  // have closed before the reply, and only the fourth attempt's later read would catch it.
  EXPECT_EQ(t.Count(line), 1);
  s.Key("Escape");
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
}

TEST(Monitor, ResetOfTheCounters) {
  Monitor t({"--variant", "1"});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(15, kHeaterRow));
  s.Type("r");
  ASSERT_TRUE(t.Shows(20, "Reset Timers [Y/N]")) << s.ScreenText();
  s.Type("y");
  // The monitor goes on with the counters at 0.
  ASSERT_TRUE(t.Shows(15, "t_Heater          0 s  /     0.0 %")) << s.ScreenText();
  EXPECT_EQ(s.Row(20), "");
  EXPECT_TRUE(t.Shows(14, "tTotal            0 s  /     0.0 h"));
  ASSERT_TRUE(s.WaitFor([&] { return t.Count("WR DM128 0") == 1; }));
  auto log = t.sim.Commands();
  auto first = std::find(log.begin(), log.end(), "WR DM117 0");
  ASSERT_NE(first, log.end());
  std::vector<std::string> writes(first, std::min(first + 10, log.end()));
  EXPECT_EQ(writes, (std::vector<std::string>{
                        "WR DM117 0", "WR DM118 0", "WR DM119 0", "WR DM120 0", "WR DM121 0",
                        "WR DM122 0", "WR DM125 0", "WR DM126 0", "WR DM127 0", "WR DM128 0"}));
  // The refresh after the reset reads the zeroed words back from the controller.
  std::size_t after = static_cast<std::size_t>(first - log.begin()) + 10;
  ASSERT_TRUE(s.WaitFor([&] {
    auto now = t.sim.Commands();
    return now.size() > after &&
           std::count(now.begin() + static_cast<long>(after), now.end(), "RD DM117") >= 2;
  }));
  EXPECT_EQ(s.Row(15), "t_Heater          0 s  /     0.0 %");
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
}

TEST(Monitor, ResetPromptAnsweredNo) {
  Monitor t({});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(15, kHeaterRow));
  s.Type("r");
  ASSERT_TRUE(t.Shows(20, "Reset Timers [Y/N]"));
  s.Key("Escape");  // only a no
  ASSERT_TRUE(t.Shows(20, ""));
  // The monitor goes on: more passes come, and it is still running after them.
  int reads = t.Count("RD DM992");
  ASSERT_TRUE(s.WaitFor([&] { return t.Count("RD DM992") >= reads + 2; }, 20s));
  EXPECT_FALSE(s.WaitExit(0ms).has_value());
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
  EXPECT_EQ(t.Count("WR DM117 0"), 0);
}

TEST(Monitor, ABabblingControllerIsShownNotFeared) {
  Monitor t({"--fault", "garbage", "--fault-share", "40", "--seed", "7"});
  auto& s = t.s;
  ASSERT_TRUE(s.WaitForText("tTotal", 20s)) << s.ScreenText();
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
  EXPECT_TRUE(s.TerminalRestored());
}

// A key typed soon after ESC, before the monitor polls again, does not turn the ESC into
// Alt with that key: the terminal's bytes keep the time they came. On a healthy line and
// on a silent one, where the polls are far apart.
TEST(Monitor, AnEscFollowedQuicklyByAKeyStillEndsTheMonitor) {
  for (const std::vector<std::string>& sim :
       {std::vector<std::string>{}, std::vector<std::string>{"--fault", "silence"}}) {
    Monitor t(sim);
    auto& s = t.s;
    ASSERT_TRUE(s.WaitForText("Temp.", 20s)) << s.ScreenText();
    s.Key("Escape");
    std::this_thread::sleep_for(30ms);  // the gap under test, not a wait for an outcome
    s.Type("x");
    EXPECT_EQ(s.WaitExit(10s), 0) << (sim.empty() ? "healthy" : "silent");
    EXPECT_TRUE(s.TerminalRestored());
  }
}

TEST(Monitor, APulledLineKeepsTheMonitorAliveAndEscStillEndsIt) {
  Monitor t({});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(3, kTempRow));
  t.sim.Stop();  // the controller's line hangs up
  ASSERT_TRUE(t.Shows(3, "Temp.          0.00 C  /   12.50 C")) << s.ScreenText();
  EXPECT_TRUE(s.WaitFor([&] { return s.Row(9) == "Vent.         (512) -"; }));
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
  EXPECT_TRUE(s.TerminalRestored());
}

}  // namespace
}  // namespace e2e
