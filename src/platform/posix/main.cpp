// climon on a POSIX terminal: the real terminal, serial ports and clock.
#include "app/Program.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixConsole.h"
#include "platform/posix/PosixSerial.h"

int main(int argc, char** argv) {
  return app::Main(argc, argv, [](app::Start& start) {
    platform::posix::PosixConsole con;
    platform::posix::PosixClock clock;
    platform::posix::PosixSerialPorts ports;
    return app::Run(start, con, clock, ports);
  });
}
