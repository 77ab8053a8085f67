// climon in a Windows console: the real console (or none, headless, its journal also in the
// event log), serial ports and clock; or a room's Windows service.
#include "app/Program.h"
#include "platform/windows/WinClock.h"
#include "platform/windows/WinConsole.h"
#include "platform/windows/WinHeadless.h"
#include "platform/windows/WinSerial.h"
#include "platform/windows/WinService.h"

int main(int argc, char** argv) {
  // A service connects to the manager before anything else: the manager waits for it.
  const app::Parsed parsed = app::ParseOptions({argv + 1, argv + argc});
  if (parsed.Runs() && !parsed.options.service.empty()) {
    return platform::windows::RunService(parsed);
  }
  app::Start start;
  if (std::optional<int> status = app::Main(parsed, start)) return *status;
  if (!start.options.install_service.empty()) {
    return platform::windows::InstallService(start.options);
  }
  if (!start.options.remove_service.empty()) {
    return platform::windows::RemoveService(start.options.remove_service);
  }
  platform::windows::WinClock clock;
  platform::windows::WinSerialPorts ports;
  if (start.options.headless) {
    platform::windows::WinHeadless con;
    platform::windows::EventLog events;
    return app::Run(
        start, con, clock, ports,
        [&events](const std::string& line, monitor::Severity s) { events.Write(line, s); });
  }
  platform::windows::WinConsole con;
  const int status = app::Run(start, con, clock, ports);
  return !con.StopRequestedBy().empty() ? static_cast<int>(STATUS_CONTROL_C_EXIT) : status;
}
