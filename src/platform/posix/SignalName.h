// The name of a signal that ends the program, as the audit trail records what ended a run.
#pragma once

#include <signal.h>

#include <string>

namespace platform::posix {

inline std::string SignalName(int sig) {
  switch (sig) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(sig);
  }
}

}  // namespace platform::posix
