#include <gtest/gtest.h>

#include <string>

#include "console/Cp437.h"
#include "console/Renderer.h"
#include "console/Screen.h"

namespace {

using console::Screen;

TEST(Screen, WrapsAtTheWindowsLastColumnAndScrollsOnItsLastRow) {
  Screen s(20, 10);
  s.Window(5, 3, 9, 5);  // 5 columns, 3 rows
  s.TextBackground(1);
  s.ClrScr();
  s.Put("abcde");
  EXPECT_EQ(s.WhereX(), 1);
  EXPECT_EQ(s.WhereY(), 2);
  s.Put("fghij");
  s.Put("klmno");  // fills the last cell: the window scrolls, the cursor stays on row 3
  EXPECT_EQ(s.WhereX(), 1);
  EXPECT_EQ(s.WhereY(), 3);
  EXPECT_EQ(s.RowText(3).substr(4, 5), "fghij");
  EXPECT_EQ(s.RowText(4).substr(4, 5), "klmno");
  EXPECT_EQ(s.RowText(5).substr(4, 5), "     ");
  EXPECT_EQ(s.At(5, 5).attr, 0x17);  // the new row in the current background
  // Nothing outside the window moved.
  EXPECT_EQ(s.RowText(2), std::string(20, ' '));
  EXPECT_EQ(s.At(4, 3).attr, 0x07);
  EXPECT_EQ(s.At(10, 3).attr, 0x07);
}

TEST(Screen, LineEndsBackspaceAndBell) {
  Screen s(10, 3);
  s.Put("abc");
  s.Put(8);
  EXPECT_EQ(s.WhereX(), 3);
  s.Put(7);
  EXPECT_EQ(s.WhereX(), 3);
  s.Put("\r\n");
  EXPECT_EQ(s.WhereX(), 1);
  EXPECT_EQ(s.WhereY(), 2);
  s.Put(8);  // never left of column 1
  EXPECT_EQ(s.WhereX(), 1);
  s.Put("\r\n\r\n");  // a line end on the last row scrolls
  EXPECT_EQ(s.WhereY(), 3);
  EXPECT_EQ(s.RowText(1).substr(0, 3), "   ");
  s.Put(27);  // other control codes are drawn
  EXPECT_EQ(s.At(1, 3).ch, 27);
}

TEST(Screen, ClrScrUsesTheBackgroundAndHomesTheCursor) {
  Screen s(8, 4);
  s.TextColor(14);
  s.TextBackground(1);
  s.GotoXY(3, 3);
  s.ClrScr();
  EXPECT_EQ(s.WhereX(), 1);
  EXPECT_EQ(s.WhereY(), 1);
  for (int y = 1; y <= 4; ++y) {
    for (int x = 1; x <= 8; ++x) EXPECT_EQ(s.At(x, y).attr, 0x1E);
  }
  s.NormVideo();
  EXPECT_EQ(s.Attr(), 0x07);
}

TEST(Screen, OutOfRangePositionsAndWindowsAreIgnored) {
  Screen s(80, 25);
  s.GotoXY(5, 6);
  for (auto [x, y] : {std::pair{0, 1}, {1, 0}, {81, 1}, {1, 26}, {-3, -3}}) {
    s.GotoXY(x, y);
    EXPECT_EQ(s.WhereX(), 5);
    EXPECT_EQ(s.WhereY(), 6);
  }
  struct W {
    int x1, y1, x2, y2;
  } bad[] = {{0, 1, 10, 10}, {1, 1, 81, 10}, {1, 1, 10, 26}, {10, 1, 9, 5}, {1, 5, 10, 4}};
  for (auto w : bad) {
    s.Window(w.x1, w.y1, w.x2, w.y2);
    EXPECT_EQ(s.WindowLowerRight(), (24 << 8) | 79);
  }
  s.Window(24, 4, 56, 21);
  EXPECT_EQ(s.WindowLowerRight(), (20 << 8) | 55);
  s.GotoXY(34, 1);  // beyond the window's width
  EXPECT_EQ(s.WhereX(), 1);
  s.GotoXY(33, 18);
  EXPECT_EQ(s.CursorScreenX(), 56);
  EXPECT_EQ(s.CursorScreenY(), 21);
}

TEST(Screen, SizeIsClampedToWhatTheCornerWordHolds) {
  Screen s(300, 0);
  EXPECT_EQ(s.Cols(), 255);
  EXPECT_EQ(s.Rows(), 1);
}

// Applies the renderer's output to a grid, as a terminal would, for a round trip.
struct MiniTerminal {
  int cols, rows, x = 1, y = 1;
  std::vector<std::u32string> grid;
  MiniTerminal(int c, int r) : cols(c), rows(r), grid(r, std::u32string(c, U'?')) {}
  void Apply(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
      unsigned char b = bytes[i];
      if (b == 0x1b) {
        std::size_t j = i + 2;
        while (j < bytes.size() && !(bytes[j] >= 0x40 && bytes[j] <= 0x7e)) ++j;
        std::string params = bytes.substr(i + 2, j - i - 2);
        int n = params.empty() ? 1 : std::stoi(params);
        switch (bytes[j]) {
          case 'H': {
            std::size_t semi = params.find(';');
            y = std::stoi(params.substr(0, semi));
            x = semi == std::string::npos ? 1 : std::stoi(params.substr(semi + 1));
            break;
          }
          case 'A':
            y -= n;
            break;
          case 'B':
            y += n;
            break;
          case 'C':
            x += n;
            break;
          case 'D':
            x -= n;
            break;
          default:
            break;
        }
        i = j + 1;
        continue;
      }
      if (b == '\r' || b == '\b') {  // the renderer's own short cursor moves
        x = b == '\r' ? 1 : x - 1;
        ++i;
        continue;
      }
      ASSERT_GE(b, 0x20) << "a control byte reached the terminal";
      char32_t cp;
      int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      cp = len == 1 ? b : b & (0x7F >> len);
      for (int k = 1; k < len; ++k) cp = (cp << 6) | (bytes[i + k] & 0x3F);
      i += len;
      ASSERT_LE(x, cols);
      grid[y - 1][x - 1] = cp;
      if (x < cols) ++x;
    }
  }
};

