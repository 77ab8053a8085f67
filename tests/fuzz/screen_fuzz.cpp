// Any sequence of console operations on the screen model, then the renderer, then a
// terminal that defers its wrap as real ones do: the cursor stays in its window, only the
// renderer's own controls reach the terminal, and the terminal shows exactly the model's
// cells (and its cursor, when asked for).
#include <cstdint>
#include <cstdlib>

#include "VtTerminal.h"
#include "console/Cp437.h"
#include "console/Renderer.h"
#include "console/Screen.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  console::Screen s(data[0] % 90 + 1, data[1] % 30 + 1);
  console::Renderer r;
  vt::Terminal term(s.Cols(), s.Rows());
  for (std::size_t i = 2; i + 4 < size; i += 5) {
    const std::uint8_t* op = data + i;
    switch (op[0] % 6) {
      case 0:
        s.GotoXY(op[1] - 10, op[2] - 10);
        break;
      case 1:
        s.Window(op[1] % 100, op[2] % 40, op[3] % 100, op[4] % 40);
        break;
      case 2:
        s.ClrScr();
        break;
      case 3:
        s.TextColor(op[1]);
        s.TextBackground(op[2]);
        break;
      default:
        for (int k = 1; k < 5; ++k) s.Put(op[k]);
        break;
    }
    int w = (s.WindowLowerRight() & 0xFF) + 1 - s.WindowLeft() + 1;
    int h = (s.WindowLowerRight() >> 8) + 1 - s.WindowTop() + 1;
    if (s.WhereX() < 1 || s.WhereX() > w || s.WhereY() < 1 || s.WhereY() > h) std::abort();
    if (op[0] % 3 == 0) {
      bool place = op[1] & 1;
      if (op[2] % 17 == 0) r.Invalidate();  // as after a resize: everything again
      if (!term.Apply(r.Update(s, place), nullptr)) std::abort();
      for (int y = 1; y <= s.Rows(); ++y) {
        for (int x = 1; x <= s.Cols(); ++x) {
          if (term.At(x, y).ch != console::Cp437ToUnicode(s.At(x, y).ch)) std::abort();
          if (term.At(x, y).attr != s.At(x, y).attr) std::abort();
        }
      }
      if (place && (term.x() != s.CursorScreenX() || term.y() != s.CursorScreenY())) std::abort();
    }
  }
  return 0;
}
