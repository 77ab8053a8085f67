// climon in a Windows console: the real console (or none, headless), serial ports and clock.
#include "app/Program.h"
#include "platform/windows/WinClock.h"
#include "platform/windows/WinConsole.h"
#include "platform/windows/WinHeadless.h"
#include "platform/windows/WinSerial.h"

int main(int argc, char** argv) {
  return app::Main(argc, argv, [](app::Start& start) {
    platform::windows::WinClock clock;
    platform::windows::WinSerialPorts ports;
    if (start.options.headless) {
      platform::windows::WinHeadless con;
      return app::Run(start, con, clock, ports);
    }
    platform::windows::WinConsole con;
    return app::Run(start, con, clock, ports);
  });
}
