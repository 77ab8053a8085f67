#include "app/Options.h"

#include "PLC_Lib3/TextToInt.h"
#include "comLib3/comLib3.h"
#include "monitor/Metrics.h"

namespace app {

const char* const kUsage =
    "usage: climon [--port N] [--log FILE] [--metrics FILE] [--room NAME]\n"
    "              [--headless]\n"
    "       climon --help | --version\n"
    "The operator's console of a climate room's controller on serial port COMn.\n"
    "\n"
    "  --port N        use COMn, as if N had been typed at the prompt\n"
    "  --log FILE      append one CSV row of the monitor's values per pass to FILE\n"
    "  --metrics FILE  write the values for Prometheus' textfile collector to FILE\n"
    "  --room NAME     the room's name in the metrics (default COMn)\n"
    "  --headless      run as a service: no screen, no keys (needs --port)\n"
    "  --help          this text\n"
    "  --version       the version of climon\n"
    "\n"
    "Keys: ESC ends, K opens the command terminal, R then Y zeroes the counters.\n"
    "See climon(1).\n";

const char* const kUsageHint =
    "usage: climon [--port N] [--log FILE] [--metrics FILE] [--room NAME]\n"
    "              [--headless]   (climon --help tells more)\n";

const char* const kVersion = CLIMON_VERSION;

Parsed ParseOptions(const std::vector<std::string>& args) {
  Parsed p;
  auto refuse = [&p](std::string why) {
    p.error = std::move(why);
    return p;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::optional<std::string> value;
    if (std::size_t eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
    }
    auto take = [&]() -> bool {
      if (!value && i + 1 < args.size()) value = args[++i];
      return value.has_value();
    };
    if ((a == "--help" || a == "--version" || a == "--headless") && value) {
      return refuse("option " + a + " takes no value");
    } else if (a == "--help") {
      p.options.help = true;
    } else if (a == "--version") {
      p.options.version = true;
    } else if (a == "--port") {
      if (!take()) return refuse("option --port needs a port number");
      PLC_Lib3::IntResult n = PLC_Lib3::TextToInt(*value);
      if (!n.ok() || n.value < 1 || n.value > comLib3::kPortCount) {
        return refuse("option --port: '" + *value + "' is not a port number from 1 to " +
                      std::to_string(comLib3::kPortCount));
      }
      p.options.port = *value;
    } else if (a == "--log" || a == "--metrics") {
      if (!take() || value->empty()) return refuse("option " + a + " needs a file name");
      (a == "--log" ? p.options.log : p.options.metrics) = *value;
    } else if (a == "--room") {
      if (!take()) return refuse("option --room needs a name");
      if (auto why = monitor::RoomNameProblem(*value))
        return refuse("option --room: the name " + *why);
      p.options.room = *value;
    } else if (a == "--headless") {
      p.options.headless = true;
    } else {
      return refuse(a.starts_with("-") ? "unknown option " + a : "unexpected argument " + a);
    }
  }
  if (p.options.headless && !p.options.port && !p.options.help && !p.options.version) {
    return refuse("option --headless needs --port: no one is there to type it");
  }
  return p;
}

}  // namespace app
