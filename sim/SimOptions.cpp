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

const char* const kSimUsageHint = "usage: climon-sim [options]   (climon-sim --help tells more)\n";

namespace {

constexpr const char* kNumber = "a whole number from 0 to 1000000";
constexpr const char* kPercent = "a percentage from 0 to 100, such as 20 or 0.5";

const cli::Program kProgram = {
    "climon-sim",
    CLIMON_VERSION,
    "usage: climon-sim [options]\n"
    "A simulated climate controller on a pseudo-terminal. Prints the terminal's path.\n"
    "\n",
    "",
    kSimUsageHint,
    nullptr,
    21};

cli::Take Int(int& to, int lo, int hi) {
  return [&to, lo, hi](const std::string& v, std::string&) { return ParseInt(v, to, lo, hi); };
}

cli::Take Percent(double& to) {
  return [&to](const std::string& v, std::string&) { return ParsePercent(v, to); };
}

std::vector<cli::Option> Table(SimOptions& o) {
  return {
      {"--link", "a path", cli::Store(o.link), "PATH",
       "also make PATH a symbolic link to the terminal"},
      {"--variant", "a device variant: 1, 2, 3 or 9",
       [&o](const std::string& v, std::string&) {
         int n = 0;
         if (!ParseInt(v, n, 1, 9) || (n != 1 && n != 2 && n != 3 && n != 9)) return false;
         o.variant = n;
         return true;
       },
       "N", "device variant 1, 2, 3 or 9 (default 1)"},
      {"--no-relay-7000", nullptr, cli::Set(o.relay7000, false), nullptr,
       "the controller model without relay 7000 (indicators on 604\nto 607)"},
      {"--live", nullptr, cli::Set(o.live), nullptr,
       "run the live scenario: values drift, relays switch,\ncounters count"},
      {"--set", "NAME=VALUE", cli::Append(o.sets), "NAME=VALUE",
       "fix a value: DMn (word), Rn (relay 0/1), Tn (timer's\ncurrent value); may be repeated"},
      {"--control", "a file name", cli::Store(o.control), "FILE",
       "a file of NAME=VALUE lines, as --set, applied again\n"
       "each time it changes while the simulator runs (a test\n"
       "or the demo drives a room out of its band and back)"},
      {"--log", "a file name", cli::Store(o.log), "FILE",
       "one line per command received: milliseconds since start,\n"
       "the command and the reply, separated by tabs"},
      {"--pace", nullptr, cli::Set(o.pace), nullptr,
       "send replies at the line's real speed (9600 baud, 11 bits\na byte)"},
      {"--baud", "a speed in baud, such as 9600", Int(o.baud, 50, 4000000), "N",
       "read commands and send replies at N baud (11 bits a byte),\nas a real line carries them"},
      {"--delay-ms", kNumber, Int(o.delay_ms, 0, 1000000), "N",
       "turn-around time before a reply (default 2)"},
      {"--fault", "a fault: silence, error, garbage, late, short1, short2 or long",
       [&o](const std::string& v, std::string&) {
         o.fault = Fault::kNone;
         for (const FaultName& f : kFaults) {
           if (v == f.name) o.fault = f.fault;
         }
         return o.fault != Fault::kNone;
       },
       "KIND", "silence | error | garbage | late | short1 | short2 | long"},
      {"--fault-share", kPercent, Percent(o.fault_share), "PCT",
       "share of commands the fault hits, 0 to 100 (default 100)"},
      {"--fault-match", "a text", cli::Store(o.fault_match), "TXT",
       "the fault hits only commands that begin with TXT"},
      {"--late-ms", kNumber, Int(o.late_ms, 0, 1000000), "N",
       "when a late reply comes (default 90)"},
      {"--loss", kPercent, Percent(o.loss), "PCT",
       "share of replies that are lost, 0 to 100 (such as 0.5)"},
      {"--seed", kNumber,
       [&o](const std::string& v, std::string&) {
         int n = 0;
         if (!ParseInt(v, n, 0, 1000000)) return false;
         o.seed = static_cast<unsigned>(n);
         return true;
       },
       "N", "seed of the random choices (default 1)"},
  };
}

}  // namespace

cli::Line ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  return cli::Read(kProgram, args, Table(o));
}

std::optional<int> SimCommandLine(const std::vector<std::string>& args, SimOptions& o) {
  return cli::Answer(kProgram, Table(o), ParseSimOptions(args, o));
}

}  // namespace sim
