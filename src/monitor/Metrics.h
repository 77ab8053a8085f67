// The metrics file: after every pass, the pass's values in the Prometheus text exposition
// format, for node_exporter's (or windows_exporter's) textfile collector. The file is
// written whole to a temporary file beside it and renamed over it, so a reader never
// sees part of one.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "alarm/Alarm.h"
#include "comLib3/Clock.h"
#include "logformat/LogFormat.h"
#include "monitor/Pass.h"
#include "seal/Chain.h"

namespace monitor {

// What one pass leaves for the metrics, besides its values.
struct PassState {
  const Pass& pass;
  comLib3::WallTime now;
  std::optional<comLib3::WallTime> last_reply;
  bool link_up;
  std::uint16_t model;  // the first indicator relay, which tells the controller model
  std::string room;
  // The last link written into the value log and the audit trail, where they are sealed.
  std::optional<seal::Head> log_seal = std::nullopt, audit_seal = std::nullopt;
  const alarms::Machine* alarms = nullptr;  // with --alarms
};

// Seconds since 1970 (UTC) of a local time, to the millisecond.
double UnixSeconds(const comLib3::WallTime& t);

// "85.15" with its decimal point moved `places` to the left: "0.8515". Exact, where a
// division of the value would not always be.
std::string ShiftDecimal(const std::string& number, int places);

// The room's name, or why it is refused (control characters, more than 64 bytes, not
// UTF-8).
std::optional<std::string> RoomNameProblem(const std::string& name);
// Where a text stops being well-formed UTF-8, or npos.
std::size_t Utf8Error(std::string_view s);

class MetricsFile {
 public:
  // Checks that a file can be written beside `path`; null with the reason when not.
  static std::unique_ptr<MetricsFile> Open(const std::string& path, std::string version,
                                           std::string& error);
  // The exposition of a pass. The counters are those of the last pass that refreshed them.
  std::string Exposition(const PassState& pass) const;
  // Writes it; false with error() when it could not be written.
  bool Write(const PassState& pass);
  const std::string& error() const { return error_; }

 private:
  MetricsFile(std::string path, std::string version)
      : path_(std::move(path)), version_(std::move(version)) {}
  std::string path_, version_, error_;
  // The counters' last values, in the log's order: total, heater, 119, cooler, 121.
  using Counters = std::array<Value, 5>;
  // The counters to show after `values`: its own when it refreshed them.
  Counters CountersOf(const Pass& values) const;
  Counters counters_;
};

}  // namespace monitor
