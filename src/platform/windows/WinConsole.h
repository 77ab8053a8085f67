// The console in a Windows console window. The same screen model and renderer as on a
// terminal, written as one WriteConsoleW of UTF-16 text per flush with virtual-terminal
// processing on; where the console refuses that mode (before Windows 10), the changed
// cells are written with WriteConsoleOutputW instead. Keys come from ReadConsoleInputW.
// The modes and the output code page are saved at start and given back on every way out:
// normal end, a fatal error, Ctrl-C, Ctrl-Break, the window closed, a crash. Once stop
// requests are taken, Ctrl-C, Ctrl-Break and the window closed end the run as ESC does, so
// that the record has its end.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "console/Console.h"
#include "console/Renderer.h"
#include "console/StopKey.h"

namespace platform::windows {

class WinConsole : public console::Console {
 public:
  // Uses the process's console. CLIMON_CONSOLE=cells or =vt in the environment chooses
  // the path; by default the virtual terminal where the console has one (not under Wine).
  WinConsole();
  ~WinConsole() override;
  WinConsole(const WinConsole&) = delete;
  WinConsole& operator=(const WinConsole&) = delete;

  bool KeyPressed() override;
  bool StopPending() override;
  std::uint8_t ReadKey() override;
  void Flush() override;
  void Bell() override;
  void Restore() override;
  void TakeStopRequests() override;
  std::string StopRequestedBy() const override;

 private:
  struct Measured {
    int cols, rows;
  };
  static Measured MeasureWindow(HANDLE out);
  explicit WinConsole(Measured size);
  void Show(bool place_cursor);
  void ShowCells(bool place_cursor);
  // Takes what input has come, without waiting; false when the input is gone.
  bool TakeInput();
  void Resized();

  HANDLE in_, out_;
  DWORD in_mode_ = 0, out_mode_ = 0;
  UINT output_cp_ = 0;
  WORD attributes_ = 0x07;
  bool have_modes_ = false, vt_ = false, restored_ = false;
  SHORT left_ = 0, top_ = 0;          // the window's corner in the screen buffer
  console::Renderer renderer_{true};  // plain moves: see the renderer
  // The cell path's last frame.
  std::vector<console::Cell> shown_;
  std::uint64_t shown_version_ = 0;
  bool have_shown_ = false;
  std::deque<std::uint8_t> keys_;
  bool input_gone_ = false;
  console::StopKey stop_;
};

}  // namespace platform::windows
