#include <gtest/gtest.h>

#include "Fakes.h"
#include "PLC_Lib3/PLC_Lib3.h"
#include "PLC_Lib3/TextToInt.h"
#include "comLib3/comLib3.h"
#include "console/TextInput.h"

namespace {

using namespace fakes;

struct ComLib3Test : testing::Test {
  VirtualClock clock;
  FakeConsole con{80, 25, &clock};
  FakePorts ports{clock, nullptr};
  comLib3::ComLib3 com{con, clock, ports};
};

TEST_F(ComLib3Test, StartMeasuresTheScreenAndDropsKeysTypedBefore) {
  VirtualClock c;
  FakeConsole early(100, 40, &c);
  early.Type("xyz");
  FakePorts p(c, nullptr);
  comLib3::ComLib3 lib(early, c, p);
  EXPECT_EQ(lib.ScreenCols, 100);
  EXPECT_EQ(lib.ScreenRows, 40);
  EXPECT_EQ(early.PendingKeys(), 0u);
  EXPECT_TRUE(lib.KeyLine.empty());
  EXPECT_FALSE(lib.EscFlag);
}

TEST_F(ComLib3Test, PollKeys) {
  EXPECT_EQ(com.PollKeys(), 0);  // nothing waiting
  EXPECT_TRUE(com.KeyLine.empty());

  con.Type("a");
  EXPECT_EQ(com.PollKeys(), 'a');
  EXPECT_EQ(com.KeyLine, "a");

  con.TypeCode(8);
  EXPECT_EQ(com.PollKeys(), 8);
  EXPECT_TRUE(com.KeyLine.empty());
  con.TypeCode(8);
  EXPECT_EQ(com.PollKeys(), 8);  // Backspace on an empty line
  EXPECT_TRUE(com.KeyLine.empty());

  con.TypeCode(0);
  con.TypeCode(72);
  EXPECT_EQ(com.PollKeys(), 72);  // an extended key: its code 0 is filed
  EXPECT_EQ(com.KeyLine.size(), 1u);
  EXPECT_EQ(com.KeyLine.At(1), '\0');

  com.KeyLine.Clear();
  con.TypeCode(27);
  con.Type("k");
  EXPECT_EQ(com.PollKeys(), 27);
  EXPECT_TRUE(com.EscFlag);
  EXPECT_TRUE(com.KeyLine.empty());
  EXPECT_EQ(com.PollKeys(), 0);  // the abort flag holds the next key back
  EXPECT_EQ(con.PendingKeys(), 1u);
}

TEST_F(ComLib3Test, KeyLineDropsTheKeysBeyond255) {
  for (int i = 0; i < 300; ++i) con.Type("x");
  while (con.KeyPressed()) com.PollKeys();
  EXPECT_EQ(com.KeyLine.size(), 255u);
}

TEST_F(ComLib3Test, WaitKey) {
  con.TypeCode(0);
  con.TypeCode(80);
  con.Type("b");
  EXPECT_EQ(com.WaitKey(), 0);  // both codes consumed
  EXPECT_EQ(com.WaitKey(), 'b');
  con.TypeCode(27);
  con.Type("c");
  EXPECT_EQ(com.WaitKey(), 27);
  EXPECT_TRUE(com.EscFlag);
  EXPECT_EQ(com.WaitKey(), 0);  // with the flag set nothing is read
  EXPECT_EQ(con.PendingKeys(), 1u);
}

TEST_F(ComLib3Test, DelayTicks) {
  struct Case {
    int n;
    bool esc;
    Ms want;
  } cases[] = {{1, false, 100ms},
               {5, false, 500ms},
               {0, false, 100ms},
               {-3, false, 100ms},
               {5, true, 100ms}};
  for (const auto& c : cases) {
    com.FlushKeys();
    if (c.esc) {
      con.TypeCode(27);
      com.PollKeys();
    }
    Ms before = clock.NowMs();
    com.DelayTicks(c.n);
    EXPECT_EQ(clock.NowMs() - before, c.want) << c.n << " esc " << c.esc;
  }
}

TEST_F(ComLib3Test, FlushKeysDropsEverythingAndClearsTheFlag) {
  con.TypeCode(27);
  com.PollKeys();
  ASSERT_TRUE(com.EscFlag);
  con.Type("abc");
  com.FlushKeys();
  EXPECT_EQ(con.PendingKeys(), 0u);
  EXPECT_TRUE(com.KeyLine.empty());
  EXPECT_EQ(com.KeyLine.At(1), '\0');
  EXPECT_FALSE(com.EscFlag);
}

TEST_F(ComLib3Test, EditLineBackspacesThroughTheInitialText) {
  console::ShortString s("AB");
  con.Type("\b\b\b\r");
  EXPECT_EQ(com.EditLine(s, 255), 0);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(con.Row(1).substr(0, 3), "   ");
  EXPECT_EQ(con.WhereX(), 1);
  EXPECT_EQ(con.WhereY(), 2);  // CR LF written
}

TEST_F(ComLib3Test, EditLineWaitsBeforeTheFirstKey) {
  console::ShortString s;
  con.Type("Q\r", 0ms);
  Ms before = clock.NowMs();
  EXPECT_EQ(com.EditLine(s, 255), 1);
  EXPECT_EQ(clock.NowMs() - before, 100ms);
  EXPECT_EQ(s, "Q");
}

TEST_F(ComLib3Test, EditLineMaxLenCutsTheResultNotTheTyping) {
  console::ShortString s;
  con.Type("ABCDE\r");
  EXPECT_EQ(com.EditLine(s, 3), 5);
  EXPECT_EQ(s, "ABC");
  EXPECT_EQ(con.Row(1).substr(0, 6), "ABCDE ");
  // Extended keys are neither shown nor stored; typing past 255 is shown, not stored.
  console::ShortString t;
  con.TypeCode(0);
  con.TypeCode(75);
  for (int i = 0; i < 260; ++i) con.Type("z");
  con.Type("\r");
  EXPECT_EQ(com.EditLine(t, 255), 255);
}

TEST_F(ComLib3Test, EditLineEsc) {
  console::ShortString s("keep");
  con.Type("xy");
  con.TypeCode(27);
  int y = con.WhereY();
  EXPECT_EQ(com.EditLine(s, 255), -1);
  EXPECT_EQ(s, "keep");
  EXPECT_EQ(con.WhereY(), y);  // no line end
  EXPECT_TRUE(com.EscFlag);

  // Set on entry: the text is shown, 100 ms pass, no key is read.
  con.Type("z");
  Ms before = clock.NowMs();
  EXPECT_EQ(com.EditLine(s, 255), -1);
  EXPECT_EQ(clock.NowMs() - before, 100ms);
  EXPECT_EQ(con.PendingKeys(), 1u);
}

TEST_F(ComLib3Test, GeometryFollowsTheWindow) {
  con.Window(10, 5, 30, 12);
  EXPECT_EQ(com.WindowRight(), 30);
  EXPECT_EQ(com.WindowBottom(), 12);
  com.FullScreenWindow();
  EXPECT_EQ(com.WindowRight(), 80);
  EXPECT_EQ(com.WindowBottom(), 25);
  con.GotoXY(5, 3);
  com.NewLine();
  EXPECT_EQ(con.WhereX(), 1);
  EXPECT_EQ(con.WhereY(), 4);
}

TEST_F(ComLib3Test, OpenComPortAppliesTheSettings) {
  struct Case {
    char parity;
    int stop;
    comLib3::Parity want_parity;
    int want_stop;
  } cases[] = {{'E', 1, comLib3::Parity::kEven, 1},
               {'e', 1, comLib3::Parity::kEven, 1},
               {'O', 2, comLib3::Parity::kOdd, 2},
               {'N', 3, comLib3::Parity::kNone, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(com.OpenComPort(1, 9600, c.parity, 8, c.stop), 0);
    ASSERT_NE(ports.last, nullptr);
    EXPECT_EQ(ports.last->baud, 9600u);
    EXPECT_EQ(ports.last->data_bits, 8);
    EXPECT_EQ(ports.last->parity, c.want_parity);
    EXPECT_EQ(ports.last->stop_bits, c.want_stop);
    EXPECT_EQ(ports.last->timeout, 55ms);
  }
  com.WriteComPort(1, "CR\r");
  EXPECT_EQ(ports.last->Commands(), (std::vector<std::string>{"CR"}));  // open: it goes out
  const int closed = ports.closed;  // each open above closed the one before
  com.CloseComPort(1);
  EXPECT_EQ(ports.closed, closed + 1);
  com.WriteComPort(1, "CR\r");
  EXPECT_EQ(ports.last->Commands().size(), 1u);  // closed: nothing goes out
  com.CloseComPort(1);                           // closing again changes nothing
  EXPECT_EQ(ports.closed, closed + 1);
}

TEST_F(ComLib3Test, PortThatCannotBeOpened) {
  ports.fail_error = 2;
  // An extended key at the wait is taken whole: its second code (Left arrow's is K)
  // must not stay queued for the first command poll.
  con.TypeCode(0);
  con.TypeCode(75);
  EXPECT_EQ(com.OpenComPort(7, 9600, 'E', 8, 1), 2);
  EXPECT_EQ(con.Row(1).substr(0, 26), "Invalid Port Number: 7   E");
  EXPECT_EQ(con.Row(1).substr(26, 2), "2 ");
  EXPECT_EQ(con.WhereY(), 1);        // no line end
  EXPECT_EQ(con.PendingKeys(), 0u);  // the key was awaited
  // Its reads still wait out the window, so a dead line never spins.
  char buf[50];
  Ms before = clock.NowMs();
  EXPECT_EQ(com.ReadComPort(7, buf, 50), 0u);
  EXPECT_EQ(clock.NowMs() - before, 55ms);
}

TEST_F(ComLib3Test, ALostDeviceIsOpenedAgainAtMostOnceASecond) {
  ASSERT_EQ(com.OpenComPort(1, 9600, 'E', 8, 1), 0);
  ports.last->lost = true;  // the adapter is pulled
  ports.fail_error = 2;     // and stays away
  char buf[50];
  auto transaction = [&] {
    com.PurgeComPort(1);
    com.WriteComPort(1, "RD DM1\r");
    return com.ReadComPort(1, buf, 50);
  };
  Ms start = clock.NowMs();
  for (int i = 0; i < 40; ++i) EXPECT_EQ(transaction(), 0u);
  EXPECT_EQ(clock.NowMs() - start, 40 * 55ms);  // each read still costs its window
  EXPECT_EQ(ports.closed, 1);
  // Tried at the first transaction after the loss, then once a second: at 55, 1100, 2145 ms.
  EXPECT_EQ(ports.opened.size(), 1u + 3u);
  ports.fail_error = 0;  // plugged in again
  clock.Advance(1s);
  ports.last = nullptr;
  transaction();
  ASSERT_NE(ports.last, nullptr);
  EXPECT_EQ(ports.last->baud, 9600u);  // with the settings of the first open
  EXPECT_EQ(ports.last->parity, comLib3::Parity::kEven);
  EXPECT_EQ(ports.last->timeout, 55ms);
  EXPECT_EQ(ports.last->Commands(), (std::vector<std::string>{"RD DM1"}));
}

// A device opened again may be a new adapter or a restarted controller: the connection is
// opened first, as at start, and the transaction follows.
TEST_F(ComLib3Test, AReopenedControllerPortGetsCRFirst) {
  PLC_Lib3::OpenPlcPort(com, 1);
  ports.last->lost = true;
  console::ShortString reply;
  PLC_Lib3::PlcReadDm(com, 1, 992, reply);
  ASSERT_GE(ports.opened.size(), 2u);
  std::vector<std::string> cmds = ports.last->Commands();
  ASSERT_GE(cmds.size(), 2u);
  EXPECT_EQ(cmds[0], "CR");
  EXPECT_EQ(cmds[1], "RD DM992");
}

TEST_F(ComLib3Test, PortNumbersOutsideTheTableAreRefused) {
  for (std::int32_t port : {0, -1, 129, 65537, 2147483647}) {
    con.ClrScr();
    con.Type("k");
    EXPECT_EQ(com.OpenComPort(port, 9600, 'E', 8, 1), comLib3::kNoSuchDevice) << port;
    EXPECT_EQ(con.Row(1).substr(0, 21 + std::to_string(port).size() + 5),
              "Invalid Port Number: " + std::to_string(port) + "   E2");
    com.PurgeComPort(port);
    com.WriteComPort(port, "CR\r");
    com.CloseComPort(port);
  }
  EXPECT_TRUE(ports.opened.empty());  // no device was asked for
}

// An ESC typed while a transaction waits for its reply, through the real key decoder.
struct EscTimingTest : testing::Test {
  VirtualClock clock;
  ByteConsole con{clock};
  FakePorts ports{clock, nullptr};
  comLib3::ComLib3 com{con, clock, ports};
};

TEST_F(EscTimingTest, AnEscTypedDuringATransactionIsSeenByTheNextPoll) {
  con.Send("\x1b", clock.NowMs() + 40ms);
  clock.Sleep(55ms);  // the read window: the ESC came 15 ms before its end
  Ms before = clock.NowMs();
  EXPECT_EQ(com.PollKeys(), 27);
  EXPECT_TRUE(com.EscFlag);
  EXPECT_LE(clock.NowMs() - before, 25ms);  // at most the rest of its wait
  // With nothing pending the poll does not wait at all.
  com.FlushKeys();
  before = clock.NowMs();
  EXPECT_EQ(com.PollKeys(), 0);
  EXPECT_EQ(clock.NowMs(), before);
}

// Each byte keeps the time it came, however late the poll takes it (a dead line polls
// about once a second): ESC and a key typed after it are two keys, and the ESC stops the
// monitor. Only bytes that came together are Alt with a key.
TEST_F(EscTimingTest, EscThenAKeyAreTwoKeysUnlessTheyCameTogether) {
  struct Case {
    Ms gap;      // from the ESC to the key
    Ms poll_at;  // when the first poll comes, after the ESC
    std::vector<int> keys;
  } cases[] = {
      {0ms, 10ms, {0, 45}},       // one burst: Alt+x
      {0ms, 900ms, {0, 45}},      // polled late, still one burst
      {30ms, 40ms, {27, 'x'}},    // polled between the two
      {30ms, 230ms, {27, 'x'}},   // both taken by one late poll
      {200ms, 900ms, {27, 'x'}},  // on a dead line
  };
  for (const auto& c : cases) {
    Ms esc = clock.NowMs() + 5ms;
    if (c.gap == 0ms) {
      con.Send("\x1bx", esc);
    } else {
      con.Send("\x1b", esc);
      con.Send("x", esc + c.gap);
    }
    clock.SleepUntil(esc + c.poll_at);
    std::vector<int> got;
    while (con.KeyPressed()) got.push_back(con.ReadKey());
    clock.Sleep(c.gap + 100ms);
    while (con.KeyPressed()) got.push_back(con.ReadKey());
    EXPECT_EQ(got, c.keys) << c.gap.count() << " ms apart, polled at " << c.poll_at.count();
  }
}

std::int32_t ReadPort(FakeConsole& con) {
  return console::ReadInteger(con, [](std::string_view t, std::int32_t& v) {
    auto r = PLC_Lib3::TextToInt(t);
    v = r.value;
    return r.ok();
  });
}

TEST(ReadInteger, SkipsBlanksAndEmptyLines) {
  struct Case {
    const char* typed;
    std::int32_t want;
  } cases[] = {{" 3 \r", 3},    {"\r\r  12\r", 12},
               {"5 junk\r", 5}, {"9x\b\r", 9},
               {"$1F\r", 31},   {"3\t4\r", 3},  // a control character ends the number
               {"\t 7\r", 7},   {"00000000000000000000000000000012\r", 12}};  // 32 characters
  for (const auto& c : cases) {
    FakeConsole con;
    con.Type(c.typed);
    EXPECT_EQ(ReadPort(con), c.want) << c.typed;
    EXPECT_EQ(con.PendingKeys(), 0u);
  }
}

TEST(ReadInteger, ATokenThatDoesNotConvertWholeIsFatal) {
  for (const char* typed : {"3a\r", "a\r", "99999999999\r", "-\r",
                            "000000000000000000000000000000012\r",  // 33: refused, not cut
                            "?1\r",                                 // a character with no code
                            "\x82"
                            "1\r"}) {  // e acute
    FakeConsole con;
    con.Type(typed);
    try {
      ReadPort(con);
      ADD_FAILURE() << typed;
    } catch (const console::FatalError& e) {
      EXPECT_EQ(e.code(), 106);
      EXPECT_STREQ(e.what(), "Invalid numeric input");
    }
  }
}

TEST(ReadInteger, APresetEntryShowsAsIfTyped) {
  FakeConsole typed, preset;
  for (FakeConsole* con : {&typed, &preset}) con->Write("Enter Comport ");
  typed.Type("12\r");
  EXPECT_EQ(ReadPort(typed), 12);
  EXPECT_EQ(console::ReadInteger(
                preset,
                [](std::string_view t, std::int32_t& v) {
                  v = PLC_Lib3::TextToInt(t).value;
                  return PLC_Lib3::TextToInt(t).ok();
                },
                "12"),
            12);
  EXPECT_EQ(preset.Row(1), typed.Row(1));
  EXPECT_EQ(preset.WhereY(), typed.WhereY());
  EXPECT_EQ(preset.reads, 0);
}

TEST(ReadInteger, EchoesWhatIsTyped) {
  FakeConsole con;
  con.Write("Enter Comport ");
  con.Type("12\b3\r");
  EXPECT_EQ(ReadPort(con), 13);
  EXPECT_EQ(con.Row(1).substr(0, 17), "Enter Comport 13 ");
  EXPECT_EQ(con.WhereY(), 2);
}

}  // namespace
