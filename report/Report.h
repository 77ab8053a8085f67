// The room's record for a period, from its value logs and audit trails: for each day and
// value the lowest and highest with their times, the time-weighted mean and the time
// inside its band, outside it and without a value; the excursions from the band, the
// outages and the operator's actions.
//
// Time is accounted between rows: a row's values hold until the next row when it comes
// within record::kHoldMs; a longer gap is climon not running, and counts as time without a
// value. Every reading is in the lowest and highest; one that holds for no time (the last
// before a stop or at the log's end) weighs nothing in the mean and the durations. A day is the
// calendar day in the log's own UTC offset, from its midnight at the offset then in force to the
// next: a day on which summer time begins is 23 hours long.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Aggregate.h"
#include "alarm/Alarm.h"
#include "logread/LogReader.h"
#include "record/Period.h"

namespace report {

enum Value { kTemp, kHumidity, kCo2, kEvap, kValueCount };

struct ValueInfo {
  const char* name;
  const char* unit;  // after the number: " °C", " %"
  int decimals;
  logread::Series series, set_point;
};
extern const std::array<ValueInfo, kValueCount> kValues;

using alarms::Band;

struct Settings {
  // The bands, the delay (a shorter departure is counted, not listed) and the alarms'
  // times, as climon has them.
  alarms::Settings alarms;
  // A value's band; none for the evaporator's temperature, which is not judged.
  const Band* BandOf(Value v) const {
    return v < alarms::kValueSlots ? &alarms.bands[static_cast<std::size_t>(v)] : nullptr;
  }
};

using record::kDayMs, record::kHoldMs, record::LocalDay, record::Moment, record::Period;

struct ValueFigures {
  std::optional<double> low, high;
  Moment low_at, high_at;
  std::optional<double> set_low, set_high;         // the set points in force
  double sum = 0;                                  // value × ms, for the mean
  std::int64_t with = 0, inside = 0, outside = 0;  // ms with a value; of those, judged
  int departures = 0;                              // outside for less than the delay
  std::int64_t departure_ms = 0;
  std::optional<double> Mean() const;
};

struct Day {
  std::int64_t day = 0;         // days since 1970, local
  std::int64_t length = 0;      // ms of the day that the period covers
  std::int64_t unrecorded = 0;  // of those, ms without a row (not running, the link lost)
  std::uint64_t rows = 0;
  int offset = 0;               // the log's UTC offset at the day's start
  bool offset_changed = false;  // and another later (summer time began or ended)
  std::array<ValueFigures, kValueCount> values;
  plot::Chart chart;  // the day's rows as climon-plot draws them, over the whole day
};

// A departure from the band, judged over every row read (the margins around the period
// too), so that one across midnight or the period's edge is one excursion, whole.
struct Excursion {
  Value value = kTemp;
  Moment start, end;
  double peak = 0;       // the furthest from its set point
  double set_point = 0;  // in force at the peak
  Moment peak_at;
  bool above = true;  // the side it left the band on
  bool both = false;  // and it crossed to the other side before it came back
  enum How { kBack, kBrokenOff, kStillGoing } how = kBack;
};

struct Outage {
  Moment from, to;
  enum Kind { kNotRunning, kLinkLost, kBeforeRecord, kAfterRecord } kind = kNotRunning;
};

struct Action {
  Moment when;
  std::string user, event, detail, reply;
};

// An alarm the rule raised over the logs (the record's and the start-up's alarms, which
// the logs cannot show, as climon's audit trail has them), with its acknowledgements.
struct AlarmAck {
  Moment when;
  std::string user, cause, action;
};
struct AlarmEntry {
  alarms::Slot slot = alarms::kTemp;
  Moment since, raised;           // the departure's start; when the alarm was raised
  std::optional<Moment> cleared;  // back (by the differential)
  std::optional<double> reading, limit, set_point, peak;
  int repeated = 0;        // raised again: still outside after its acknowledgement
  bool run_ended = false;  // climon stopped while it was open
  bool done = false;       // cleared and acknowledged
  Moment last;             // its last event
  std::vector<AlarmAck> acks;
};

// An alarm row of an audit trail: an acknowledgement, which the rule is given at its time,
// or climon's own event of an alarm the logs cannot show.
struct AuditAlarm {
  Moment when;
  alarms::Happened what = alarms::Happened::kRaised;
  alarms::Slot slot = alarms::kTemp;
  std::string user, cause, action;
};
// The alarm rows of an audit trail's text, in its order (none when it is not one).
std::vector<AuditAlarm> ReadAuditAlarms(const std::string& text);

struct Record {
  std::vector<Day> days;
  std::vector<Excursion> excursions;
  std::vector<AlarmEntry> alarms;
  std::vector<Outage> outages;
  std::vector<Action> actions;
  Moment from, to;  // the period as accounted
  std::uint64_t rows = 0;
  // Rows stamped further before rows already accounted than the rows are held to be put
  // in order (a clock set back by more than kReorderMs): set aside, not counted twice.
  std::uint64_t set_aside = 0;
  std::int32_t port = 0, variant = 0;
  bool evaporator = false;  // some row has the evaporator's temperature
};

// Rows arriving out of time order (a clock set back) are put in order when they come
// within this of the newest row read.
inline constexpr std::int64_t kReorderMs = 6 * 3600000LL;

// Rows in, in the logs' order; each is placed by its own time.
class Builder {
 public:
  Builder(const Settings& settings, const Period& period);
  // The audit trails' alarm rows, before the rows are added.
  void AuditAlarms(std::vector<AuditAlarm> rows);
  void Add(const logread::Row& row);
  Record Finish();

