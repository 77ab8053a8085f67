// climon's command line. Started without options, climon is the plain program: it asks
// for the port and keeps no log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "alarm/Alarm.h"
#include "cli/Cli.h"

namespace app {

struct Options {
  std::optional<std::string> port;  // the text of --port, as if typed at the prompt
  std::string log;                  // --log FILE; empty for none
  std::string metrics;              // --metrics FILE; empty for none
  std::string audit;                // --audit FILE; empty for none
  std::string room;                 // --room NAME; empty: COMn
  std::string seal_key;             // --seal-key FILE; empty: the seals are plain SHA-256
  bool headless = false;            // no console: a service
  bool alarms = false;              // --alarms: raise them, with these settings
  alarms::Settings alarm_settings;
  // The alarm settings' options as given, each then its value (for a service installed).
  std::vector<std::string> alarm_args;
  // A service's folder of acknowledgements (--ack-folder); empty: none taken.
  std::string ack_folder;
  // --acknowledge ROOM: an alarm of the room's service acknowledged, with the cause and
  // the corrective action; nothing else is done.
  std::string acknowledge;
  std::optional<std::string> cause, action;
  std::string notify;  // --notify PROGRAM: run on every alarm event
  // Windows: run under the service manager as climon-NAME (headless), or install or
  // remove that service; empty for none.
  std::string service, install_service, remove_service;
};

// The options, and --help, --version or the one-line reason they are refused (naming the
// option).
struct Parsed {
  Options options;
  cli::Line line;
  // Neither --help, --version nor a refusal: climon runs.
  bool Runs() const { return line.error.empty() && !line.help && !line.version; }
};
Parsed ParseOptions(const std::vector<std::string>& args);

// The exit status when climon ends with its command line (--help, --version, a refusal).
std::optional<int> Answer(const Parsed& parsed);

extern const char* const kUsageHint;  // the usage line, for a refused command line
extern const char* const kVersion;

}  // namespace app
