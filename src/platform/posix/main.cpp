// climon on a POSIX terminal: the real terminal (or none, headless), serial ports and clock.
#include "app/Program.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixConsole.h"
#include "platform/posix/PosixHeadless.h"
#include "platform/posix/PosixSerial.h"

int main(int argc, char** argv) {
  app::Start start;
  if (std::optional<int> status = app::Main(argc, argv, start)) return *status;
  platform::posix::PosixClock clock;
  platform::posix::PosixSerialPorts ports;
  if (start.options.headless) {
    platform::posix::PosixHeadless con;
    return app::Run(start, con, clock, ports);
  }
  platform::posix::PosixConsole con;
  return app::Run(start, con, clock, ports);
}
