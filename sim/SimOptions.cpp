#include "SimOptions.h"

#include <charconv>
#include <cmath>

#include "cli/Cli.h"

namespace sim {
namespace {

bool ParseInt(const std::string& s, int& out, int lo, int hi) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && out >= lo && out <= hi;
}

bool ParsePercent(const std::string& s, double& out) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out) && out >= 0 &&
         out <= 100;
}

}  // namespace

const char* NameOf(Fault f) {
  for (const FaultName& n : kFaults) {
    if (n.fault == f) return n.name;
  }
  return "none";
}

const char* const kSimUsage = R"(usage: climon-sim [options]
A simulated climate controller on a pseudo-terminal. Prints the terminal's path.

  --link PATH        also make PATH a symbolic link to the terminal
  --variant N        device variant 1, 2, 3 or 9 (default 1)
  --no-relay-7000    the controller model without relay 7000 (indicators on 604
                     to 607)
  --live             run the live scenario: values drift, relays switch,
                     counters count
  --set NAME=VALUE   fix a value: DMn (word), Rn (relay 0/1), Tn (timer's
                     current value); may be repeated
  --log FILE         one line per command received: milliseconds since start,
                     the command and the reply, separated by tabs
  --pace             send replies at the line's real speed (9600 baud, 11 bits
                     a byte)
  --baud N           read commands and send replies at N baud (11 bits a byte),
                     as a real line carries them
  --delay-ms N       turn-around time before a reply (default 2)
  --fault KIND       silence | error | garbage | late | short1 | short2 | long
  --fault-share PCT  share of commands the fault hits, 0 to 100 (default 100)
  --fault-match TXT  the fault hits only commands that begin with TXT
  --late-ms N        when a late reply comes (default 90)
  --loss PCT         share of replies that are lost, 0 to 100 (such as 0.5)
  --seed N           seed of the random choices (default 1)
  --help             this text
  --version          the version of climon-sim
)";

const char* const kSimUsageHint = "usage: climon-sim [options]   (climon-sim --help tells more)\n";

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  static constexpr const char* kNumber = "a whole number from 0 to 1000000";
  static constexpr const char* kPercent = "a percentage from 0 to 100, such as 20 or 0.5";
  static constexpr cli::Option kOptions[] = {
      {"--help", nullptr},
      {"--version", nullptr},
      {"--no-relay-7000", nullptr},
      {"--live", nullptr},
      {"--pace", nullptr},
      {"--link", "a path"},
      {"--log", "a file name"},
      {"--set", "NAME=VALUE"},
      {"--fault-match", "a text"},
      {"--fault", "a fault: silence, error, garbage, late, short1, short2 or long"},
      {"--variant", "a device variant: 1, 2, 3 or 9"},
      {"--baud", "a speed in baud, such as 9600"},
      {"--delay-ms", kNumber},
      {"--late-ms", kNumber},
      {"--seed", kNumber},
      {"--fault-share", kPercent},
      {"--loss", kPercent},
  };
  cli::Parsed line = cli::Parse(args, kOptions, false);
  if (!line.error.empty()) return line.error;
  for (const cli::Arg& a : line.args) {
    const std::string& v = a.value;
    // A value that is not what the option takes: the same words as a missing one.
    auto bad = [&a]() {
      for (const cli::Option& known : kOptions) {
        if (a.name == known.name)
          return "option " + a.name + ": '" + a.value + "' is not " + known.needs;
      }
      return std::string();
    };
    int n = 0;
    if (a.name == "--help") {
      o.help = true;
    } else if (a.name == "--version") {
      o.version = true;
    } else if (a.name == "--no-relay-7000") {
      o.relay7000 = false;
    } else if (a.name == "--live") {
      o.live = true;
    } else if (a.name == "--pace") {
      o.pace = true;
    } else if (a.name == "--link") {
      o.link = v;
    } else if (a.name == "--log") {
      o.log = v;
    } else if (a.name == "--set") {
      o.sets.push_back(v);
    } else if (a.name == "--fault-match") {
      o.fault_match = v;
    } else if (a.name == "--fault") {
      o.fault = Fault::kNone;
      for (const FaultName& f : kFaults) {
        if (v == f.name) o.fault = f.fault;
      }
      if (o.fault == Fault::kNone) return bad();
    } else if (a.name == "--variant") {
      if (!ParseInt(v, n, 1, 9) || (n != 1 && n != 2 && n != 3 && n != 9)) return bad();
      o.variant = n;
    } else if (a.name == "--baud") {
      if (!ParseInt(v, o.baud, 50, 4000000)) return bad();
    } else if (a.name == "--delay-ms" || a.name == "--late-ms" || a.name == "--seed") {
      if (!ParseInt(v, n, 0, 1000000)) return bad();
      if (a.name == "--delay-ms") o.delay_ms = n;
      if (a.name == "--late-ms") o.late_ms = n;
      if (a.name == "--seed") o.seed = static_cast<unsigned>(n);
    } else if (a.name == "--fault-share" || a.name == "--loss") {
      if (!ParsePercent(v, a.name == "--loss" ? o.loss : o.fault_share)) return bad();
    }
  }
  return "";
}

}  // namespace sim
