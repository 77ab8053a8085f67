// The climate monitor: start-up with device-variant detection, guarded reads with the
// single-key commands, the activity indicators, the monitor cycle with the climate rows,
// the operating-time counters with their reset, and the shutdown.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "PLC_Lib3/PLC_Lib3.h"
#include "alarm/Alarm.h"
#include "comLib3/comLib3.h"
#include "console/ShortString.h"
#include "logformat/LogFormat.h"
#include "monitor/Pass.h"
#include "monitor/ValueLog.h"
#include "monitor/Variants.h"

namespace monitor {

// The screen's climate rows 3 to 7 (Cycle.cpp) and counter rows 14 to 18 (Counters.cpp,
// a counter row by the variant's table) as the pass makes them; empty for another row.
std::string RowText(int row, const Pass& pass);
std::string CounterRowText(int row, const Pass& pass);

using comLib3::ComLib3;
using console::ShortString;

inline constexpr int kResetPromptRow = 20;
inline constexpr const char* kResetPrompt = "Reset Timers [Y/N] ";
// The free rows below the monitor: the link's state while no reply comes, and a value
// log that cannot be written. Nothing shows there on a healthy link with a good log.
inline constexpr int kLinkRow = 22;
inline constexpr int kLogRow = 23;
inline constexpr const char* kNoReplySince = "No reply from the controller since ";
inline constexpr const char* kNotReadYet = "Not read yet: ";
// The link counts as lost when no read has had a usable reply for this long.
inline constexpr std::chrono::seconds kLinkLostAfter{2};
// Start-up reads without a reply are made again at most this often: on a dead line each
// costs its retries, and the passes stay short.
inline constexpr std::chrono::seconds kStartupRetryEvery{5};
// With a record kept (a log, metrics, an audit trail) or alarms raised the set points are
// read again this often, on a pass that refreshes the counters, so that the record and
// the alarms have the set point in force when one is changed at the controller. The
// plain program reads them once.
inline constexpr std::chrono::seconds kSetPointsEvery{60};

// The alarms (--alarms): the one that most needs attention on row 21, the bell when one is
// raised and again this often until it is acknowledged, and the key A that asks for the
// cause and the corrective action on the reset prompt's row.
inline constexpr int kAlarmRow = 21;
inline constexpr std::chrono::seconds kBellEvery{60};
inline constexpr const char* kCausePrompt = "Cause: ";
inline constexpr const char* kActionPrompt = "Corrective action: ";
// A cause or an action sent to a service is cut to this.
inline constexpr std::size_t kAnswerMax = 500;

// The row 21 text of the alarms: the one that most needs attention; empty when none.
std::string AlarmRowText(const alarms::Machine& m, const record::Moment& now);

// An acknowledgement sent to a service (climon --acknowledge): who sent it (as the
// system knows the sender), what they typed, and where the service's answer goes.
struct AckRequest {
  std::string user, cause, action;
  std::function<void(const std::string&)> answer;
};

class MetricsFile;

// How a journal line is to be taken: an event log files it under its type.
enum class Severity { kInfo, kWarning, kError };

// Where a pass's values go besides the screen, and a line for each event an operator
// would want in a service's journal. Each is optional.
struct Outputs {
  ValueLog* log = nullptr;
  MetricsFile* metrics = nullptr;
  ValueLog* audit = nullptr;  // the audit trail: what the operator did, and the run's events
  std::string room;           // the room's name for the metrics and the journal; empty: COMn
  std::string user;           // who runs climon, for the audit trail
  std::string version;        // climon's, for the audit trail
  std::function<void(const std::string&, Severity)> journal;
  // The alarms' rule when climon raises them (--alarms); none: no alarm.
  std::optional<alarms::Settings> alarms;
  // The acknowledgements sent to a service since the last pass, taken once a pass.
  std::function<std::vector<AckRequest>()> acknowledgements;
  // Each alarm event, for the site's program (--notify); and what has gone wrong with
  // the programs since the last pass, a line each.
  std::function<void(const alarms::Event&, const std::string& room)> notify;
  std::function<std::vector<std::string>()> notify_problems;
};

class Monitor {
 public:
  explicit Monitor(ComLib3& com, Outputs out = {}) : com_(com), out_(std::move(out)) {
    if (out_.alarms) alarm_.emplace(*out_.alarms);
  }

