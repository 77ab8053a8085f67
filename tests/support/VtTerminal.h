// A terminal model that behaves as xterm and tmux do where the renderer relies on it:
// the wrap after the last column is deferred until the next character, cursor moves
// clear it, erases use the current colours. The renderer's output is applied to it for
// a round trip: model -> bytes -> terminal -> the same cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt {

struct Cell {
  char32_t ch = U' ';
  int attr = 0x07;  // PC colours: background in the high nibble
};

class Terminal {
 public:
  Terminal(int cols, int rows)
      : cols_(cols), rows_(rows), grid_(static_cast<std::size_t>(cols * rows)) {}

  // Applies the bytes; false (with the reason) at the first byte it does not take.
  bool Apply(const std::string& bytes, std::string* error) {
    for (std::size_t i = 0; i < bytes.size();) {
      unsigned char b = static_cast<unsigned char>(bytes[i]);
      if (b == 0x1b) {
        if (i + 1 >= bytes.size() || bytes[i + 1] != '[') return Fail(error, "ESC without [");
        std::size_t j = i + 2;
        while (j < bytes.size() && !(bytes[j] >= 0x40 && bytes[j] <= 0x7e)) ++j;
        if (j >= bytes.size()) return Fail(error, "unfinished CSI");
        if (!Csi(bytes.substr(i + 2, j - i - 2), bytes[j])) return Fail(error, "unknown CSI");
        i = j + 1;
      } else if (b == '\r') {
        x_ = 1;
        pending_wrap_ = false;
        ++i;
      } else if (b == '\b') {
        pending_wrap_ = false;
        if (x_ > 1) --x_;
        ++i;
      } else if (b == '\n') {
        LineFeed();
        ++i;
      } else if (b < 0x20 || b == 0x7f) {
        return Fail(error, "control byte " + std::to_string(b));
      } else {
        int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (i + static_cast<std::size_t>(len) > bytes.size()) return Fail(error, "cut UTF-8");
        char32_t cp = len == 1 ? b : b & (0x7F >> len);
        for (int k = 1; k < len; ++k)
          cp = (cp << 6) | (bytes[i + static_cast<std::size_t>(k)] & 0x3F);
        i += static_cast<std::size_t>(len);
        Print(cp);
      }
    }
    return true;
  }

  const Cell& At(int x, int y) const { return grid_[Index(x, y)]; }
  int x() const { return x_; }
  int y() const { return y_; }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>((y - 1) * cols_ + (x - 1));
  }
  static bool Fail(std::string* error, const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  }
  void LineFeed() {
    pending_wrap_ = false;
    if (y_ < rows_) {
      ++y_;
      return;
    }
    for (int y = 1; y < rows_; ++y) {
      for (int x = 1; x <= cols_; ++x) grid_[Index(x, y)] = grid_[Index(x, y + 1)];
    }
    for (int x = 1; x <= cols_; ++x) grid_[Index(x, rows_)] = Cell{U' ', attr_};
  }
  void Print(char32_t cp) {
    if (pending_wrap_) {
      x_ = 1;
      LineFeed();
    }
    grid_[Index(x_, y_)] = Cell{cp, attr_};
    if (x_ < cols_) {
      ++x_;
    } else {
      pending_wrap_ = true;  // deferred, as real terminals do
    }
  }
  static int Num(const std::string& s, int fallback) { return s.empty() ? fallback : std::stoi(s); }
  bool Csi(const std::string& params, char f) {
    if (!params.empty() && params[0] == '?') return f == 'h' || f == 'l';
    std::vector<std::string> p(1);
    for (char c : params) {
      if (c == ';') {
        p.emplace_back();
      } else if (c >= '0' && c <= '9') {
        p.back() += c;
      } else {
        return false;
      }
    }
    auto clamp = [](int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; };
    int n = Num(p[0], 1);
    switch (f) {
      case 'H':
        y_ = clamp(n, 1, rows_);
        x_ = clamp(p.size() > 1 ? Num(p[1], 1) : 1, 1, cols_);
        break;
      case 'A':
        y_ = clamp(y_ - n, 1, rows_);
        break;
      case 'B':
        y_ = clamp(y_ + n, 1, rows_);
        break;
      case 'C':
        x_ = clamp(x_ + n, 1, cols_);
        break;
      case 'D':
        x_ = clamp(x_ - n, 1, cols_);
        break;
      case 'J':
        if (Num(p[0], 0) != 2) return false;
        for (auto& c : grid_) c = Cell{U' ', attr_};
        return true;
      case 'K':
        for (int x = x_; x <= cols_; ++x) grid_[Index(x, y_)] = Cell{U' ', attr_};
        return true;
      case 'm':
        return Sgr(p);
      default:
        return false;
    }
    pending_wrap_ = false;
    return true;
  }
  bool Sgr(const std::vector<std::string>& p) {
    static constexpr int kPc[8] = {0, 4, 2, 6, 1, 5, 3, 7};  // ANSI order to PC order
    for (const auto& s : p) {
      int v = Num(s, 0);
      if (v == 0) {
        attr_ = 0x07;
      } else if (v >= 30 && v <= 37) {
        attr_ = (attr_ & 0xF0) | kPc[v - 30];
      } else if (v >= 90 && v <= 97) {
        attr_ = (attr_ & 0xF0) | 8 | kPc[v - 90];
      } else if (v >= 40 && v <= 47) {
        attr_ = (attr_ & 0x0F) | (kPc[v - 40] << 4);
      } else {
        return false;
      }
    }
    return true;
  }

  int cols_, rows_;
  std::vector<Cell> grid_;
  int x_ = 1, y_ = 1;
  int attr_ = 0x07;
  bool pending_wrap_ = false;
};

}  // namespace vt
