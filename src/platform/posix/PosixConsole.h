// The console on a POSIX terminal: raw mode, the size measured once, the renderer and the
// key decoder. The terminal is always restored: on normal exit, on a fatal error, on
// SIGINT, SIGTERM, SIGHUP and SIGQUIT (once stop requests are taken, the first of SIGINT,
// SIGTERM and SIGHUP ends the run as ESC does, and the program then dies of it), and on a
// crash (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT), which then goes on to the handler that
// was there before. A stop (SIGTSTP) restores it too; SIGCONT makes it raw again and
// repaints, as does a resize. The normal screen buffer is used, so the last screen stays
// visible after exit.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/Console.h"
#include "console/Renderer.h"
#include "console/StopKey.h"
#include "console/TerminalKeys.h"

namespace platform::posix {

struct TermSize {
  int cols, rows;
};

// The size of the terminal on standard output; 80 x 25 when it cannot be measured.
TermSize MeasureTerminal();

class PosixConsole : public console::Console, private console::TerminalKeys::Source {
 public:
  // Uses standard input and output. Only one may exist at a time.
  PosixConsole();
  ~PosixConsole() override;

  bool KeyPressed() override;
  bool StopPending() override;
  std::uint8_t ReadKey() override;
  void TakeStopRequests() override;
  std::string StopRequestedBy() const override;
  // The signal that ended the run (0 if none did): once the files are closed, the
  // program dies of it, as it would have at once.
  int StopSignal() const;
  void Flush() override;
  void Bell() override { Send("\a"); }
  // Leaves the terminal as it was found, with the prompt below the last written row.
  // Safe to call more than once.
  void Restore() override;

 private:
  explicit PosixConsole(TermSize size);  // the model keeps the size measured at start
  void Send(const std::string& bytes);
  void Show(bool place_cursor);
  // After a resize or a resumed stop: the whole screen again, from the model.
  void RepaintIfAsked();

  TimePoint Now() override;
  bool Read(std::vector<Chunk>& chunks, TimePoint until) override;
  // The input thread: takes the terminal's bytes as they come, each read with its time,
  // so that a key typed while the program waits on the line keeps its own time (an ESC
  // and the key typed 30 ms after it are two keys, not Alt with that key).
  void TakeInput();
  void StopInput();
  // Waits a moment for input; false once the input has ended and nothing is left.
  bool WaitForInput();

  console::Renderer renderer_;
  std::mutex input_mutex_;
  std::condition_variable input_came_;
  std::deque<Chunk> input_;
  bool input_ended_ = false;
  int wake_[2] = {-1, -1};  // a pipe that ends the input thread
  std::thread reader_;
  console::TerminalKeys keys_{*this};
  console::StopKey stop_;
  bool cursor_placed_ = false;
  bool restored_ = false;
};

}  // namespace platform::posix
