#include "console/Screen.h"

#include <algorithm>
#include <string>

namespace console {

Screen::Screen(int cols, int rows)
    : cols_(std::clamp(cols, 1, 255)),
      rows_(std::clamp(rows, 1, 255)),
      cells_(static_cast<std::size_t>(cols_ * rows_)),
      wx2_(cols_),
      wy2_(rows_),
      row_version_(static_cast<std::size_t>(rows_), 0) {}

void Screen::GotoXY(int x, int y) {
  if (x < 1 || y < 1 || x > wx2_ - wx1_ + 1 || y > wy2_ - wy1_ + 1) return;
  cx_ = x;
  cy_ = y;
}

void Screen::Window(int x1, int y1, int x2, int y2) {
  if (x1 < 1 || y1 < 1 || x2 > cols_ || y2 > rows_ || x1 > x2 || y1 > y2) return;
  wx1_ = x1;
  wy1_ = y1;
  wx2_ = x2;
  wy2_ = y2;
  cx_ = 1;
  cy_ = 1;
}

void Screen::ClrScr() {
  Cell blank{' ', attr_};
  for (int y = wy1_; y <= wy2_; ++y) {
    for (int x = wx1_; x <= wx2_; ++x) cells_[Index(x, y)] = blank;
    Changed(y);
  }
  cx_ = 1;
  cy_ = 1;
}

void Screen::ScrollUp() {
  for (int y = wy1_; y < wy2_; ++y) {
    for (int x = wx1_; x <= wx2_; ++x) cells_[Index(x, y)] = cells_[Index(x, y + 1)];
    Changed(y);
  }
  Cell blank{' ', attr_};
  for (int x = wx1_; x <= wx2_; ++x) cells_[Index(x, wy2_)] = blank;
  Changed(wy2_);
}

void Screen::LineFeed() {
  if (cy_ < wy2_ - wy1_ + 1) {
    ++cy_;
  } else {
    ScrollUp();
  }
}

void Screen::Put(std::uint8_t ch) {
  switch (ch) {
    case 13:
      cx_ = 1;
      return;
    case 10:
      LineFeed();
      return;
    case 8:
      if (cx_ > 1) --cx_;
      return;
    case 7:
      return;
    default:
      break;
  }
  Cell& cell = cells_[Index(CursorScreenX(), CursorScreenY())];
  if (cell != Cell{ch, attr_}) {
    cell = Cell{ch, attr_};
    Changed(CursorScreenY());
  }
  if (cx_ < wx2_ - wx1_ + 1) {
    ++cx_;
  } else {
    cx_ = 1;
    LineFeed();
  }
}

std::string Screen::RowText(int y) const {
  std::string s;
  for (int x = 1; x <= cols_; ++x) s += static_cast<char>(At(x, y).ch);
  return s;
}

}  // namespace console
