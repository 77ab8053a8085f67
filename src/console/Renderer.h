// Turns the screen model into VT/ANSI output: only the cells that changed since the last
// frame are sent, every character as its code-page-437 glyph in UTF-8. No I/O of its own.
#pragma once

#include <string>
#include <vector>

#include "console/Screen.h"

namespace console {

// What the terminal is known to show after the bytes sent so far.
struct TermState {
  int x = 0, y = 0;  // cursor, 1-based; 0 when unknown
  int attr = -1;     // -1 when unknown
};

// The bytes that turn `last` into `now` (all cells when `last` is null or of another size).
// With place_cursor the terminal's cursor ends on the model's cursor.
std::string RenderFrame(const std::vector<Cell>* last, const Screen& now, TermState& term,
                        bool place_cursor);

std::string SgrFor(int attr);

class Renderer {
 public:
  std::string Update(const Screen& now, bool place_cursor);
  // The lowest row whose character is not a blank, as last sent; 0 for none.
  int LastWrittenRow() const { return last_written_row_; }

 private:
  std::vector<Cell> last_;
  bool have_last_ = false;
  TermState term_;
  int last_written_row_ = 0;
};

}  // namespace console
