// The console on a POSIX terminal: raw mode, the size measured once, the renderer and the
// key decoder. The terminal is always restored: on normal exit, on a fatal error and on
// SIGINT, SIGTERM, SIGHUP and SIGQUIT. The normal screen buffer is used, so the last
// screen stays visible after exit.
#pragma once

#include <chrono>

#include "console/Console.h"
#include "console/KeyDecoder.h"
#include "console/Renderer.h"

namespace console {

struct TermSize {
  int cols, rows;
};

// The size of the terminal on standard output; 80 x 25 when it cannot be measured.
TermSize MeasureTerminal();

class PosixConsole : public Console {
 public:
  // Uses standard input and output. Only one may exist at a time.
  PosixConsole();
  ~PosixConsole() override;

  bool KeyPressed() override;
  std::uint8_t ReadKey() override;
  void Flush() override;

  // Leaves the terminal as it was found, with the prompt below the last written row.
  // Safe to call more than once.
  void Restore();

 private:
  explicit PosixConsole(TermSize size);  // measured once, at start
  void Send(const std::string& bytes);
  // Reads what the terminal has sent, waiting at most `wait`; false when input has ended.
  bool Pump(std::chrono::milliseconds wait);

  Renderer renderer_;
  KeyDecoder decoder_;
  bool restored_ = false;
  bool input_closed_ = false;
};

}  // namespace console
