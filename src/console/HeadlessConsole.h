// The console of a service: nothing is shown and no key is typed. A request to stop (a
// signal, a console control event) is the ESC key, so the program ends exactly as an
// operator's ESC ends it. A wait for any other key would wait for an operator who is not
// there: it ends the program with what the screen says, so that a service manager sees
// the failure (a port that cannot be opened) and can start it again.
#pragma once

#include "console/Console.h"
#include "console/StopKey.h"

namespace console {

class HeadlessConsole : public Console {
 public:
  HeadlessConsole() : Console(80, 25) {}

  bool KeyPressed() override;
  std::uint8_t ReadKey() override;
  bool StopPending() override { return StopRequested(); }
  void Flush() override {}

 protected:
  // True once the platform's stop request has come.
  virtual bool StopRequested() = 0;

 private:
  StopKey stop_;
};

// The exit status when a headless run meets a wait for a key.
inline constexpr int kNoOperator = 1;

}  // namespace console
