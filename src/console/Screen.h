// The in-memory model of a classic text console: cells of a code-page-437 character and a
// colour attribute, the current window, the cursor and the colours. Every console
// operation the program uses is carried out here; a renderer shows the cells.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace console {

struct Cell {
  std::uint8_t ch = ' ';
  std::uint8_t attr = 0x07;  // background in the high nibble, text colour in the low
  friend bool operator==(const Cell&, const Cell&) = default;
};

inline constexpr std::uint8_t kNormalAttr = 0x07;  // light grey on black

// True when nothing is written on screen row y of these cells (cols to a row): only
// blanks, and the codes that show as blanks (0 and 255).
inline bool BlankRow(const std::vector<Cell>& cells, int cols, int y) {
  for (std::size_t i = static_cast<std::size_t>((y - 1) * cols),
                   end = i + static_cast<std::size_t>(cols);
       i < end; ++i) {
    std::uint8_t ch = cells[i].ch;
    if (ch != ' ' && ch != 0 && ch != 255) return false;
  }
  return true;
}

class Screen {
 public:
  // The size is clamped to 1..255 in both directions: the corner word holds bytes.
  Screen(int cols, int rows);

  int Cols() const { return cols_; }
  int Rows() const { return rows_; }

  // Positions are 1-based and relative to the current window; outside it the call is ignored.
  void GotoXY(int x, int y);
  int WhereX() const { return cx_; }
  int WhereY() const { return cy_; }
  // Screen corners, inclusive. A rectangle that does not fit the screen is ignored.
  void Window(int x1, int y1, int x2, int y2);
  void ClrScr();
  void TextColor(int colour) {
    attr_ = static_cast<std::uint8_t>((attr_ & 0xF0) | (colour & 0x0F));
  }
  void TextBackground(int colour) {
    attr_ = static_cast<std::uint8_t>((attr_ & 0x0F) | ((colour & 0x07) << 4));
  }
  void NormVideo() { attr_ = kNormalAttr; }
  std::uint8_t Attr() const { return attr_; }

  // Low byte: the window's last column - 1; high byte: its last row - 1.
  std::uint16_t WindowLowerRight() const {
    return static_cast<std::uint16_t>(((wy2_ - 1) << 8) | (wx2_ - 1));
  }
  int WindowLeft() const { return wx1_; }
  int WindowTop() const { return wy1_; }

  // One character: CR, LF, BS and BEL act on the cursor; every other code is drawn.
  void Put(std::uint8_t ch);
  void Put(std::string_view text) {
    for (char c : text) Put(static_cast<std::uint8_t>(c));
  }

  const Cell& At(int x, int y) const { return cells_[Index(x, y)]; }  // screen coordinates
  const std::vector<Cell>& Cells() const { return cells_; }
  // Counts the changes to the cells (not to the cursor): equal counts, equal cells.
  std::uint64_t Version() const { return version_; }
  // The count at the last change of a screen row: a row unchanged since a count is the
  // same as it was then, without looking at its cells.
  std::uint64_t RowVersion(int y) const { return row_version_[static_cast<std::size_t>(y - 1)]; }
  // Cursor in screen coordinates.
  int CursorScreenX() const { return wx1_ + cx_ - 1; }
  int CursorScreenY() const { return wy1_ + cy_ - 1; }
  // Text of a screen row (characters only), for tests and diagnostics.
  std::string RowText(int y) const;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>((y - 1) * cols_ + (x - 1));
  }
  void LineFeed();
  void ScrollUp();
  void Changed(int y) { row_version_[static_cast<std::size_t>(y - 1)] = ++version_; }

  int cols_, rows_;
  std::vector<Cell> cells_;
  int wx1_ = 1, wy1_ = 1, wx2_, wy2_;
  int cx_ = 1, cy_ = 1;
  std::uint8_t attr_ = kNormalAttr;
  std::uint64_t version_ = 0;
  std::vector<std::uint64_t> row_version_;
};

}  // namespace console
