// The scenarios that both builds must pass alike: climon in a terminal, and climon.exe in
// Wine's console (when scripts/test-windows.sh names it in CLIMON_WIN_EXE, with COM5
// mapped to CLIMON_WINE_COM5), each against climon-sim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>

#include "Harness.h"
#include "Scenarios.h"

namespace e2e {
namespace {

struct Build {
  const char* name;
  bool wine;
};
void PrintTo(const Build& b, std::ostream* os) {
  *os << b.name;
}

class Builds : public testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    if (GetParam().wine && (Env("CLIMON_WIN_EXE").empty() || Env("CLIMON_WINE_COM5").empty())) {
      GTEST_SKIP() << "run by scripts/test-windows.sh";
    }
  }
  static std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? "" : v;
  }
  // climon (or climon.exe) at the monitor, on COM1 (or Wine's COM5).
  struct AtMonitor : Climon {
    int port;
    AtMonitor(bool wine, std::vector<std::string> options)
        : Climon(std::move(options), "", wine ? Env("CLIMON_WINE_COM5") : "",
                 wine ? "wine " + Quote(Env("CLIMON_WIN_EXE")) : ""),
          port(wine ? 5 : 1) {
      Answer(std::to_string(port));
    }
  };
};

TEST_P(Builds, TheVariant1MonitorAndTheEscThatEndsIt) {
  AtMonitor t(GetParam().wine, {"--variant", "1"});
  auto& s = t.s;
  ExpectVariant1Screen(t, t.port);
  EXPECT_EQ(s.Row(2), "");
  EXPECT_EQ(s.Row(8), "");
  EXPECT_EQ(s.Row(13), "");
  auto cmds = t.sim.Commands();
  ASSERT_GE(cmds.size(), 3u);
  EXPECT_EQ(cmds[0], "CR");
  EXPECT_EQ(cmds[1], "RD 3000");
  EXPECT_EQ(cmds[2], "RD 3003");
  std::printf("%s: a transaction, as the controller sees it: %.2f ms (median)\n", GetParam().name,
              MedianTransactionMs(t.sim.Log()));
  // The spinner moves.
  std::string first = s.Row(9);
  EXPECT_TRUE(s.WaitFor([&] { return s.Row(9) != first; }));
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
  EXPECT_TRUE(s.TerminalRestored());
  cmds = t.sim.Commands();
  EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "CQ"), 0);
}

TEST_P(Builds, TheCommandTerminalAndBack) {
  AtMonitor t(GetParam().wine, {});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  s.Type("k");
  ASSERT_TRUE(s.WaitForText("*     TARVENA ZUL Terminal      *")) << s.ScreenText();
  ASSERT_TRUE(s.WaitForText(kTerminalHeader));
  EXPECT_TRUE(SendLine(s, "RD DM992", " RD DM992       : 00500")) << s.ScreenText();
  EXPECT_TRUE(SendLine(s, "WR DM890 -5", " WR DM890 -5    : OK")) << s.ScreenText();
  s.Key("Escape");
  // Back in the monitor, which goes on: the rows come back, whole (no box over them).
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  EXPECT_TRUE(t.Shows(14, kTotalRow));
  EXPECT_EQ(s.ScreenText().find("TARVENA"), std::string::npos);
  int reads = t.Count("RD DM992");  // the monitor goes on: more passes come
  ASSERT_TRUE(s.WaitFor([&] { return t.Count("RD DM992") >= reads + 2; }, 20s));
  EXPECT_FALSE(s.WaitExit(0ms).has_value());
  auto cmds = t.sim.Commands();
  EXPECT_NE(std::find(cmds.begin(), cmds.end(), "WR DM890 65531"), cmds.end());
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
}

TEST_P(Builds, AControllerThatComesBackIsReadAgain) {
  AtMonitor t(GetParam().wine, {});
  auto& s = t.s;
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  EXPECT_EQ(s.Row(22), "");
  t.sim.Stop();  // the adapter is pulled
  ASSERT_TRUE(
      s.WaitFor([&] { return s.Row(22).starts_with("No reply from the controller since "); }, 20s))
      << s.ScreenText();
  EXPECT_TRUE(t.Shows(3, "Temp.          0.00 C  /   12.50 C"));
  t.sim.Start();  // and plugged in again
  auto back = std::chrono::steady_clock::now();
  ASSERT_TRUE(s.WaitFor([&] { return s.Row(3) == kTempRow && s.Row(22).empty(); }, 20s))
      << s.ScreenText();
  std::printf(
      "%s: replug to fresh values: %.0f ms\n", GetParam().name,
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - back).count());
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(20s), 0);
}

INSTANTIATE_TEST_SUITE_P(Both, Builds, testing::Values(Build{"POSIX", false}, Build{"Wine", true}),
                         [](const testing::TestParamInfo<Build>& i) { return i.param.name; });

}  // namespace
}  // namespace e2e
