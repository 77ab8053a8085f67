// climon on a POSIX terminal: the real terminal (or none, headless), serial ports and clock.
#include <signal.h>

#include "app/Program.h"
#include "cli/Cli.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixConsole.h"
#include "platform/posix/PosixHeadless.h"
#include "platform/posix/PosixSerial.h"

int main(int argc, char** argv) {
  const app::Parsed parsed = app::ParseOptions({argv + 1, argv + argc});
  const app::Options& o = parsed.options;
  if (parsed.Runs() &&
      (!o.service.empty() || !o.install_service.empty() || !o.remove_service.empty())) {
    return cli::Refuse("climon",
                       "the service options are for Windows; here a room runs as "
                       "climon@ROOM.service (see climon(1))",
                       app::kUsageHint);
  }
  app::Start start;
  if (std::optional<int> status = app::Main(parsed, start)) return *status;
  platform::posix::PosixClock clock;
  platform::posix::PosixSerialPorts ports;
  if (start.options.headless) {
    platform::posix::PosixHeadless con;
    return app::Run(start, con, clock, ports);
  }
  platform::posix::PosixConsole con;
  const int status = app::Run(start, con, clock, ports);
  if (const int sig = con.StopSignal(); sig != 0) {
    start = app::Start{};  // the files closed: then as the signal would have ended it
    ::signal(sig, SIG_DFL);
    ::raise(sig);
  }
  return status;
}