  // The main sequence from the port prompt to the shutdown; the process's exit status.
  // A `port` text is taken as if it had been typed at the prompt.
  int Run(std::optional<std::string_view> port = std::nullopt);

  // Start-up and shutdown.
  void DetectDeviceVariant(std::int32_t port);
  void SelectCounterLabels();
  void ProbeControllerModel(std::int32_t port);
  void Shutdown();

  // Guarded reads and key commands.
  std::int32_t ReadDmValue(std::int32_t port, std::uint16_t dm, char kind);
  std::int32_t ReadDmStable(std::int32_t port, std::uint16_t dm, char kind);
  std::uint16_t ReadTimerValue(std::int32_t port, std::uint16_t timer);

  // Activity indicators.
  void VentIndicator(bool fresh);
  void TempCtlIndicator(bool fresh);
  void FloorHtrIndicator(bool fresh);
  void TempModeIndicator(bool fresh);

  // Monitor cycle and climate rows.
  void MonitorPreparation();
  void MonitorPass();
  void MonitorCycle();

  // Operating-time counters.
  void RefreshCounters();
  void ResetCounters(bool keep_total);

  // Start-up results.
  std::int32_t ComPort = 0;
  bool StopFlag = false;
  bool ResetRequest = false;
  std::int32_t ReadCount = 0;
  std::int32_t DeviceVariant = 0;
  ShortString CounterLabel119, CounterLabel121, CounterLabel125, CounterLabel127;
  std::uint16_t VentRelay = 0, TempCtlRelay = 0, FloorHtrRelay = 0, TempModeRelay = 0;

  // Indicator state.
  ShortString VentReply, TempCtlReply, FloorHtrReply, TempModeReply;
  std::int32_t VentPhase = 0, TempCtlPhase = 0, FloorHtrPhase = 0;
  std::uint16_t SavedCursorX = 0, SavedCursorY = 0;

  // Monitor references, flags and counters.
  std::int32_t Base890 = 0, Base893 = 0, Base894 = 0, Base39 = 0, Base895 = 0;
  bool HighRange = false;
  std::int32_t CycleCount = 0;
  std::uint16_t T106Min = 0, T107Min = 0;

  // The one question every reader asks: has the operator (or the service manager)
  // ended the monitor? Then nothing more is read or drawn.
  bool Stopping() const { return StopFlag || com_.EscFlag; }

 private:
  // A read: its value (0 when it got no usable reply, as the screen shows it) and how
  // the pass came by it.
  template <typename T>
  struct Reading {
    T value = 0;
    Got got = Got::kNotRead;
    bool ok() const { return got == Got::kRead; }
    // Not made at all because the monitor had been ended before it.
    bool skipped(const Monitor& m) const { return got == Got::kNotRead && m.Stopping(); }
  };
  // The guarded read behind ReadDmValue.
  Reading<std::int32_t> ReadWord(std::int32_t port, std::uint16_t dm, char kind);
  Reading<std::int32_t> ReadStable(std::int32_t port, std::uint16_t dm, char kind);
  Reading<std::int64_t> ReadCounter(std::uint16_t low_dm);
  // The label that SelectCounterLabels chose for a counter.
  const ShortString& CounterLabel(const CounterWords& counter) const;
  // A timer read and whether its reply was usable (65535 otherwise): ReadTimerValue's,
  // and the monitor's own, which makes none once it is stopping.
  Reading<std::uint16_t> TimerReading(std::int32_t port, std::uint16_t timer);
  Reading<std::uint16_t> ReadTimer(std::uint16_t timer);
  void KeyCommands(std::int32_t port);
  // A guarded read for a row, with the cursor on the row's first column after it.
  Reading<std::int32_t> ReadForRow(int row, std::uint16_t dm, char kind);
  // Row 1: the system number (DM109) and the port.
  void HeaderRow();
  // The indicators and rows 3 to 7 of a pass, up to the ESC that ends it.
  void ClimateRows();
  void DefrostRow();
  // A reference word read again: its value and state follow a usable reply only.
  void ReadBaseAgain(int base);
  // A reference word whose read at start had no usable reply, read again.
  void ReadMissingBase(int base);
  // One animated indicator: label, relay number, then the state character of its phase.
  void DrawAnimated(int row, const char* label, std::uint16_t relay, ShortString& reply,
                    std::int32_t& phase, std::span<const int> phases, bool fresh);
  void SaveCursor();
  void RestoreCursor();
  // The link's row: shown once no read has had a usable reply for kLinkLostAfter, with
  // the time of the first failure, until a reply comes.
  void NoteLink(bool replied);
  // Writes a status row's text over what it showed before, keeping the cursor.
  void StatusRow(int row, const std::string& text, std::size_t& shown);
  void Journal(const std::string& line, Severity severity = Severity::kInfo);
  // One row of the audit trail, when there is one, with the time it happened.
  void Audit(std::string_view event, std::string_view detail = "", std::string_view reply = "");
  void Audit(const comLib3::WallTime& at, std::string_view event, std::string_view detail,
             std::string_view reply = "");
  // The run's start in the journal (when it has `ran` past the start-up) and the audit
  // trail, and what waited for it; then its end with the cause (ESC, a signal, a service
  // stop, a fatal error), the start first if it has not been said yet.
  void Started(bool ran = true);
  void Ended(const std::string& cause);
  // What a record lost past its bound, told in the journal and the trail.
  void TellLost(ValueLog* record);
  std::string Room() const;
  // The pass's values to the log and the metrics.
  void Publish();
  // Row 23: what the log and the metrics have to say, and whether it is only a notice.
  void ShowOutput(const std::string& text, bool notice);

