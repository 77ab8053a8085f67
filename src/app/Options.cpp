#include "app/Options.h"

#include <algorithm>
#include <cctype>

#include "PLC_Lib3/TextToInt.h"
#include "comLib3/comLib3.h"
#include "monitor/Metrics.h"

namespace app {

const char* const kUsageHint =
    "usage: climon [--port N] [--log FILE] [--metrics FILE] [--room NAME]\n"
    "              [--audit FILE] [--headless]   (climon --help tells more)\n";

const char* const kVersion = CLIMON_VERSION;

namespace {

const cli::Program kProgram = {
    "climon",
    kVersion,
    "usage: climon [--port N] [--log FILE] [--metrics FILE] [--room NAME]\n"
    "              [--audit FILE] [--seal-key FILE] [--headless]\n"
    "              [--alarms [ALARM OPTIONS]] [--notify PROGRAM] [--ack-folder DIR]\n"
    "       climon --acknowledge ROOM [--cause TEXT] [--action TEXT]\n"
    "              [--ack-folder DIR]\n"
    "       climon --help | --version\n"
    "The operator's console of a climate room's controller on serial port COMn.\n"
    "\n",
    "\n"
    "Keys: ESC ends, K opens the command terminal, R then Y zeroes the counters,\n"
    "A acknowledges an alarm (with --alarms).\n"
    "See climon(1).\n",
    kUsageHint,
    nullptr};

// A service's name: up to 40 letters, digits, - and _; "*" (every climon service) only to
// remove them.
cli::Take ServiceName(std::string& to, bool any) {
  return [&to, any](const std::string& v, std::string& why) {
    auto name_char = [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    };
    if (v == "*" ? !any : v.size() > 40 || !std::all_of(v.begin(), v.end(), name_char)) {
      why = "'" + v + "' is not a service name of up to 40 letters, digits, - and _";
      return false;
    }
    to = v;
    return true;
  };
}

std::vector<cli::Option> Table(Options& o) {
  std::vector<cli::Option> t = {
      {"--port", "a port number",
       [&o](const std::string& v, std::string& why) {
         PLC_Lib3::IntResult n = PLC_Lib3::TextToInt(v);
         o.port = v;
         if (n.ok() && n.value >= 1 && n.value <= comLib3::kPortCount) return true;
         why = "'" + v + "' is not a port number from 1 to " + std::to_string(comLib3::kPortCount);
         return false;
       },
       "N", "use COMn, as if N had been typed at the prompt"},
      {"--log", "a file name", cli::Store(o.log), "FILE",
       "append one CSV row of the monitor's values per pass to FILE"},
      {"--metrics", "a file name", cli::Store(o.metrics), "FILE",
       "write the values for Prometheus' textfile collector to FILE"},
      {"--room", "a name",
       [&o](const std::string& v, std::string& why) {
         o.room = v;
         if (auto problem = monitor::RoomNameProblem(v)) why = "the name " + *problem;
         return why.empty();
       },
       "NAME", "the room's name in the metrics (default COMn)"},
      {"--audit", "a file name", cli::Store(o.audit), "FILE",
       "append a CSV row to FILE for each thing done to the controller\n"
       "(a terminal line, a counter reset) and each start, end and\n"
       "link loss"},
      {"--seal-key", "a file name", cli::Store(o.seal_key), "FILE",
       "seal the rows of the log and the audit trail with\n"
       "the key in FILE (HMAC-SHA-256): only its holder\n"
       "can make seals that check out"},
      {"--headless", nullptr, cli::Set(o.headless), nullptr,
       "run as a service: no screen, no keys (needs --port)"},
      {nullptr, nullptr, {}, nullptr, "Windows:"},
      {"--install-service", "a service name", ServiceName(o.install_service, false), "NAME",
       "install the room as the service climon-NAME, started\n"
       "with Windows (needs --port, --room and --metrics)"},
      {"--remove-service", "a service name", ServiceName(o.remove_service, true), "NAME",
       "stop and remove the service climon-NAME"},
      {"--service", "a service name", ServiceName(o.service, false), "NAME",
       "run as climon-NAME under the service manager (as --headless)"},
      {nullptr, nullptr, {}, nullptr, "Alarms:"},
      {"--alarms", nullptr, cli::Set(o.alarms), nullptr,
       "raise alarms: row 21, the bell, key A (a service:\n"
       "the journal and the metrics)"},
  };
  for (cli::Option& p : alarms::Options(o.alarm_settings)) {
    p.take = [&o, take = p.take, name = p.name](const std::string& v, std::string& why) {
      o.alarm_args.insert(o.alarm_args.end(), {name, v});
      return take(v, why);
    };
    t.push_back(p);
  }
  std::vector<cli::Option> rest = {
      {"--notify", "a program", cli::Store(o.notify), "PROGRAM",
       "run PROGRAM on every alarm event, the event in\n"
       "CLIMON_* variables"},
      {"--ack-folder", "a folder", cli::Store(o.ack_folder), "DIR",
       "a service: take acknowledgements left in DIR;\n"
       "--acknowledge: leave it there"},
      {"--acknowledge", "a room's service name", ServiceName(o.acknowledge, false), "ROOM",
       "acknowledge the alarm of the service of ROOM on\n"
       "this machine that most needs it"},
      {"--cause", "a text",
       [&o](const std::string& v, std::string&) {
         o.cause = v;
         return true;
       },
       "TEXT", "what caused it (asked for when not given)"},
      {"--action", "a text",
       [&o](const std::string& v, std::string&) {
         o.action = v;
         return true;
       },
       "TEXT", "the corrective action taken (asked for when not given)"},
  };
  t.insert(t.end(), rest.begin(), rest.end());
  return t;
}

// What the options asked for, together: one service option, and what each needs.
std::string Check(const Options& o) {
  if (!o.acknowledge.empty()) {
    if (o.port || !o.log.empty() || !o.audit.empty() || !o.metrics.empty() || o.headless ||
        o.alarms || !o.alarm_args.empty() || !o.notify.empty() || !o.service.empty() ||
        !o.install_service.empty() || !o.remove_service.empty())
      return "option --acknowledge goes alone, with --cause, --action and --ack-folder";
    return "";
  }
  if (o.cause || o.action) return "options --cause and --action go with --acknowledge";
  if ((!o.alarm_args.empty() || !o.notify.empty() || !o.ack_folder.empty()) && !o.alarms)
    return "the alarms' options, --notify and --ack-folder go with --alarms";
  int services = !o.service.empty() + !o.install_service.empty() + !o.remove_service.empty();
  if (services > 1) return "--service, --install-service and --remove-service go one at a time";
  if (!o.install_service.empty() && (!o.port || o.room.empty() || o.metrics.empty()))
    return "option --install-service needs --port, --room and --metrics: the room it runs";
  if (!o.seal_key.empty() && o.log.empty() && o.audit.empty())
    return "option --seal-key needs --log or --audit: the rows it seals";
  if ((o.headless || !o.service.empty()) && !o.port) {
    return std::string("option ") + (o.headless ? "--headless" : "--service") +
           " needs --port: no one is there to type it";
  }
  return "";
}

}  // namespace

Parsed ParseOptions(const std::vector<std::string>& args) {
  Parsed p;
  p.line = cli::Read(kProgram, args, Table(p.options));
  if (!p.Runs()) return p;
  p.line.error = Check(p.options);
  if (!p.options.service.empty()) p.options.headless = true;
  return p;
}

std::optional<int> Answer(const Parsed& parsed) {
  Options unused;
  return cli::Answer(kProgram, Table(unused), parsed.line);
}

}  // namespace app
