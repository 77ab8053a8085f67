#include "app/Options.h"

#include <algorithm>
#include <cctype>

#include "PLC_Lib3/TextToInt.h"
#include "cli/Cli.h"
#include "comLib3/comLib3.h"
#include "monitor/Metrics.h"

namespace app {

const char* const kUsage =
    "usage: climon [--port N] [--log FILE] [--metrics FILE] [--room NAME]\n"
    "              [--audit FILE] [--headless]\n"
    "       climon --help | --version\n"
    "The operator's console of a climate room's controller on serial port COMn.\n"
    "\n"
    "  --port N        use COMn, as if N had been typed at the prompt\n"
    "  --log FILE      append one CSV row of the monitor's values per pass to FILE\n"
    "  --metrics FILE  write the values for Prometheus' textfile collector to FILE\n"
    "  --room NAME     the room's name in the metrics (default COMn)\n"
    "  --audit FILE    append a CSV row to FILE for each thing done to the controller\n"
    "                  (a terminal line, a counter reset) and each start, end and\n"
    "                  link loss\n"
    "  --headless      run as a service: no screen, no keys (needs --port)\n"
    "Windows:\n"
    "  --install-service NAME  install the room as the service climon-NAME, started\n"
    "                  with Windows (needs --port, --room and --metrics)\n"
    "  --remove-service NAME   stop and remove the service climon-NAME\n"
    "  --service NAME  run as climon-NAME under the service manager (as --headless)\n"
    "  --help          this text\n"
    "  --version       the version of climon\n"
    "\n"
    "Keys: ESC ends, K opens the command terminal, R then Y zeroes the counters.\n"
    "See climon(1).\n";

const char* const kUsageHint =
    "usage: climon [--port N] [--log FILE] [--metrics FILE] [--room NAME]\n"
    "              [--audit FILE] [--headless]   (climon --help tells more)\n";

const char* const kVersion = CLIMON_VERSION;

Parsed ParseOptions(const std::vector<std::string>& args) {
  static constexpr cli::Option kOptions[] = {
      {"--help", nullptr},
      {"--version", nullptr},
      {"--headless", nullptr},
      {"--port", "a port number"},
      {"--log", "a file name"},
      {"--metrics", "a file name"},
      {"--room", "a name"},
      {"--audit", "a file name"},
      {"--service", "a service name"},
      {"--install-service", "a service name"},
      {"--remove-service", "a service name"},
  };
  Parsed p;
  cli::Parsed line = cli::Parse(args, kOptions, false);
  p.error = line.error;
  for (const cli::Arg& a : line.args) {
    if (!p.error.empty()) break;
    if (a.name == "--help") {
      p.options.help = true;
    } else if (a.name == "--version") {
      p.options.version = true;
    } else if (a.name == "--headless") {
      p.options.headless = true;
    } else if (a.name == "--port") {
      PLC_Lib3::IntResult n = PLC_Lib3::TextToInt(a.value);
      if (!n.ok() || n.value < 1 || n.value > comLib3::kPortCount) {
        p.error = "option --port: '" + a.value + "' is not a port number from 1 to " +
                  std::to_string(comLib3::kPortCount);
      }
      p.options.port = a.value;
    } else if (a.name == "--log" || a.name == "--metrics" || a.name == "--audit") {
      if (a.value.empty()) p.error = "option " + a.name + " needs a file name";
      (a.name == "--log"     ? p.options.log
       : a.name == "--audit" ? p.options.audit
                             : p.options.metrics) = a.value;
    } else if (a.name == "--service" || a.name == "--install-service" ||
               a.name == "--remove-service") {
      auto name_char = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
      };
      // "*": every climon service, for an uninstall.
      bool ok = a.value == "*" ? a.name == "--remove-service"
                               : !a.value.empty() && a.value.size() <= 40 &&
                                     std::all_of(a.value.begin(), a.value.end(), name_char);
      if (!ok) {
        p.error = "option " + a.name + ": '" + a.value +
                  "' is not a service name of up to 40 letters, digits, - and _";
      }
      (a.name == "--service"           ? p.options.service
       : a.name == "--install-service" ? p.options.install_service
                                       : p.options.remove_service) = a.value;
    } else if (a.name == "--room") {
      if (auto why = monitor::RoomNameProblem(a.value)) p.error = "option --room: the name " + *why;
      p.options.room = a.value;
    }
  }
  const Options& o = p.options;
  int services = !o.service.empty() + !o.install_service.empty() + !o.remove_service.empty();
  if (!p.error.empty() || o.help || o.version) return p;
  if (services > 1) {
    p.error = "--service, --install-service and --remove-service go one at a time";
  } else if (!o.install_service.empty() && (!o.port || o.room.empty() || o.metrics.empty())) {
    p.error = "option --install-service needs --port, --room and --metrics: the room it runs";
  } else if ((o.headless || !o.service.empty()) && !o.port) {
    p.error = std::string("option ") + (o.headless ? "--headless" : "--service") +
              " needs --port: no one is there to type it";
  }
  if (!o.service.empty()) p.options.headless = true;
  return p;
}

}  // namespace app
