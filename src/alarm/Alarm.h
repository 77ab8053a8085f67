// The room's alarms: one rule for climon, which raises them live, and climon-report, which
// runs it again over the logs, so that the console, the journal, the metrics and the
// signed record agree on every alarm.
//
// The rule is a pure state machine: a sample of the room at a time in (its values, their
// set points, the defrost count-down, the link, the record), its alarms' states and events
// out. Nothing in it reads a clock or a file.
//
// A value's alarm: outside its band around the set point for the delay, counted from the
// moment it left, without a break (consecutive, not accumulated: a run of short departures
// hours apart is no single deviation, and the report counts those on their own). The
// count starts again only when the value is back inside by the differential, so a value
// hovering at the limit is one departure, and an alarm raised clears the same way. Nothing
// is judged while the room cannot be: for the settling time after climon starts, after the
// link comes back and after the value's set point changes; and the temperature and the
// humidity from the start of a defrost (the count-down at 0 or started again) until the
// time after a defrost has passed. An alarm latches: cleared before anyone acknowledged it,
// it stays open until someone does. One acknowledged that is still outside after the
// re-alarm time is raised again. The system's alarms (the link lost, the record not
// written, a start-up value not read) follow the same states with their own delays.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Cli.h"
#include "record/Period.h"

namespace alarms {

enum Slot { kTemp, kHumidity, kCo2, kLink, kRecord, kStartup, kSlotCount };
inline constexpr int kValueSlots = 3;  // the slots before kLink are the room's values

// The states as numbers, as the metrics give them.
enum class State : std::uint8_t {
  kNone = 0,
  kPending = 1,         // outside, for less than the delay
  kUnacknowledged = 2,  // raised, still outside
  kAcknowledged = 3,    // raised and acknowledged, still outside
  kCleared = 4,         // back, but not acknowledged yet
};

struct Band {
  double below = 0, above = 0;
  bool has_below = true;  // CO2 has no lower limit
};

inline constexpr std::int64_t kMinute = 60000;

struct Settings {
  // Temperature +-1.0 C, humidity +-5 points, CO2 up to 0.5 points above.
  std::array<Band, kValueSlots> bands = {Band{1.0, 1.0, true}, Band{5.0, 5.0, true},
                                         Band{0, 0.5, false}};
  std::array<double, kValueSlots> differential = {0.2, 1.0, 0.05};
  std::int64_t delay_ms = 15 * kMinute;
  std::int64_t settle_ms = 10 * kMinute;
  std::int64_t after_defrost_ms = 30 * kMinute;
  std::int64_t realarm_ms = 60 * kMinute;
  // The system's alarms: the link lost, the record not written, a start-up value not read.
  std::int64_t link_ms = 5 * kMinute, record_ms = 0, startup_ms = 5 * kMinute;
};

// The options that set them, the same in climon and climon-report.
std::vector<cli::Option> Options(Settings& s);

// True when `x` is outside the band around `set` narrowed by `margin` on each side.
bool Outside(double x, double set, const Band& band, double margin = 0);

// What the room looked like at one moment: a pass of climon, a row of the log.
struct Sample {
  record::Moment at;
  std::array<std::optional<double>, kValueSlots> value, set_point;  // absent: not read
  std::optional<double> defrost_minutes;                            // the count-down
  bool started = false;  // the first sample of a run of climon
  bool link = true;      // a reply came
  bool record = true;    // the value log and the audit trail were written
  bool startup = true;   // every start-up value has been read
};

enum class Happened { kRaised, kRepeated, kAcknowledged, kCleared };

struct Event {
  Happened what = Happened::kRaised;
  Slot slot = kTemp;
  record::Moment at, since;  // when it happened; since when the alarm's condition holds
  std::optional<double> reading, limit, set_point, peak;  // a value's alarm
  bool back = false;  // the value is back inside: the reading is no longer the deviation
  std::string user, cause, action;  // an acknowledgement
};

struct Alarm {
  State state = State::kNone;
  std::optional<record::Moment> since;  // of the departure pending or outside now
  record::Moment raised, from;          // when it was raised; its departure's start
  std::optional<double> reading, limit, set_point, peak;
  std::int64_t repeat_at = 0;  // acknowledged: raised again then, still outside
};

class Machine {
 public:
  explicit Machine(const Settings& settings) : s_(settings) {}
  std::vector<Event> Step(const Sample& sample);
  // Acknowledges the alarm in `slot`, or the one that most needs it: none when there is
  // no alarm to acknowledge.
  std::optional<Event> Acknowledge(const record::Moment& at, std::optional<Slot> slot,
                                   const std::string& user, const std::string& cause,
                                   const std::string& action);
  const Alarm& operator[](Slot slot) const { return a_[slot]; }
  // The alarm that most needs attention: raised and not acknowledged, then cleared and not
  // acknowledged, then acknowledged; the oldest first. None when all are quiet.
  std::optional<Slot> Foremost() const;
  // Any raised alarm waiting for its acknowledgement.
  bool Unacknowledged() const;
  const Settings& settings() const { return s_; }
  // An event of the slot's alarm as it stands.
  Event Of(Happened what, Slot slot, const record::Moment& at) const;

 private:
  // One slot's step: `bad` the condition holds now, `good` it is over (a value inside by
  // the differential), `judged` the sample says either.
  void Judge(Slot slot, bool bad, bool good, std::int64_t delay, const Sample& sample,
             std::vector<Event>& out);

  Settings s_;
  std::array<Alarm, kSlotCount> a_;
  std::array<std::optional<double>, kValueSlots> set_;
  std::array<std::int64_t, kValueSlots> settle_until_{};
  std::int64_t defrost_until_ = 0;
  std::optional<double> defrost_;
  bool link_down_ = false;
};

// The slot's name ("temperature", "link"), as the metrics label and the audit trail name it;
// the slot named so.
const char* Name(Slot slot);
std::optional<Slot> SlotNamed(const std::string& name);
// The event as one line: "temperature: 14.20 above the limit 13.50 since 03:12:00",
// "temperature: back 12.50, peak 14.20 over 13.50 since 03:12:00", "link: no reply from
// the controller since 03:12:00".
std::string Text(const Event& e);
// The event's word in the audit trail and the journal: "alarm raised".
const char* EventName(Happened what);
// An acknowledgement's detail in the audit trail: the alarm, then "cause: " and
// "action: " on lines of their own; and read back, false when it is not one.
std::string AckDetail(const Event& e);
bool ReadAckDetail(const std::string& detail, Slot& slot, std::string& cause, std::string& action);
// A typed text (a cause, an action) as one line: control characters made blanks, cut to
// `max` bytes.
std::string OneLine(std::string_view text, std::size_t max = std::string_view::npos);
// A value to the decimals of its slot.
std::string Reading(Slot slot, double v);

}  // namespace alarms
