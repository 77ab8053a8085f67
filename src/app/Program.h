// The whole run on any platform: options, the value log, the monitor, and the console
// given back as it was found on every way out.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Options.h"
#include "comLib3/Clock.h"
#include "comLib3/SerialDevice.h"
#include "console/Console.h"
#include "monitor/Metrics.h"
#include "monitor/Monitor.h"
#include "monitor/ValueLog.h"

namespace app {

// What the platform's main gets: the options, and the value log and metrics file already
// open.
struct Start {
  Options options;
  std::unique_ptr<monitor::ValueLog> log;
  std::unique_ptr<monitor::MetricsFile> metrics;
  std::unique_ptr<monitor::ValueLog> audit;
};

// Where a headless run's journal goes besides stderr (Windows: the event log).
using Journal = std::function<void(const std::string& line, monitor::Severity)>;

// Answers --help and --version; refuses a bad option, a log or a metrics file that cannot
// be written (status 2) before any console or port is touched.
// The exit status when the program ends here; otherwise nothing, with `start` ready for
// the platform's main to set up its console, clock and ports and call Run (or, for
// --install-service and --remove-service, to do that: no file is opened for them).
std::optional<int> Main(const Parsed& parsed, Start& start, const Journal& also = {});

// The program on a console: the exit status. Any error that ends it restores the
// console before it is reported.
int Run(Start& start, console::Console& con, comLib3::Clock& clock, comLib3::SerialPorts& ports,
        const Journal& also = {});

}  // namespace app
