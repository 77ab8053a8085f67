// Start-up and shutdown of the real climon against climon-sim.
#include <gtest/gtest.h>

#include <algorithm>

#include "Harness.h"

namespace e2e {
namespace {

struct Variant {
  int variant;
  std::vector<std::string> detection;  // the relay reads after "CR"
  const char* label16;
  friend void PrintTo(const Variant& v, std::ostream* os) { *os << "variant " << v.variant; }
};

class StartupVariant : public testing::TestWithParam<Variant> {};

TEST_P(StartupVariant, DetectsTheVariantAndEndsOnEsc) {
  const Variant& v = GetParam();
  Climon t({"--variant", std::to_string(v.variant)});
  auto& s = t.s;
  t.Answer("1");
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(16).starts_with(v.label16); })) << s.ScreenText();
  s.Key("Escape");
  ASSERT_EQ(s.WaitExit(), 0);
  EXPECT_TRUE(s.TerminalRestored());

  std::vector<std::string> cmds = t.sim.Commands();
  ASSERT_GE(cmds.size(), 1 + v.detection.size());
  EXPECT_EQ(cmds[0], "CR");
  EXPECT_EQ(std::vector<std::string>(cmds.begin() + 1,
                                     cmds.begin() + 1 + static_cast<long>(v.detection.size())),
            v.detection);
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "CQ"), 0);  // ESC leaves the abort flag set
  // The last screen stays, and the shell's prompt comes below its last row.
  EXPECT_TRUE(s.Row(19).starts_with("t106")) << s.ScreenText();
  EXPECT_EQ(s.Row(20), "EXIT:0");
}

INSTANTIATE_TEST_SUITE_P(AllVariants, StartupVariant,
                         testing::Values(Variant{1, {"RD 3000", "RD 3003"}, "tt_Cooler   "},
                                         Variant{9, {"RD 3000", "RD 3003"}, "tt_Cooler   "},
                                         Variant{2, {"RD 3000", "RD 3001"}, "t_HeatEff.  "},
                                         Variant{3, {"RD 3000", "RD 3001"}, "t_HeatEff.  "}),
                         [](const auto& p) { return "Variant" + std::to_string(p.param.variant); });

TEST(Startup, BlanksAroundThePortNumberAndAnEmptyLineBefore) {
  Climon t({});
  auto& s = t.s;
  s.Key("Enter");
  s.Type("  1  ");
  s.Key("Enter");
  ASSERT_TRUE(s.WaitForText("System         1203 ComPort    1")) << s.ScreenText();
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
}

TEST(Startup, APortNumberThatIsNotANumberEndsTheProgram) {
  Climon t({});
  auto& s = t.s;
  t.Answer("3a");
  EXPECT_EQ(s.WaitExit(), 106);
  EXPECT_TRUE(s.WaitForText("Invalid numeric input"));
  EXPECT_TRUE(s.TerminalRestored());
  EXPECT_TRUE(t.sim.Commands().empty());
  EXPECT_EQ(s.Row(1), "Enter Comport 3a");
}

TEST(Startup, APortThatCannotBeOpenedIsReportedAndStartUpGoesOn) {
  Climon t({}, "CLIMON_COM5=/nonexistent/climon-COM5");
  auto& s = t.s;
  t.Answer("5");
  ASSERT_TRUE(s.WaitForText("Invalid Port Number: 5   E2")) << s.ScreenText();
  EXPECT_FALSE(s.WaitForText("System", 500ms));  // the report waits for a key
  s.Type("x");
  // Every transaction is empty: variant 3, and the probe picks relays 512 to 515.
  ASSERT_TRUE(s.WaitForText("t_HeatEff.  ", 20s)) << s.ScreenText();
  EXPECT_TRUE(s.WaitForText("Vent.         (512) -"));
  EXPECT_EQ(s.Row(3), "Temp.          0.00 C  /    0.00 C");
  EXPECT_EQ(s.Row(6), "");
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
  EXPECT_TRUE(t.sim.Commands().empty());
}

TEST(Startup, APortNumberOutsideTheTable) {
  Climon t({});
  auto& s = t.s;
  t.Answer("65537");  // would be COM1 if cut to 16 bits
  ASSERT_TRUE(s.WaitForText("Invalid Port Number: 65537   E2")) << s.ScreenText();
  s.Type("x");
  s.Key("Escape");  // seen by the first guarded read: one pass runs, then the program ends
  EXPECT_EQ(s.WaitExit(20s), 0);
  EXPECT_EQ(s.Row(3), "");   // nothing was read, so nothing is shown
  EXPECT_EQ(s.Row(16), "");  // the abort flag skips the counter refresh
  EXPECT_TRUE(t.sim.Commands().empty());
}

TEST(Startup, CtrlCEndsTheProgramWithTheTerminalRestored) {
  Climon t({});
  auto& s = t.s;
  t.Answer("1");
  ASSERT_TRUE(s.WaitForText("Temp."));
  s.Key("C-c");
  EXPECT_EQ(s.WaitExit(), 128 + 2);  // ended by SIGINT
  EXPECT_TRUE(s.TerminalRestored());
}

}  // namespace
}  // namespace e2e
