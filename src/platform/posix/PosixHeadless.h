// The headless console on POSIX: SIGTERM, SIGINT and SIGHUP ask the program to stop, as
// ESC does; the handlers found at start are put back by Restore.
#pragma once

#include <signal.h>

#include "console/HeadlessConsole.h"

namespace platform::posix {

class PosixHeadless : public console::HeadlessConsole {
 public:
  PosixHeadless();  // only one may exist at a time
  ~PosixHeadless() override;
  void Restore() override;
  std::string StopRequestedBy() const override;

 protected:
  bool StopRequested() override;

 private:
  struct sigaction old_[3] = {};
  bool restored_ = false;
};

}  // namespace platform::posix