  ComLib3& com_;
  Outputs out_;
  bool link_down_ = false;
  // Since when the reads have all failed (none while the last one had a usable reply).
  std::optional<comLib3::Clock::Duration> first_failure_;
  std::optional<comLib3::WallTime> last_reply_;
  std::size_t link_shown_ = 0, out_shown_ = 0;
  std::string link_text_, out_text_;
  // The start row is the trail's first, stamped when the run began: the rows and journal
  // lines of the start-up (a link lost on a silent line, a terminal line) wait for it.
  // Run clears it for the start-up; the parts of the monitor work alone as started.
  bool started_ = true;
  comLib3::WallTime start_time_{};
  std::vector<std::string> early_rows_;
  std::vector<std::pair<std::string, Severity>> early_journal_;
  std::string last_counters_;  // the counters as last read, for the audit of a reset
  bool out_notice_ = false;
  // Whether each reference word's read had a usable reply, and what this pass read, for
  // the log and the metrics.
  bool base_ok_[5] = {};
  Pass pass_;
  // The start-up reads that have had a usable reply. One without is read again on later
  // passes (nothing more is sent on a line that answered them at start).
  bool variant_known_ = false, model_known_ = false, t106_known_ = false, t107_known_ = false;
  bool retry_startup_ = false;  // this pass makes the missing start-up reads again
  comLib3::Clock::Duration next_startup_retry_{}, next_set_points_{};
  // The reference words read again, for a record that follows a change of set point.
  void ReadSetPointsAgain();
  // What of the start-up is not known yet, for row 23 and the journal; empty once all is.
  std::string NotKnownYet() const;
  // The start-up reads that had no usable reply, made again.
  void ReadMissingStartup();
  // The metrics at once, when the link's state changes.
  void PublishLink();
  // What the metrics get of the pass so far.
  struct PassState State(const comLib3::WallTime& now) const;

  // The alarms: the rule stepped with the pass (`record_ok`: the log and the audit trail
  // were written), each event told, the requests of `climon --acknowledge` answered, the
  // bell rung and row 21 drawn.
  void StepAlarms(bool record_ok);
  void AlarmEvent(const alarms::Event& e);
  void TakeAcknowledgements();
  // Row 21 when its text changed, or `again` after the screen was cleared.
  void ShowAlarm(bool again = false);
  // Key A: the cause and the action asked for on the prompt row; ESC leaves.
  void AcknowledgeAtConsole();
  std::optional<std::string> AskAnswer(const char* prompt);
  std::optional<alarms::Machine> alarm_;
  bool alarms_running_ = false;
  bool record_ok_ = true;  // the last pass wrote the value log and the audit trail
  comLib3::Clock::Duration next_bell_{};
  std::size_t alarm_shown_ = 0;
  std::string alarm_text_;
};

}  // namespace monitor
