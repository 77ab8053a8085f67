#include <gtest/gtest.h>

#include <string>

#include "VtTerminal.h"
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

// Model -> renderer -> a terminal that defers its wrap as real ones do: every cell the
// same, character and colours.
void ExpectRoundTrip(const Screen& s, vt::Terminal& term, const std::string& bytes) {
  std::string error;
  ASSERT_TRUE(term.Apply(bytes, &error)) << error;
  for (int y = 1; y <= s.Rows(); ++y) {
    for (int x = 1; x <= s.Cols(); ++x) {
      ASSERT_EQ(term.At(x, y).ch, console::Cp437ToUnicode(s.At(x, y).ch)) << x << "," << y;
      ASSERT_EQ(term.At(x, y).attr, s.At(x, y).attr) << x << "," << y;
    }
  }
}

TEST(Renderer, SendsOnlyChangesAndRoundTripsEveryCode) {
  Screen s(16, 17);  // one spare row, so that the last code does not scroll
  for (int code = 0; code < 256; ++code) {
    // BEL, BS, LF and CR move the cursor instead of standing in a cell.
    bool acts = code == 7 || code == 8 || code == 10 || code == 13;
    s.TextColor(code % 16);
    s.Put(acts ? std::uint8_t{'x'} : static_cast<std::uint8_t>(code));
  }
  console::Renderer r;
  vt::Terminal term(16, 17);
  ExpectRoundTrip(s, term, r.Update(s, true));
  EXPECT_EQ(r.Update(s, true), "");  // nothing changed: nothing sent
  s.GotoXY(3, 2);
  s.Put('Z');
  std::string bytes = r.Update(s, false);
  EXPECT_EQ(bytes, "\x1b[2;3H\x1b[97;40mZ");
  ExpectRoundTrip(s, term, bytes);
  s.GotoXY(1, 5);
  EXPECT_EQ(r.Update(s, true), "\x1b[5H");  // the cursor alone
}

TEST(Renderer, TheLastColumnLeavesTheCursorUnknown) {
  // After the last column a terminal holds its wrap: the next cell needs a full move,
  // not a relative one from a guessed position.
  Screen s(10, 3);
  console::Renderer r;
  vt::Terminal term(10, 3);
  ExpectRoundTrip(s, term, r.Update(s, false));
  s.GotoXY(10, 1);
  s.Put('a');
  s.Put('b');  // the model wraps to row 2
  s.GotoXY(10, 2);
  s.Put('c');
  s.GotoXY(9, 3);
  s.Put('d');
  std::string bytes = r.Update(s, true);
  ExpectRoundTrip(s, term, bytes);
  EXPECT_EQ(term.x(), s.CursorScreenX());
  EXPECT_EQ(term.y(), s.CursorScreenY());
}

TEST(Renderer, ASmallerTerminalGetsTheTopLeftAndARepaintGetsEverything) {
  Screen s(20, 6);
  for (int y = 1; y <= 6; ++y) {
    s.GotoXY(1, y);
    s.Put(std::string(19, static_cast<char>('a' + y)));  // short of a wrap
  }
  console::Renderer r;
  r.Update(s, false);
  r.SetViewport(8, 4);
  r.Invalidate();
  vt::Terminal small(8, 4);
  std::string error;
  ASSERT_TRUE(small.Apply(r.Update(s, true), &error)) << error;
  for (int y = 1; y <= 4; ++y) {
    for (int x = 1; x <= 8; ++x) EXPECT_EQ(small.At(x, y).ch, char32_t('a' + y)) << x << "," << y;
  }
  // Larger again: the model, and the rest blank in the normal colours.
  r.SetViewport(30, 8);
  r.Invalidate();
  vt::Terminal large(30, 8);
  for (int y = 1; y <= 8; ++y)
    large.Apply("\x1b[" + std::to_string(y) + "H" + std::string(30, '#'), nullptr);
  ASSERT_TRUE(large.Apply(r.Update(s, false), &error)) << error;
  EXPECT_EQ(large.At(19, 6).ch, U'g');
  EXPECT_EQ(large.At(21, 6).ch, U' ');
  EXPECT_EQ(large.At(1, 8).ch, U' ');
  EXPECT_EQ(large.At(30, 1).attr, 0x07);
}

TEST(Cp437, GlyphsBothWays) {
  struct Case {
    std::uint8_t code;
    char32_t glyph;
  } cases[] = {{176, U'\u2591'}, {219, U'\u2588'}, {30, U'\u25B2'},
               {127, U'\u2302'}, {7, U'\u2022'},   {1, U'\u263A'}};
  for (const auto& c : cases) EXPECT_EQ(console::Cp437ToUnicode(c.code), c.glyph) << int(c.code);
  // Every code above the controls comes back from its glyph.
  for (int code = 32; code < 256; ++code) {
    if (code == 127) continue;  // typed, the house is not a key
    auto back = console::UnicodeToCp437(console::Cp437ToUnicode(static_cast<std::uint8_t>(code)));
    ASSERT_TRUE(back.has_value()) << code;
    EXPECT_EQ(*back, code);
  }
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
               {20, 2, 'H', "\x1b[12CH"},
               {20, 3, 'I', "\x1b[B\bI"},  // down one, then back one
               {1, 9, 'J', "\x1b[9HJ"}};   // shorter than down six and back
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
