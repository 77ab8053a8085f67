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

// The shortest way from where the terminal's cursor is to (x, y).
void MoveTo(std::string& out, const TermState& term, int x, int y) {
  std::string best = "\x1b[" + std::to_string(y) + (x != 1 ? ";" + std::to_string(x) : "") + "H";
  auto consider = [&best](std::string s) {
    if (s.size() < best.size()) best = std::move(s);
  };
  if (term.x >= 1 && term.y >= 1) {
    if (term.y == y) {
      if (x == 1) consider("\r");
      if (x == term.x - 1) consider("\b");
      if (x < term.x) consider(Csi(term.x - x, 'D'));
      if (x > term.x) consider(Csi(x - term.x, 'C'));
    } else if (term.x == x) {
      consider(y < term.y ? Csi(term.y - y, 'A') : Csi(y - term.y, 'B'));
    }
  }
  out += best;
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

std::string RenderFrame(const std::vector<Cell>* last, const Screen& now, TermState& term,
                        bool place_cursor) {
  const auto& cells = now.Cells();
  if (last != nullptr && last->size() != cells.size()) last = nullptr;
  std::string out;
  const int cols = now.Cols();
  auto changed = [&](int x, int y) {
    std::size_t i = static_cast<std::size_t>((y - 1) * cols + (x - 1));
    return last == nullptr || (*last)[i] != cells[i];
  };
  auto emit = [&](int x, int y) {
    const Cell& c = now.At(x, y);
    if (c.attr != term.attr) {
      out += SgrFor(c.attr);
      term.attr = c.attr;
    }
    AppendUtf8(out, Cp437ToUnicode(c.ch));
    // After the last column the terminal holds a pending wrap: position unknown.
    if (x < cols) {
      term.x = x + 1;
      term.y = y;
    } else {
      term.x = term.y = 0;
    }
  };
  for (int y = 1; y <= now.Rows(); ++y) {
    for (int x = 1; x <= cols; ++x) {
      if (!changed(x, y)) continue;
      if (term.y == y && term.x >= 1 && term.x < x && x - term.x <= 4) {
        // A short gap is cheaper to write again than to jump over.
        bool same_attr = true;
        for (int g = term.x; g < x; ++g) same_attr = same_attr && now.At(g, y).attr == term.attr;
        if (same_attr) {
          for (int g = term.x; g < x;) emit(g++, y);
        }
      }
      if (term.x != x || term.y != y) MoveTo(out, term, x, y);
      emit(x, y);
    }
  }
  if (place_cursor) {
    int x = now.CursorScreenX(), y = now.CursorScreenY();
    if (term.x != x || term.y != y) {
      MoveTo(out, term, x, y);
      term.x = x;
      term.y = y;
    }
  }
  return out;
}

std::string Renderer::Update(const Screen& now, bool place_cursor) {
  std::string out = RenderFrame(have_last_ ? &last_ : nullptr, now, term_, place_cursor);
  last_ = now.Cells();
  have_last_ = true;
  last_written_row_ = 0;
  for (int y = now.Rows(); y >= 1 && last_written_row_ == 0; --y) {
    for (int x = 1; x <= now.Cols(); ++x) {
      std::uint8_t ch = now.At(x, y).ch;
      if (ch != ' ' && ch != 0 && ch != 255) {
        last_written_row_ = y;
        break;
      }
    }
  }
  return out;
}

}  // namespace console