TEST(Renderer, SendsOnlyChangesAndRoundTripsEveryCode) {
  Screen s(16, 17);  // one spare row, so that the last code does not scroll
  for (int code = 0; code < 256; ++code) {
    // BEL, BS, LF and CR move the cursor instead of standing in a cell.
    bool acts = code == 7 || code == 8 || code == 10 || code == 13;
    s.Put(acts ? std::uint8_t{'x'} : static_cast<std::uint8_t>(code));
  }
  console::Renderer r;
  MiniTerminal term(16, 17);
  term.Apply(r.Update(s, true));
  for (int y = 1; y <= 16; ++y) {
    for (int x = 1; x <= 16; ++x) {
      EXPECT_EQ(term.grid[y - 1][x - 1], console::Cp437ToUnicode(s.At(x, y).ch)) << x << "," << y;
    }
  }
  EXPECT_EQ(r.Update(s, true), "");  // nothing changed: nothing sent
  s.GotoXY(3, 2);
  s.Put('Z');
  std::string bytes = r.Update(s, false);
  EXPECT_EQ(bytes, "\x1b[2;3HZ");
  term.Apply(bytes);
  EXPECT_EQ(term.grid[1][2], U'Z');
  s.GotoXY(1, 5);
  EXPECT_EQ(r.Update(s, true), "\x1b[5H");  // the cursor alone
}

TEST(Renderer, TakesTheShortestCursorMove) {
  Screen s(40, 10);
  console::Renderer r;
  r.Update(s, true);
  struct Step {
    int x, y;
    char c;
    const char* bytes;  // sent for writing c at (x, y)
  } steps[] = {{20, 9, 'A', "\x1b[9;20HA"},
               {20, 9, 'B', "\bB"},
               {10, 9, 'C', "\x1b[11DC"},
               {1, 9, 'D', "\rD"},
               {5, 9, 'E', "   E"},
               {6, 2, 'F', "\x1b[7AF"},
               {7, 2, 'G', "G"},
               {20, 2, 'H', "\x1b[12CH"}};
  for (const auto& st : steps) {
    s.GotoXY(st.x, st.y);
    s.Put(static_cast<std::uint8_t>(st.c));
    EXPECT_EQ(r.Update(s, false), st.bytes) << st.c;
  }
}

TEST(Renderer, ColoursFollowThePcPalette) {
  EXPECT_EQ(console::SgrFor(0x71), "\x1b[34;47m");  // blue on light grey
  EXPECT_EQ(console::SgrFor(0x1E), "\x1b[93;44m");  // yellow on blue
  EXPECT_EQ(console::SgrFor(0x02), "\x1b[32;40m");  // green on black
}

}  // namespace
