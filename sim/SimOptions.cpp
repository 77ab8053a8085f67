#include "SimOptions.h"

#include <charconv>
#include <cmath>

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

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // The argument after an option, or null at the end of the line.
    auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    auto needs = [&a](const char* what) { return "option " + a + " needs " + what; };
    const std::string* v = nullptr;
    int n = 0;
    if (a == "--help") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--no-relay-7000") {
      o.relay7000 = false;
    } else if (a == "--live") {
      o.live = true;
    } else if (a == "--pace") {
      o.pace = true;
    } else if (a == "--link" || a == "--log" || a == "--set" || a == "--fault-match") {
      if ((v = value()) == nullptr) return needs("a value");
      if (a == "--link") o.link = *v;
      if (a == "--log") o.log = *v;
      if (a == "--set") o.sets.push_back(*v);
      if (a == "--fault-match") o.fault_match = *v;
    } else if (a == "--fault") {
      if ((v = value()) == nullptr) return needs("a fault");
      o.fault = Fault::kNone;
      for (const FaultName& f : kFaults) {
        if (*v == f.name) o.fault = f.fault;
      }
      if (o.fault == Fault::kNone) {
        return "unknown fault '" + *v + "': silence, error, garbage, late, short1, short2 or long";
      }
    } else if (a == "--variant") {
      if ((v = value()) == nullptr || !ParseInt(*v, n, 1, 9) ||
          (n != 1 && n != 2 && n != 3 && n != 9)) {
        return needs("a device variant: 1, 2, 3 or 9");
      }
      o.variant = n;
    } else if (a == "--baud") {
      if ((v = value()) == nullptr || !ParseInt(*v, o.baud, 50, 4000000)) {
        return needs("a speed in baud, such as 9600");
      }
    } else if (a == "--delay-ms" || a == "--late-ms" || a == "--seed") {
      if ((v = value()) == nullptr || !ParseInt(*v, n, 0, 1000000)) {
        return needs("a whole number from 0 to 1000000");
      }
      if (a == "--delay-ms") o.delay_ms = n;
      if (a == "--late-ms") o.late_ms = n;
      if (a == "--seed") o.seed = static_cast<unsigned>(n);
    } else if (a == "--fault-share" || a == "--loss") {
      if ((v = value()) == nullptr || !ParsePercent(*v, a == "--loss" ? o.loss : o.fault_share)) {
        return needs("a percentage from 0 to 100, such as 20 or 0.5");
      }
    } else {
      return "unknown option " + a;
    }
  }
  return "";
}

}  // namespace sim
