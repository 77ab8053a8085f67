// climon-sim: a simulated controller on a pseudo-terminal, for the demo and the tests.
#include <cstdio>
#include <string>
#include <vector>

#include "Controller.h"
#include "Pty.h"
#include "Serve.h"
#include "SimOptions.h"
#include "cli/Cli.h"

namespace {

int Fail(const std::string& msg) {
  return cli::Refuse("climon-sim", msg, sim::kSimUsageHint);
}

}  // namespace

int main(int argc, char** argv) {
  sim::SimOptions o;
  if (auto status = sim::SimCommandLine({argv + 1, argv + argc}, o)) return *status;
  sim::Controller plc(o.variant, o.relay7000);
  for (const auto& s : o.sets) {
    if (!plc.Fix(s)) return Fail("bad --set: " + s);
  }
  sim::Pty line = sim::OpenPty(o.link);
  if (!line.error.empty()) {
    std::fprintf(stderr, "climon-sim: %s\n", line.error.c_str());
    return 1;
  }
  std::FILE* log = nullptr;
  if (!o.log.empty() && (log = std::fopen(o.log.c_str(), "w")) == nullptr) {
    std::perror("climon-sim: log");
    return 1;
  }
  std::printf("%s\n", line.path.c_str());
  std::fflush(stdout);
  sim::Serve(o, plc, line, log);
  sim::ClosePty(line, o.link);
  if (log != nullptr) std::fclose(log);
  return 0;
}
