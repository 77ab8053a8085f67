#include <gtest/gtest.h>

#include "Fakes.h"
#include "PLC_Lib3/PLC_Lib3.h"
#include "ZUL_Lib3/ZUL_Lib3.h"

namespace {

using namespace fakes;
using console::Screen;

constexpr std::uint8_t kYellowOnBlue = 0x1E, kGreenOnBlack = 0x02, kBlack = 0x00;

struct TerminalTest : testing::Test {
  VirtualClock clock;
  std::unique_ptr<FakeConsole> con;
  std::unique_ptr<FakePorts> ports;
  std::unique_ptr<comLib3::ComLib3> com;
  std::function<std::string(const std::string&)> controller = [](const std::string& c) {
    return "R:" + c + "\r\n";
  };
  ScriptedLine* line = nullptr;

  void Make(int cols = 80, int rows = 25) {
    com.reset();  // its port devices belong to the old ports
    ports.reset();
    con = std::make_unique<FakeConsole>(cols, rows, &clock);
    ports =
        std::make_unique<FakePorts>(clock, [this](const std::string& c) { return controller(c); });
    com = std::make_unique<comLib3::ComLib3>(*con, clock, *ports);
    PLC_Lib3::OpenPlcPort(*com, 1);
    line = ports->last;
    line->Forget();
    con->keep_snapshots = true;
  }
  void SetUp() override { Make(); }
  // Types the lines, each ended by Enter, then ESC; keys come after the terminal opened.
  void Run(const std::vector<std::string>& lines) {
    Ms t = clock.NowMs() + 1ms;
    for (const auto& l : lines) {
      con->Type(l, t);
      con->Type("\r", t);
    }
    con->TypeCode(27, t);
    EXPECT_EQ(ZUL_Lib3::RunTerminal(*com, 1), 27);
  }
  // An exchange as its row shows it: the command from column 2, the reply from 19.
  static std::string Exchange(const std::string& cmd, const std::string& reply, int width = 33) {
    std::string row = " " + cmd;
    row.resize(16, ' ');
    row += ": " + reply;
    row.resize(static_cast<std::size_t>(width), ' ');
    return row;
  }
  // A screen row's text between two columns, inclusive.
  static std::string Cols(const Screen& s, int y, int x1, int x2) {
    return s.RowText(y).substr(static_cast<std::size_t>(x1 - 1),
                               static_cast<std::size_t>(x2 - x1 + 1));
  }
};

TEST_F(TerminalTest, BoxShadowBannerAndHeaderOn80x25) {
  Run({});
  ASSERT_FALSE(con->snapshots.empty());
  const Screen& s = con->snapshots.front();  // at the first key
  for (int y = 1; y <= 25; ++y) {
    for (int x = 1; x <= 80; ++x) {
      bool box = x >= 23 && x <= 57 && y >= 3 && y <= 22;
      bool shadow = !box && x >= 24 && x <= 58 && y >= 4 && y <= 23;
      std::uint8_t a = s.At(x, y).attr;
      if (shadow) {
        EXPECT_EQ(a >> 4, kBlack) << x << "," << y;
      }
      if (!box && !shadow) {
        EXPECT_EQ(a, 0x07) << x << "," << y;
      }
      bool frame = box && (x == 23 || x == 57 || y == 3 || y == 22);
      if (frame) {
        EXPECT_EQ(a, kYellowOnBlue) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(Cols(s, 4, 24, 56), ZUL_Lib3::kBanner);
  EXPECT_EQ(s.At(24, 4).attr, kYellowOnBlue);
  EXPECT_EQ(Cols(s, 6, 24, 56), ZUL_Lib3::kHeader);
  EXPECT_EQ(s.At(24, 6).attr, kGreenOnBlack);
  // The first prompt, directly below the header, cursor on the '>'.
  EXPECT_EQ(Cols(s, 7, 24, 56), " >              : <              ");
  EXPECT_EQ(s.CursorScreenX(), 25);
  EXPECT_EQ(s.CursorScreenY(), 7);
  EXPECT_EQ(s.WindowLowerRight(), (20 << 8) | 55);  // inner window 24..56 x 4..21
}

TEST_F(TerminalTest, CommandAndReplyShareTheirRow) {
  Run({"RD DM992", "", "WR DM100 -5 7"});
  EXPECT_EQ(line->Commands(), (std::vector<std::string>{"RD DM992", "", "WR DM100 65531"}));
  std::vector<std::string> writes;
  for (const auto& e : line->events) {
    if (e.kind == LineEvent::kWrite) writes.push_back(e.data);
  }
  EXPECT_EQ(writes, (std::vector<std::string>{"RD DM992\r", "\r", "WR DM100 65531\r"}));
  const Screen& s = con->snapshots.back();  // at ESC
  EXPECT_EQ(Cols(s, 7, 24, 56), Exchange("RD DM992", "R:RD DM992"));
  EXPECT_EQ(Cols(s, 8, 24, 56), Exchange(">", "R:"));  // an empty line keeps the mark
  EXPECT_EQ(Cols(s, 9, 24, 56), Exchange("WR DM100 -5 7", "R:WR DM100 6553"));
  EXPECT_EQ(s.At(24, 7).attr, kGreenOnBlack);
}

TEST_F(TerminalTest, WindowFillsThenScrollsKeepingTheLastRowEmpty) {
  controller = [](const std::string&) { return std::string("OK\r\n"); };
  std::vector<std::string> cmds;
  for (int i = 1; i <= 20; ++i) cmds.push_back("C" + std::to_string(i));
  Run(cmds);
  // Snapshot k is taken at the first key of prompt k (each command has 2 or 3 keys + Enter).
  std::vector<int> prompt_rows;
  std::size_t snap = 0;
  for (int i = 1; i <= 20; ++i) {
    prompt_rows.push_back(con->snapshots[snap].WhereY());
    snap += cmds[static_cast<std::size_t>(i - 1)].size() + 1;
  }
  prompt_rows.push_back(con->snapshots[snap].WhereY());  // the prompt that ESC answers
  std::vector<int> want;
  for (int r = 4; r <= 17; ++r) want.push_back(r);
  while (want.size() < 21) want.push_back(17);
  EXPECT_EQ(prompt_rows, want);
  const Screen& s = con->snapshots.back();
  EXPECT_EQ(Cols(s, 21, 24, 56), std::string(33, ' '));  // window row 18 stays empty
  EXPECT_EQ(Cols(s, 19, 24, 56), Exchange("C20", "OK"));
  EXPECT_EQ(Cols(s, 20, 24, 56), Exchange(">", "<"));
  EXPECT_EQ(Cols(s, 6, 24, 56), Exchange("C7", "OK"));  // the header has scrolled away
}

TEST_F(TerminalTest, LongRepliesPushTheNextPromptDown) {
  struct Case {
    int len;
    int next_row;  // window row of the prompt after the first exchange
    std::string row5;
  } cases[] = {{14, 5, ""}, {15, 6, std::string(33, ' ')}, {16, 6, "X" + std::string(32, ' ')}};
  for (const auto& c : cases) {
    Make();
    controller = [&c](const std::string&) {
      return std::string(static_cast<std::size_t>(c.len - 1), 'X') + "Y\r\n";
    };
    Run({"A", "B"});
    const Screen& s = con->snapshots[2];  // the first key of the second prompt
    EXPECT_EQ(s.WhereY(), c.next_row) << c.len;
    if (c.len == 16) {
      EXPECT_EQ(Cols(s, 8, 24, 24), "Y") << "the 16th character wraps to column 1";
    }
    if (c.len == 15) {
      EXPECT_EQ(Cols(s, 8, 24, 56), std::string(33, ' ')) << "an empty row between";
    }
  }
}

TEST_F(TerminalTest, OddScreenWidthGivesA34ColumnWindow) {
  Make(81, 25);
  controller = [](const std::string&) { return std::string("OK\r\n"); };
  std::vector<std::string> cmds;
  for (int i = 1; i <= 17; ++i) cmds.push_back(std::string(1, static_cast<char>('a' + i - 1)));
  Run(cmds);
  const Screen& first = con->snapshots.front();
  EXPECT_EQ(first.WindowLowerRight() & 0xFF, 56);  // columns 24..57
  EXPECT_EQ(Cols(first, 4, 24, 57), std::string(ZUL_Lib3::kBanner) + " ");
  // The template no longer fills the row: once full, the marks and the exchange are written
  // on the row above the template, over the previous exchange.
  const Screen& s = con->snapshots.back();
  EXPECT_EQ(s.WhereY(), 17);
  EXPECT_EQ(Cols(s, 20, 24, 57), Exchange(">", "OK", 34));
  EXPECT_EQ(Cols(s, 21, 24, 57), Exchange("", "<", 34));
}

TEST_F(TerminalTest, EscLeavesAtOnceInTheMonitorsColours) {
  Run({});
  EXPECT_TRUE(line->events.empty());  // nothing sent
  EXPECT_FALSE(com->EscFlag);
  EXPECT_TRUE(com->KeyLine.empty());
  const Screen& s = con->screen();
  EXPECT_EQ(s.WindowLowerRight(), (24 << 8) | 79);
  EXPECT_EQ(s.WhereX(), 1);
  EXPECT_EQ(s.WhereY(), 1);
  for (int y = 1; y <= 25; ++y) {
    for (int x = 1; x <= 80; ++x) {
      ASSERT_EQ(s.At(x, y), (console::Cell{' ', 0x71})) << x << "," << y;
    }
  }
}

TEST_F(TerminalTest, KeysTypedAheadAreDropped) {
  con->Type("RD 1\r");  // waiting before the terminal opened
  con->TypeCode(27, 1ms);
  ZUL_Lib3::RunTerminal(*com, 1);
  EXPECT_TRUE(line->events.empty());
}

}  // namespace
