// climon: wires the real terminal, serial ports and clock to the monitor.
#include <cstdio>

#include "comLib3/PosixSerial.h"
#include "console/PosixConsole.h"
#include "console/TextInput.h"
#include "monitor/Monitor.h"

int main() {
  console::PosixConsole con;
  comLib3::SteadyClock clock;
  comLib3::PosixSerialPorts ports;
  try {
    comLib3::ComLib3 com(con, clock, ports);
    monitor::Monitor program(com);
    int status = program.Run();
    con.Restore();
    return status;
  } catch (const console::FatalError& e) {
    con.Restore();
    std::fprintf(stderr, "climon: %s (runtime error %d)\n", e.what(), e.code());
    return e.code();
  }
}
