// The headless console on Windows: Ctrl-C, Ctrl-Break, close, logoff and shutdown ask the
// program to stop, as ESC does.
#pragma once

#include "console/HeadlessConsole.h"

namespace platform::windows {

class WinHeadless : public console::HeadlessConsole {
 public:
  WinHeadless();  // only one may exist at a time
  ~WinHeadless() override;
  void Restore() override;
  std::string StopRequestedBy() const override;
  // A stop asked from elsewhere (the service manager), as Ctrl-C asks it.
  static void RequestStop();

 protected:
  bool StopRequested() override;

 private:
  bool restored_ = false;
};

}  // namespace platform::windows
