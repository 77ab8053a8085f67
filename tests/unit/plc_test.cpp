#include <gtest/gtest.h>

#include "Fakes.h"
#include "PLC_Lib3/PLC_Lib3.h"

namespace {

using namespace fakes;
using console::ShortString;
using PLC_Lib3::PlcTransact;

struct PlcTest : testing::Test {
  VirtualClock clock;
  FakeConsole con{80, 25, &clock};
  std::shared_ptr<ScriptedLine::Responder> responder = std::make_shared<ScriptedLine::Responder>();
  FakePorts ports{clock,
                  [r = responder](const std::string& c) { return *r ? (*r)(c) : std::string(); }};
  comLib3::ComLib3 com{con, clock, ports};
  ScriptedLine* line = nullptr;

  void SetUp() override {
    PLC_Lib3::OpenPlcPort(com, 1);
    line = ports.last;
    line->Forget();
  }
  void Answer(ScriptedLine::Responder r) { *responder = std::move(r); }
  ShortString Transact(const char* cmd) {
    ShortString reply;
    PlcTransact(com, 1, cmd, reply);
    return reply;
  }
};

TEST_F(PlcTest, OpenPlcPortFlushesAndUsesTheControllersSettings) {
  com.EscFlag = true;
  com.KeyLine = "x";
  PLC_Lib3::OpenPlcPort(com, 2);
  EXPECT_FALSE(com.EscFlag);
  EXPECT_TRUE(com.KeyLine.empty());
  EXPECT_EQ(ports.last->baud, 9600u);
  EXPECT_EQ(ports.last->parity, comLib3::Parity::kEven);
  EXPECT_EQ(ports.last->data_bits, 8);
  EXPECT_EQ(ports.last->stop_bits, 1);
}

TEST_F(PlcTest, SilentControllerTakesFourAttemptsAndThePauseOnlyBeforeTheLast) {
  Ms start = clock.NowMs();
  EXPECT_EQ(Transact("RD DM992"), "");
  using K = LineEvent;
  std::vector<K::Kind> kinds;
  for (const auto& e : line->events) kinds.push_back(e.kind);
  // Each read's window opens once the command has left the line: write, drain, read. The
  // retries of one command follow each other at once: they may take each other's replies.
  std::vector<K::Kind> want{K::kPurge};
  for (int i = 0; i < 4; ++i)
    for (K::Kind k : {K::kPurge, K::kWrite, K::kDrain, K::kRead}) want.push_back(k);
  EXPECT_EQ(kinds, want);
  for (const auto& cmd : line->Commands()) EXPECT_EQ(cmd, "RD DM992");
  // Reads straight after the first three writes; a tick before the fourth read.
  const auto& ev = line->events;
  EXPECT_EQ(ev[4].at - ev[3].at, 0ms);
  EXPECT_EQ(ev[8].at - ev[7].at, 0ms);
  EXPECT_EQ(ev[12].at - ev[11].at, 0ms);
  EXPECT_EQ(ev[16].at - ev[15].at, 100ms);
  EXPECT_EQ(clock.NowMs() - start, 4 * 55ms + 100ms);
  // The four replies are still owed: the next command waits for them, until 1.1 s after
  // the last attempt (10 ms slices), then goes out.
  const Ms last_attempt = ev[13].at;
  line->Forget();
  EXPECT_EQ(Transact("RD DM993"), "");
  auto first_write = std::find_if(line->events.begin(), line->events.end(),
                                  [](const LineEvent& e) { return e.kind == LineEvent::kWrite; });
  ASSERT_NE(first_write, line->events.end());
  EXPECT_GE(first_write->at - last_attempt, 1100ms);
  EXPECT_LT(first_write->at - last_attempt, 1110ms);
}

// The protocol has no echo: a late reply to one command lands in the next one's window.
// Where the shapes of the replies differ, the stray one is retried as no reply, and is no
// reply at all when nothing better comes; right replies go through as they always did.
TEST_F(PlcTest, RepliesOfAnotherCommandsShapeAreRetried) {
  using Builder = void (*)(comLib3::ComLib3&, std::int32_t, ShortString&);
  Builder relay = [](comLib3::ComLib3& c, std::int32_t p, ShortString& r) {
    PLC_Lib3::PlcReadRelay(c, p, 512, r);
  };
  Builder timer = [](comLib3::ComLib3& c, std::int32_t p, ShortString& r) {
    PLC_Lib3::PlcReadTimer(c, p, 106, r);
  };
  Builder word = [](comLib3::ComLib3& c, std::int32_t p, ShortString& r) {
    PLC_Lib3::PlcReadDm(c, p, 993, r);
  };
  struct Case {
    const char* what;
    Builder read;
    std::vector<std::string> replies;
    const char* want;
    int writes;
  } cases[] = {
      {"a relay, right", relay, {"1\r\n"}, "1", 1},
      {"a relay after a late word", relay, {"00123\r\n", "0\r\n"}, "0", 2},
      {"a relay after a late timer", relay, {"1,00042,00100\r\n", "1\r\n"}, "1", 2},
      {"a timer, right", timer, {"1,00042,00100\r\n"}, "00042", 1},
      {"a timer after a late relay", timer, {"1\r\n", "0,00540,01000\r\n"}, "00540", 2},
      {"a timer after a late word", timer, {"00123\r\n", "0,00540,01000\r\n"}, "00540", 2},
      {"a word, right", word, {"03400\r\n"}, "03400", 1},
      {"a word after a late relay", word, {"1\r\n", "03400\r\n"}, "03400", 2},
      {"a word after a late timer", word, {"1,00042,00100\r\n", "03400\r\n"}, "03400", 2},
      {"a word never answered right", word, {"1\r\n", "1\r\n", "1\r\n", "1\r\n"}, "", 4},
      {"a timer never answered right", timer, {"00123\r\n", "1\r\n", "1\r\n", "1\r\n"}, "", 4},
      {"an error reply stays one", word, {"E1\r\n", "E1\r\n", "E1\r\n", "E1\r\n"}, "E1", 4},
  };
  for (const auto& c : cases) {
    std::vector<std::string> replies = c.replies;
    Answer([&replies](const std::string&) {
      std::string r = replies.empty() ? "" : replies.front();
      if (!replies.empty()) replies.erase(replies.begin());
      return r;
    });
    line->Forget();
    ShortString r;
    c.read(com, 1, r);
    EXPECT_EQ(r, c.want) << c.what;
    EXPECT_EQ(line->Count(LineEvent::kWrite), c.writes) << c.what;
  }
}

// A late reply of the same shape as the next command's would pass for its value. Each
// attempt is owed its reply: the next, different command waits until what is owed has
// come (or 1.1 s after the attempt that owes it), so a reply up to that late is never
// taken for another command's, of whatever kind.
TEST_F(PlcTest, ALateReplyIsWaitedOutNotTakenForTheNextCommands) {
  struct Case {
    const char* first;   // its reply comes `late` after each write (or its first `late_of`)
    const char* second;  // answered at once
    Ms late;
    const char* want;  // what the second command gets
    int late_of = 0;   // how many of the first command's attempts are late; 0: all
  } cases[] = {
      {"RD DM992", "RD DM993", 90ms, "00993"},        // word into word
      {"RD DM992", "RD DM993", 150ms, "00993"},       // into a later attempt's window
      {"RD 3000", "RD 3003", 90ms, "0"},              // relay into relay
      {"RD T106", "RD T107", 90ms, "1,00107,00200"},  // timer into timer
      {"RD DM992", "CR", 90ms, "CC"},                 // anything into a read of any reply
      {"RD DM992", "RD DM993", 40ms, "00993"},        // in its own window: no crossing
      {"RD DM992", "RD DM993", 1400ms, "00993"},      // far past the wait: its own reply first
      // Late by a second and less, of every kind: the probe and the variant's relays too.
      {"RD DM992", "RD DM993", 300ms, "00993"},
      {"RD DM992", "RD DM993", 600ms, "00993"},
      {"RD DM992", "RD DM993", 1000ms, "00993"},
      {"RD T106", "RD T107", 600ms, "1,00107,00200"},
      {"RD T106", "RD DM993", 1000ms, "00993"},
      {"RD 512", "RD 513", 600ms, "0"},
      {"RD 7000", "RD 3000", 1000ms, "1"},
      {"RD 3000", "RD 7000", 300ms, "0"},
      {"RD DM992", "WR DM117 0", 600ms, "OK"},
      // Its second attempt answered at once: the first one's reply is still owed.
      {"RD DM992", "RD DM993", 300ms, "00993", 1},
      {"RD 3000", "RD 3003", 1000ms, "0", 1},
  };
  for (const auto& c : cases) {
    line->Forget();
    std::string first = c.first;
    Ms late = c.late;
    auto attempts = std::make_shared<int>(0);
    const int late_of = c.late_of;
    line->lateness = [first, late, attempts, late_of](const std::string& cmd) {
      if (cmd != first) return 0ms;
      return late_of == 0 || ++*attempts <= late_of ? late : 0ms;
    };
    Answer([](const std::string& cmd) -> std::string {
      if (cmd == "CR") return "CC\r\n";
      if (cmd.starts_with("WR")) return "OK\r\n";
      if (cmd.starts_with("RD DM")) return "00" + cmd.substr(5) + "\r\n";
      if (cmd.starts_with("RD T")) return "1,00" + cmd.substr(4) + ",00200\r\n";
      return cmd == "RD 3000" ? "1\r\n" : "0\r\n";
    });
    // The shape the builders give each command.
    auto shape = [](std::string_view cmd) {
      using PLC_Lib3::ReplyShape;
      return cmd == "CR" || cmd.starts_with("WR") ? ReplyShape::kAny
             : cmd.starts_with("RD D")            ? ReplyShape::kWord
             : cmd.starts_with("RD T")            ? ReplyShape::kTimer
                                                  : ReplyShape::kRelay;
    };
    ShortString first_reply, second;
    PlcTransact(com, 1, c.first, first_reply, shape(c.first));
    PlcTransact(com, 1, c.second, second, shape(c.second));
    EXPECT_EQ(second, c.want) << c.first << " late " << c.late.count() << " ms, then " << c.second;
    clock.Advance(2s);  // nothing owed is left for the next case
  }
  line->lateness = nullptr;
}

// Between attempts a transaction looks for the operator's stop (a read only: a write of
// the confirmed reset is never given up), so a silent line does not hold up ESC.
TEST_F(PlcTest, ASilentReadEndsAtAStopBetweenAttemptsAWriteDoesNot) {
  con.TypeCode(27, clock.NowMs() + 10ms);
  EXPECT_EQ(Transact("RD DM992"), "");
  EXPECT_EQ(line->Count(LineEvent::kWrite), 1);
  EXPECT_FALSE(com.EscFlag);  // seen, not taken: the poll that acts on it takes it
  line->Forget();
  EXPECT_EQ(Transact("WR DM117 0"), "");
  EXPECT_EQ(line->Count(LineEvent::kWrite), 4);
}

TEST_F(PlcTest, RetryRuleOnScriptedReplies) {
  struct Case {
    std::vector<std::string> replies;
    const char* want;
    int writes;
  } cases[] = {
      {{"E1\r\n", "E1\r\n", "E1\r\n", "E1\r\n"}, "E1", 4},
      {{"", "1\r\n"}, "1", 2},
      {{"X"}, "X", 1},                                // a single byte stays
      {{"E", "E", "E", "E"}, "E", 4},                 // a single E is an error
      {{"\r\n", "\r\n", "\r\n", "OK\r\n"}, "OK", 4},  // two bytes are empty once cleaned
      {{"00123\r\n"}, "00123", 1},
      {{"e1\r\n"}, "e1", 1},              // only an upper-case E is an error
      {{"E0\r\n", "", "", ""}, "E0", 4},  // an error reply is an answer; a lost one is not
      {{"", "E1\r\n", "E2\r\n", ""}, "E2", 4},
  };
  for (const auto& c : cases) {
    line->Forget();
    Answer(Replies(c.replies));
    EXPECT_EQ(Transact("RD 3000"), c.want);
    EXPECT_EQ(line->Count(LineEvent::kWrite), c.writes);
  }
}

TEST_F(PlcTest, OnlyFiftyBytesAreReadAndFortyEightKept) {
  Answer([](const std::string&) { return std::string(70, 'A'); });
  Ms start = clock.NowMs();
  ShortString r = Transact("RD DM1");
  EXPECT_EQ(r.size(), 48u);
  EXPECT_EQ(line->Count(LineEvent::kWrite), 1);
  EXPECT_EQ(clock.NowMs() - start, 0ms);  // a full read returns at once
  Answer([](const std::string&) { return std::string(50, 'B'); });
  EXPECT_EQ(Transact("RD DM1").size(), 48u);
}

TEST_F(PlcTest, WhatArrivedLateIsPurgedBeforeTheNextAttempt) {
  int n = 0;
  // Each answer lands in the buffer; the purge before the next write drops it.
  Answer(
      [&n](const std::string&) { return ++n == 1 ? std::string("E1\r\n") : std::string("7\r\n"); });
  EXPECT_EQ(Transact("RD 1"), "7");
  EXPECT_EQ(line->Count(LineEvent::kPurge), 3);  // once before the attempts, once each
}

TEST_F(PlcTest, MinusRule) {
  struct Case {
    const char* typed;
    const char* sent;
  } cases[] = {
      {"WR DM100 -5", "WR DM100 65531"},
      {"WR DM100 -5 7", "WR DM100 65531"},
      {"WR DM10 -$10", "WR DM10 65520"},
      {"RD DM5 -70000", "RD DM5 61072"},
      {"RD -0", "RD 0"},
      {"RD -", "RD 0"},
      {"RD -abc", "RD 0"},
      {"RD -1-2", "RD 65535"},
      {"A-65536", "A0"},
      {"RD DM5", "RD DM5"},
      {"-1", "65535"},
      {"", ""},
  };
  for (const auto& c : cases) {
    line->Forget();
    Answer(Replies({"OK\r\n"}));
    ShortString command(c.typed);
    ShortString reply;
    PlcTransact(com, 1, command, reply);
    EXPECT_EQ(command, c.typed);  // the caller's command is never changed
    ASSERT_EQ(line->Commands().size(), 1u);
    EXPECT_EQ(line->Commands()[0], c.sent) << c.typed;
    EXPECT_EQ(line->events[2].data, std::string(c.sent) + "\r");
  }
}

TEST_F(PlcTest, MinusRuleKeepsTheCommandWithin255) {
  std::string longcmd(250, 'A');
  longcmd += "-1";
  EXPECT_EQ(PLC_Lib3::ApplyMinusRule(ShortString(longcmd)).size(), 255u);
}

TEST_F(PlcTest, BuildersCommandTexts) {
  Answer([](const std::string& c) {
    std::string r = c.starts_with("RD T")    ? "1,00042,00100"
                    : c.starts_with("RD DM") ? "00042"
                    : c.starts_with("RD ")   ? "1"
                                             : "OK";
    return r + "\r\n";
  });
  ShortString r;
  PLC_Lib3::PlcConnect(com, 1, r);
  PLC_Lib3::PlcDisconnect(com, 1, r);
  PLC_Lib3::PlcReadRelay(com, 1, 3000, r);
  PLC_Lib3::PlcReadRelay(com, 1, -1, r);
  PLC_Lib3::PlcReadDm(com, 1, 65535, r);
  PLC_Lib3::PlcWriteDm(com, 1, 100, 65535, r);
  PLC_Lib3::PlcReadTimer(com, 1, 106, r);
  EXPECT_EQ(r, "00042");
  EXPECT_EQ(line->Commands(),
            (std::vector<std::string>{"CR", "CQ", "RD 3000", "RD 65535", "RD DM65535",
                                      "WR DM100 65535", "RD T106"}));
}

TEST(TimerField, CutsTheCurrentValue) {
  struct Case {
    const char* reply;
    const char* field;
  } cases[] = {{"1,00042,00100", "00042"},
               {"0,12345,6", "12345"},
               {"ab12345", "12345"},
               {"abc", "c"},
               {"E1", ""},
               {"", ""},
               {"1,00042,00100XYZ", "00042XYZ"}};
  for (const auto& c : cases) EXPECT_EQ(PLC_Lib3::TimerField(c.reply), c.field) << c.reply;
}

TEST_F(PlcTest, EscFlagStopsEveryOperationWithoutTraffic) {
  Answer(Replies({"1\r\n"}));
  com.EscFlag = true;
  ShortString r("old");
  PlcTransact(com, 1, "RD 1", r);
  EXPECT_EQ(r, "");
  PLC_Lib3::PlcReadTimer(com, 1, 106, r);
  EXPECT_EQ(r, "");
  PLC_Lib3::PlcWriteDm(com, 1, 1, 1, r);
  PLC_Lib3::PlcConnect(com, 1, r);
  EXPECT_TRUE(line->events.empty());
  EXPECT_EQ(clock.NowMs(), 0ms);
}

TEST_F(PlcTest, PortThatIsNotOpenGivesEmptyRepliesWithoutSpinning) {
  ShortString r("x");
  con.Type("k", clock.NowMs() + 1ms);  // typed after the flush of the open
  ports.fail_error = 2;
  PLC_Lib3::OpenPlcPort(com, 3);
  Ms start = clock.NowMs();
  PlcTransact(com, 3, "CR", r);
  EXPECT_EQ(r, "");
  EXPECT_EQ(clock.NowMs() - start, 4 * 55ms + 100ms);
}

}  // namespace
