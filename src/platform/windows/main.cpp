// climon in a Windows console: the real console (or none, headless), serial ports and clock.
#include "app/Program.h"
#include "platform/windows/WinClock.h"
#include "platform/windows/WinConsole.h"
#include "platform/windows/WinHeadless.h"
#include "platform/windows/WinSerial.h"

int main(int argc, char** argv) {
  app::Start start;
  if (std::optional<int> status = app::Main(argc, argv, start)) return *status;
  platform::windows::WinClock clock;
  platform::windows::WinSerialPorts ports;
  if (start.options.headless) {
    platform::windows::WinHeadless con;
    return app::Run(start, con, clock, ports);
  }
  platform::windows::WinConsole con;
  return app::Run(start, con, clock, ports);
}
