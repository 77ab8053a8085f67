// What an operator meets in the control room: a resized window, a stop and a resume, a crash, a
// controller that goes away and comes back.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include "Harness.h"
#include "Scenarios.h"

namespace e2e {
namespace {

TEST(Robust, AResizedWindowIsRepaintedFromTheModel) {
  Climon t({});
  auto& s = t.s;
  t.Answer("1");
  ASSERT_TRUE(t.Shows(19, "t106            540   t107   250")) << s.ScreenText();
  const std::vector<std::string> before = s.Screen();
  s.Resize(40, 12);
  EXPECT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();  // the top-left part
  EXPECT_TRUE(t.Shows(12, "TempMode      (515) H")) << s.ScreenText();
  s.Resize(80, 25);
  auto same_rows = [&] {
    auto now = s.Screen();
    for (int y : {1, 3, 4, 5, 6, 7, 12, 14, 15, 16, 17, 18, 19}) {
      if (now[static_cast<std::size_t>(y - 1)] != before[static_cast<std::size_t>(y - 1)])
        return false;
    }
    return true;
  };
  EXPECT_TRUE(s.WaitFor(same_rows, 5s)) << s.ScreenText();
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
  EXPECT_TRUE(s.TerminalRestored());
}

TEST(Robust, AStopAndAResumeGiveTheTerminalBackAndTakeItAgain) {
  Climon t({});
  auto& s = t.s;
  t.Answer("1");
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  s.Signal(SIGTSTP);
  ASSERT_TRUE(s.WaitFor([&] { return s.ProcessState() == 'T'; }, 5s));
  s.Signal(SIGCONT);
  ASSERT_TRUE(s.WaitFor([&] { return s.ProcessState() != 'T'; }, 5s));
  EXPECT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();  // repainted
  s.Type("k");  // raw again: the key counts at once, without Enter, and is not echoed
  EXPECT_TRUE(s.WaitForText("TARVENA ZUL Terminal", 3s)) << s.ScreenText();
  s.Key("Escape");
  EXPECT_TRUE(s.WaitFor([&] { return s.ScreenText().find("TARVENA") == std::string::npos; }));
  s.Key("Escape");
  EXPECT_EQ(s.WaitExit(), 0);
  EXPECT_TRUE(s.TerminalRestored());
}

// A signal ends a run as ESC does (no "CQ", the last screen stays), with its end in the
// audit trail, and the program still dies of it. At the port prompt nothing has begun: it
// ends at once.
TEST(Robust, EachEndSignalWritesTheEndRowAndStillEndsTheProgram) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    std::string dir = TempDir(), audit = dir + "/audit.csv";
    Climon t({}, "", "", Quote(ClimonBin()) + " --audit " + Quote(audit));
    auto& s = t.s;
    t.Answer("1");
    ASSERT_TRUE(t.Shows(14, kTotalRow)) << s.ScreenText();
    s.Signal(sig);
    EXPECT_EQ(s.WaitExit(5s), 128 + sig) << sig;
    EXPECT_TRUE(s.TerminalRestored()) << sig;
    EXPECT_TRUE(t.Shows(14, kTotalRow)) << sig;
    EXPECT_NE(t.sim.Commands().back(), "CQ") << sig;
    const std::string text = ReadFile(audit);
    const std::string end = ",end," +
                            std::string(sig == SIGINT    ? "SIGINT"
                                        : sig == SIGTERM ? "SIGTERM"
                                                         : "SIGHUP") +
                            ",,";
    EXPECT_NE(text.find(",start,"), std::string::npos) << text;
    // The last row, sealed.
    const std::size_t at = text.rfind(end);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find("\r\n", at), text.size() - 2) << text;
    std::system(("rm -rf " + Quote(dir)).c_str());
  }
  Climon t({});
  ASSERT_TRUE(t.s.WaitForText("Enter Comport")) << t.s.ScreenText();
  t.s.Signal(SIGTERM);
  EXPECT_EQ(t.s.WaitExit(2s), 128 + SIGTERM);
  EXPECT_TRUE(t.s.TerminalRestored());
}

TEST(Robust, ACrashStillRestoresTheTerminal) {
  Climon t({});
  auto& s = t.s;
  t.Answer("1");
  ASSERT_TRUE(t.Shows(3, kTempRow)) << s.ScreenText();
  s.Signal(SIGSEGV);
  EXPECT_EQ(s.WaitExit(), 128 + SIGSEGV);  // it still dies of the signal
  EXPECT_TRUE(s.TerminalRestored());
}

}  // namespace
}  // namespace e2e
