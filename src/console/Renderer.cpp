#include "console/Renderer.h"

#include <string>

#include "console/Cp437.h"

namespace console {
namespace {

// PC palette order (blue before red) to ANSI order.
constexpr int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

std::string Csi(int n, char final_byte) {
  return "\x1b[" + (n == 1 ? std::string() : std::to_string(n)) + final_byte;
}

}  // namespace

std::string SgrFor(int attr) {
  int fg = attr & 0x0F;
  int bg = (attr >> 4) & 0x07;
  std::string s = "\x1b[";
  s += std::to_string((fg & 8 ? 90 : 30) + kAnsi[fg & 7]);
  s += ';';
  s += std::to_string(40 + kAnsi[bg]);
  s += 'm';
  return s;
}

CellRect ChangedRect(const std::vector<Cell>* last, const Screen& now, int cols, int rows,
                     std::uint64_t since) {
  const auto& cells = now.Cells();
  if (last != nullptr && last->size() != cells.size()) last = nullptr;
  CellRect r{cols + 1, rows + 1, 0, 0};
  for (int y = 1; y <= rows; ++y) {
    if (last != nullptr && now.RowVersion(y) <= since) continue;
    for (int x = 1; x <= cols; ++x) {
      std::size_t i = static_cast<std::size_t>((y - 1) * now.Cols() + (x - 1));
      if (last != nullptr && (*last)[i] == cells[i]) continue;
      if (x < r.x1) r.x1 = x;
      if (x > r.x2) r.x2 = x;
      if (y < r.y1) r.y1 = y;
      r.y2 = y;
    }
  }
  return r;
}

void Renderer::SetViewport(int cols, int rows) {
  view_cols_ = cols;
  view_rows_ = rows;
}

void Renderer::Invalidate() {
  have_last_ = false;
  tx_ = ty_ = 0;
  tattr_ = -1;
}

// The shortest way from where the terminal's cursor is to (x, y): a full move, or one up
// or down and one along the row from where it is known to be.
void Renderer::MoveTo(std::string& out, int x, int y) {
  std::string best =
      "\x1b[" + std::to_string(y) + (x != 1 || plain_ ? ";" + std::to_string(x) : "") + "H";
  if (tx_ >= 1 && ty_ >= 1) {
    std::string vertical = y < ty_ ? Csi(ty_ - y, 'A') : y > ty_ ? Csi(y - ty_, 'B') : "";
    std::string along;
    if (x != tx_) {
      along = x < tx_ ? Csi(tx_ - x, 'D') : Csi(x - tx_, 'C');
      if (x == 1 && !plain_) along = "\r";
      if (x == tx_ - 1) along = "\b";
    }
    if (vertical.size() + along.size() < best.size()) best = vertical + along;
  }
  out += best;
  tx_ = x;
  ty_ = y;
}

void Renderer::Emit(std::string& out, const Screen& now, int x, int y) {
  const Cell& c = now.At(x, y);
  if (c.attr != tattr_) {
    out += SgrFor(c.attr);
    tattr_ = c.attr;
  }
  AppendUtf8(out, Cp437ToUnicode(c.ch));
  // After the terminal's last column it holds a pending wrap: the position is unknown.
  if (x < (view_cols_ > 0 ? view_cols_ : now.Cols())) {
    tx_ = x + 1;
    ty_ = y;
  } else {
    tx_ = ty_ = 0;
  }
}

void Renderer::Paint(std::string& out, const Screen& now, const CellRect& area) {
  const std::vector<Cell>* last = have_last_ ? &last_ : nullptr;
  const auto& cells = now.Cells();
  auto changed = [&](int x, int y) {
    std::size_t i = static_cast<std::size_t>((y - 1) * now.Cols() + (x - 1));
    return last == nullptr || (*last)[i] != cells[i];
  };
  for (int y = area.y1; y <= area.y2; ++y) {
    for (int x = area.x1; x <= area.x2; ++x) {
      if (!changed(x, y)) continue;
      if (ty_ == y && tx_ >= 1 && tx_ < x && x - tx_ <= 4) {
        // A short gap is cheaper to write again than to jump over.
        bool same_attr = true;
        for (int g = tx_; g < x; ++g) same_attr = same_attr && now.At(g, y).attr == tattr_;
        if (same_attr) {
          for (int g = tx_; g < x;) Emit(out, now, g++, y);
        }
      }
      if (tx_ != x || ty_ != y) MoveTo(out, x, y);
      Emit(out, now, x, y);
    }
  }
}

std::string Renderer::Update(const Screen& now, bool place_cursor) {
  std::string out;
  const int cols = ViewCols(now), rows = ViewRows(now);
  if (have_last_ && last_.size() != now.Cells().size()) Invalidate();
  if (!have_last_ || now.Version() != last_version_) {
    if (!have_last_) {
      out += plain_ ? "\x1b[0m\x1b[1;1H\x1b[2J" : "\x1b[0m\x1b[H\x1b[2J";  // a blank terminal
      tattr_ = -1;
      tx_ = ty_ = 1;
    }
    const bool all = !have_last_;
    CellRect area = ChangedRect(all ? nullptr : &last_, now, cols, rows, last_version_);
    if (!area.empty()) Paint(out, now, area);
    // The lowest written row: only rows that changed can have become written or blank.
    int lowest = 0;
    for (int y = now.Rows(); y >= 1; --y) {
      bool changed = all || now.RowVersion(y) > last_version_;
      if (y > last_written_row_ && !changed) continue;  // blank before, and still
      if (y == last_written_row_ && !changed) {
        lowest = y;  // written before, and still
        break;
      }
      if (!BlankRow(now.Cells(), now.Cols(), y)) {
        lowest = y;
        break;
      }
    }
    last_written_row_ = lowest;
    last_ = now.Cells();
    have_last_ = true;
    last_version_ = now.Version();
  }
  if (place_cursor) {
    int x = now.CursorScreenX(), y = now.CursorScreenY();
    if (x <= cols && y <= rows && (tx_ != x || ty_ != y)) MoveTo(out, x, y);
  }
  return out;
}

std::size_t RestoreBytes(char* buf, int last_row) {
  std::size_t n = 0;
  auto put = [&](const char* s) {
    while (*s) buf[n++] = *s++;
  };
  put("\x1b[0m\x1b[?25h");
  if (last_row > 0) {
    char digits[12];
    int k = 0;
    for (int v = last_row; v > 0; v /= 10) digits[k++] = static_cast<char>('0' + v % 10);
    put("\x1b[");
    while (k > 0) buf[n++] = digits[--k];
    put("H");
  }
  put("\r\n");
  return n;
}

int LastWrittenRow(const std::vector<Cell>& frame, int cols, int rows) {
  for (int y = rows; y >= 1; --y) {
    if (!BlankRow(frame, cols, y)) return y;
  }
  return 0;
}

}  // namespace console
