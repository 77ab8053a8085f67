// The console's control events as the audit trail records what ended a run.
#pragma once

#include <windows.h>

#include <string>

namespace platform::windows {

inline std::string ControlEventName(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
    case CTRL_CLOSE_EVENT:
      return "console closed";
    case CTRL_LOGOFF_EVENT:
      return "logoff";
    case CTRL_SHUTDOWN_EVENT:
      return "shutdown";
    default:
      return "control event " + std::to_string(event);
  }
}

}  // namespace platform::windows
