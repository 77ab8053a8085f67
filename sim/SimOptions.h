// climon-sim's command line and its faults.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace sim {

// The faults the simulator can put on the line, in one place: the option takes these
// names, the usage lists them, the serve loop applies them.
enum class Fault { kNone, kSilence, kError, kGarbage, kLate, kShort1, kShort2, kLong };
struct FaultName {
  Fault fault;
  const char* name;
};
inline constexpr FaultName kFaults[] = {{Fault::kSilence, "silence"}, {Fault::kError, "error"},
                                        {Fault::kGarbage, "garbage"}, {Fault::kLate, "late"},
                                        {Fault::kShort1, "short1"},   {Fault::kShort2, "short2"},
                                        {Fault::kLong, "long"}};
const char* NameOf(Fault f);

struct SimOptions {
  std::string link, log;
  int variant = 1;
  bool relay7000 = true, live = false, pace = false;
  int baud = 0;  // 0: commands are taken as fast as they come
  int delay_ms = 2, late_ms = 90;
  double fault_share = 100, loss = 0;  // percent
  unsigned seed = 1;
  Fault fault = Fault::kNone;
  std::string fault_match;
  std::vector<std::string> sets;
  std::string control;  // a file of --set lines, applied again whenever it changes
};

extern const char* const kSimUsageHint;  // the usage line, for a refused command line

// The line read into `o`; its refusal, with what a good value would be, in `error`.
cli::Line ParseSimOptions(const std::vector<std::string>& args, SimOptions& o);
// The same, answered: the exit status when climon-sim ends with its command line.
std::optional<int> SimCommandLine(const std::vector<std::string>& args, SimOptions& o);

}  // namespace sim
