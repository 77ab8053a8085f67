// climon.exe as a Windows service: run under the service control manager, install and
// remove a room's service, and the Application event log that its journal goes to.
#pragma once

#include <string>

#include "app/Program.h"

namespace platform::windows {

// The journal in the Application event log, source "climon".
class EventLog {
 public:
  EventLog();
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;
  void Write(const std::string& line, monitor::Severity severity);

 private:
  void* source_;
};

// climon.exe --service NAME ...: connects to the service manager at once, then opens the
// files and runs the headless monitor until a stop, shutdown or preshutdown. The exit
// status (also reported to the manager).
int RunService(const app::Parsed& parsed);

// --install-service NAME with the room's options; --remove-service NAME ("*": every
// climon- service). The exit status; messages on stdout and stderr.
int InstallService(const app::Options& o);
int RemoveService(const std::string& name);

}  // namespace platform::windows