 private:
  // The next row in time order.
  void Take(const logread::Row& row);
  struct Open {
    bool on = false;
    Excursion e;
  };
  // Time from `a` to `b` at `offset`, of `row`'s values (null: no record): judged whole,
  // then split at the local days and clipped to the period for the figures.
  void Span(std::int64_t a, std::int64_t b, int offset, const logread::Row* row);
  void Judge(std::int64_t a, int offset, const logread::Row* row);
  void Piece(std::int64_t a, std::int64_t b, int offset, std::int64_t day, const logread::Row* row);
  void Close(Value v, std::int64_t at, int offset, Excursion::How how);
  void AddOutage(std::int64_t a, std::int64_t b, int offset, Outage::Kind kind);
  Day& DayOf(std::int64_t day);

  Settings settings_;
  Period period_;
  Record r_;
  std::deque<logread::Row> waiting_;  // in time order, up to kReorderMs before the newest
  std::optional<logread::Row> prev_;  // the last row taken
  std::array<std::optional<double>, kValueCount> set_;  // the set point in force
  std::optional<Moment> link_down_;
  std::array<Open, kValueCount> open_;
  // The alarms: the rule over the rows, the acknowledgements given to it at their times,
  // and each slot's alarm open in r_.alarms.
  void StepAlarms(const logread::Row& row, bool started, bool link);
  void AcknowledgeUntil(std::int64_t t);
  void Note(const alarms::Event& e);
  void KeepAlarms();
  alarms::Machine machine_;
  std::vector<AuditAlarm> audit_alarms_;
  std::size_t next_ack_ = 0;
  std::vector<AlarmEntry> alarms_;
  std::array<std::optional<std::size_t>, alarms::kSlotCount> open_alarm_;
  // The days' charts by local day: drawing while the day's rows come, drawn once a later
  // day's come (so that a month holds one day's bins at a time).
  std::map<std::int64_t, plot::Aggregator> drawing_;
  std::map<std::int64_t, plot::Chart> charts_;
  void DrawBefore(std::int64_t day);
};

// The rows of an audit trail (climon --audit) whose time lies within the record's
// period; false with the reason when the text is not an audit trail. `room` gets the
// room the trail names, when it has none yet; `damage` a line on its torn rows, if any
// (each is skipped, and the rows after it read).
bool ReadAudit(const std::string& name, const std::string& text, Record& record,
               const Period& period, std::string& room, std::string& error, std::string& damage);

// "2026-12-09", "14:02:11", "1:02:03" (a duration), a value to its decimals.
std::string DateOf(std::int64_t day);
std::string ClockOf(const Moment& m);
std::string DurationOf(std::int64_t ms);
std::string Number(double v, int decimals);

}  // namespace report
