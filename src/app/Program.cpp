#include "app/Program.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/Acknowledge.h"
#include "app/Notify.h"
#include "comLib3/comLib3.h"
#include "console/FatalError.h"
#include "files/Files.h"
#include "monitor/Monitor.h"
#include "seal/Chain.h"

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

// A cause or an action not given on the command line, asked for on a terminal.
bool Ask(const char* what, std::optional<std::string>& answer) {
  if (answer) return true;
  if (!files::IsTerminal(stdin) || !files::IsTerminal(stdout)) return false;
  std::printf("%s", what);
  std::fflush(stdout);
  std::string line;
  for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';) line += static_cast<char>(c);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  answer = line;
  return true;
}

}  // namespace

std::optional<int> Main(const Parsed& parsed, Start& start, const Journal& also) {
  if (!parsed.line.error.empty() && also) also(parsed.line.error, monitor::Severity::kError);
  if (std::optional<int> status = Answer(parsed)) return status;
  start = Start{parsed.options, nullptr, nullptr, nullptr};
  // The files asked for, each checked before the terminal or a port is touched.
  std::string error;
  Options& o = start.options;
  if (!o.acknowledge.empty()) {
    if (!Ask("Cause: ", o.cause) || !Ask("Corrective action: ", o.action)) {
      return cli::Refuse("climon",
                         "option --acknowledge needs --cause and --action: no one is there "
                         "to type them",
                         kUsageHint);
    }
    return SendAcknowledgement(o.ack_folder.empty() ? AckFolderOf(o.acknowledge) : o.ack_folder,
                               o.acknowledge, *o.cause, *o.action);
  }
  if (!o.install_service.empty() || !o.remove_service.empty()) return std::nullopt;
  // A key asked for and not there: no unkeyed seals in its place.
  std::string key;
  if ((!o.seal_key.empty() && !seal::ReadKey(o.seal_key, key, error)) ||
      (!o.log.empty() && !(start.log = monitor::ValueLog::Open(
                               o.log, error, monitor::ValueLog::ValueLogKind(key)))) ||
      (!o.audit.empty() && !(start.audit = monitor::ValueLog::Open(
                                 o.audit, error, monitor::ValueLog::AuditKind(key)))) ||
      (!o.metrics.empty() &&
       !(start.metrics = monitor::MetricsFile::Open(o.metrics, kVersion, error)))) {
    std::fprintf(stderr, "climon: %s\n", error.c_str());
    if (also) also(error, monitor::Severity::kError);
    return kUsageError;
  }
  return std::nullopt;
}

int Run(Start& start, console::Console& con, comLib3::Clock& clock, comLib3::SerialPorts& ports,
        const Journal& also) {
  g_console = &con;
  std::set_terminate(OnTerminate);
  int status = 0;
  std::string report;  // what ended the run, said once the console is given back
  try {
    comLib3::ComLib3 com(con, clock, ports);
    monitor::Outputs out;
    out.log = start.log.get();
    out.metrics = start.metrics.get();
    out.audit = start.audit.get();
    out.room = start.options.room;
    out.user = files::LoginName();
    out.version = kVersion;
    std::optional<AckBox> box;
    std::optional<Notifier> notifier;
    if (start.options.alarms) {
      if (!start.options.notify.empty()) {
        // A service's journal takes the program's errors; on a terminal they would
        // write over the screen.
        notifier.emplace(start.options.notify, clock, start.options.headless);
        out.notify = [&notifier](const alarms::Event& e, const std::string& room) {
          notifier->Event(e, room);
        };
        out.notify_problems = [&notifier] { return notifier->Poll(); };
      }
      out.alarms = start.options.alarm_settings;
      if (!start.options.ack_folder.empty()) {
        box.emplace(start.options.ack_folder);
        out.acknowledgements = [&box] { return box->Take(); };
      }
    }
    if (start.options.headless) {
      // A service's journal: one line per event.
      // A Windows service has no stderr to write to (under Wine a write there can block).
      const bool to_stderr = start.options.service.empty();
      out.journal = [&also, to_stderr](const std::string& line, monitor::Severity severity) {
        if (to_stderr) {
          std::fprintf(stderr, "climon: %s\n", line.c_str());
          std::fflush(stderr);
        }
        if (also) also(line, severity);
      };
    }
    monitor::Monitor program(com, std::move(out));
    status = program.Run(start.options.port);
  } catch (const console::FatalError& e) {
    report = std::string(e.what()) + " (runtime error " + std::to_string(e.code()) + ")";
    status = e.code();
  } catch (const std::exception& e) {
    report = e.what();
    status = kInternalError;
  } catch (...) {
    report = "ended by an unexpected error";
    status = kInternalError;
  }
  con.Restore();
  // A last try for rows a full disk kept back; what is still kept is said, not dropped
  // without a word.
  for (monitor::ValueLog* record : {start.log.get(), start.audit.get()}) {
    if (record == nullptr || record->Flush()) continue;
    const std::string lost = std::to_string(record->kept()) + " rows not written to " +
                             record->path() + ": " + record->error();
    report += (report.empty() ? "" : "; ") + lost;
  }
  if (!report.empty()) {
    std::fprintf(stderr, "climon: %s\n", report.c_str());
    if (also) also(report, monitor::Severity::kError);
  }
  g_console = nullptr;
  return status;
}

}  // namespace app
