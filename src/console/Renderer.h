// Turns the screen model into VT/ANSI output: only the cells that changed since the last
// frame are sent, every character as its code-page-437 glyph in UTF-8. No I/O of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/Screen.h"

namespace console {

std::string SgrFor(int attr);

// A rectangle of screen cells, inclusive; empty when x1 > x2.
struct CellRect {
  int x1 = 1, y1 = 1, x2 = 0, y2 = 0;
  bool empty() const { return x1 > x2 || y1 > y2; }
};

// The smallest rectangle, within the first cols x rows cells, that holds every cell of
// `now` that differs from `last` (all of them when `last` is null or of another size).
// Rows that have not changed since the count `since` are not looked at.
CellRect ChangedRect(const std::vector<Cell>* last, const Screen& now, int cols, int rows,
                     std::uint64_t since = 0);

class Renderer {
 public:
  // plain: only the cursor moves that every console reads alike, a full ESC[row;colH and
  // the relative ones. Wine's console loses what follows a carriage return in the same
  // write and misreads ESC[rowH without its column.
  explicit Renderer(bool plain = false) : plain_(plain) {}
  // The bytes that bring the terminal from what it was last sent to the model as it is
  // now; with place_cursor its cursor ends on the model's cursor. Nothing changed,
  // nothing sent: no work either.
  std::string Update(const Screen& now, bool place_cursor);
  // The terminal's size, when it differs from the model's: what lies beyond is not sent.
  void SetViewport(int cols, int rows);
  // The terminal's content is unknown (resized, or painted over by another program): the
  // next update clears it and sends every cell again.
  void Invalidate();
  // The lowest row whose character is not a blank, as last sent; 0 for none.
  int LastWrittenRow() const { return last_written_row_; }

 private:
  int ViewCols(const Screen& s) const {
    return view_cols_ > 0 && view_cols_ < s.Cols() ? view_cols_ : s.Cols();
  }
  int ViewRows(const Screen& s) const {
    return view_rows_ > 0 && view_rows_ < s.Rows() ? view_rows_ : s.Rows();
  }
  void Paint(std::string& out, const Screen& now, const CellRect& area);
  void MoveTo(std::string& out, int x, int y);
  void Emit(std::string& out, const Screen& now, int x, int y);

  bool plain_;
  std::vector<Cell> last_;
  bool have_last_ = false;
  std::uint64_t last_version_ = 0;
  int view_cols_ = 0, view_rows_ = 0;
  // What the terminal is known to show after the bytes sent so far.
  int tx_ = 0, ty_ = 0;  // cursor, 1-based; 0 when unknown
  int tattr_ = -1;       // -1 when unknown
  int last_written_row_ = 0;
};

// The bytes that give a terminal back after the renderer's output: normal colours, the
// cursor shown, on a fresh line below `last_row` (0: where it is). At most 32 bytes into
// `buf`; async-signal-safe (no allocation), so that a signal handler may use it.
std::size_t RestoreBytes(char* buf, int last_row);

// The lowest row of a frame that holds more than blanks (0 for none): where the prompt
// goes after a console that writes cells.
int LastWrittenRow(const std::vector<Cell>& frame, int cols, int rows);

}  // namespace console
