// climon in a Windows console: the real console, serial ports and clock.
#include "app/Program.h"
#include "platform/windows/WinClock.h"
#include "platform/windows/WinConsole.h"
#include "platform/windows/WinSerial.h"

int main(int argc, char** argv) {
  return app::Main(argc, argv, [](app::Start& start) {
    platform::windows::WinConsole con;
    platform::windows::WinClock clock;
    platform::windows::WinSerialPorts ports;
    return app::Run(start, con, clock, ports);
  });
}
