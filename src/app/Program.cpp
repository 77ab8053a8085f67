#include "app/Program.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "comLib3/comLib3.h"
#include "console/FatalError.h"
#include "monitor/Monitor.h"

namespace app {
namespace {

// For std::terminate: whatever ends the program gives the console back first.
console::Console* g_console = nullptr;

[[noreturn]] void OnTerminate() {
  if (g_console != nullptr) g_console->Restore();
  std::fputs("climon: ended by an unexpected error\n", stderr);
  std::abort();
}

constexpr int kUsageError = 2;
constexpr int kInternalError = 70;  // as EX_SOFTWARE

}  // namespace

int Main(int argc, char** argv, const std::function<int(Start&)>& run) {
  Parsed parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "climon: %s\n%s", parsed.error.c_str(), kUsageHint);
    return kUsageError;
  }
  Start start{parsed.options, nullptr, nullptr};
  if (start.options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (start.options.version) {
    std::printf("climon %s\n", kVersion);
    return 0;
  }
  if (!start.options.log.empty()) {
    std::string error;
    start.log = monitor::ValueLog::Open(start.options.log, error);
    if (!start.log) {
      std::fprintf(stderr, "climon: %s\n", error.c_str());
      return kUsageError;
    }
  }
  if (!start.options.metrics.empty()) {
    std::string error;
    start.metrics = monitor::MetricsFile::Open(start.options.metrics, kVersion, error);
    if (!start.metrics) {
      std::fprintf(stderr, "climon: %s\n", error.c_str());
      return kUsageError;
    }
  }
  return run(start);
}

int Run(Start& start, console::Console& con, comLib3::Clock& clock, comLib3::SerialPorts& ports) {
  g_console = &con;
  std::set_terminate(OnTerminate);
  int status = 0;
  try {
    comLib3::ComLib3 com(con, clock, ports);
    monitor::Outputs out{start.log.get(), start.metrics.get(), start.options.room, nullptr};
    if (start.options.headless) {
      // A service's journal: one line per event.
      out.journal = [](const std::string& line) {
        std::fprintf(stderr, "climon: %s\n", line.c_str());
        std::fflush(stderr);
      };
    }
    monitor::Monitor program(com, std::move(out));
    status = program.Run(start.options.port);
    con.Restore();
  } catch (const console::FatalError& e) {
    con.Restore();
    std::fprintf(stderr, "climon: %s (runtime error %d)\n", e.what(), e.code());
    status = e.code();
  } catch (const std::exception& e) {
    con.Restore();
    std::fprintf(stderr, "climon: %s\n", e.what());
    status = kInternalError;
  } catch (...) {
    con.Restore();
    std::fputs("climon: ended by an unexpected error\n", stderr);
    status = kInternalError;
  }
  g_console = nullptr;
  return status;
}

}  // namespace app
