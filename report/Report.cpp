#include "Report.h"
#include "seal/Chain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "logformat/LogFormat.h"

namespace report {
namespace {

using record::Midnight;

// A day's chart: a column of M4 every 5 minutes, spikes kept.
constexpr int kChartColumns = 288;

using alarms::Outside;

// The first moment of the lowest and of the highest value.
void Extremes(ValueFigures& f, double x, const Moment& at) {
  if (!f.low || x < *f.low) f.low = x, f.low_at = at;
  if (!f.high || x > *f.high) f.high = x, f.high_at = at;
}

}  // namespace

const std::array<ValueInfo, kValueCount> kValues = {{
    {"Temperature", " \u00B0C", 2, logread::kTemp, logread::kTempSet},
    {"Humidity", " %", 2, logread::kHumidity, logread::kHumiditySet},
    {"CO2", " %", 3, logread::kCo2, logread::kCo2Set},
    {"Evaporator temperature", " \u00B0C", 2, logread::kEvap, logread::kEvapSet},
}};

std::optional<double> ValueFigures::Mean() const {
  if (with == 0) return std::nullopt;
  return sum / static_cast<double>(with);
}

Builder::Builder(const Settings& settings, const Period& period)
    : settings_(settings), period_(period), machine_(settings.alarms) {}

void Builder::AuditAlarms(std::vector<AuditAlarm> rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const AuditAlarm& a, const AuditAlarm& b) { return a.when.ms < b.when.ms; });
  audit_alarms_ = std::move(rows);
}

void Builder::AcknowledgeUntil(std::int64_t t) {
  for (; next_ack_ < audit_alarms_.size() && audit_alarms_[next_ack_].when.ms <= t; ++next_ack_) {
    const AuditAlarm& a = audit_alarms_[next_ack_];
    if (a.what != alarms::Happened::kAcknowledged || a.slot >= alarms::kRecord) continue;
    if (auto e = machine_.Acknowledge(a.when, a.slot, a.user, a.cause, a.action)) Note(*e);
  }
}

void Builder::StepAlarms(const logread::Row& row, bool started, bool link) {
  AcknowledgeUntil(row.utc_ms);
  if (started) {
    // climon stopped: its alarms ended with the run.
    for (auto& open : open_alarm_) {
      if (open && !alarms_[*open].done) alarms_[*open].run_ended = true;
      open.reset();
    }
  }
  alarms::Sample m;
  m.at = {row.utc_ms, row.utc_offset_minutes};
  m.started = started;
  m.link = link;
  for (int i = 0; i < alarms::kValueSlots; ++i) {
    m.value[i] = row.values[kValues[i].series];
    m.set_point[i] = row.values[kValues[i].set_point];
  }
  m.defrost_minutes = row.values[logread::kDefrostMin];
  for (const alarms::Event& e : machine_.Step(m)) Note(e);
}

void Builder::Note(const alarms::Event& e) {
  std::optional<std::size_t>& open = open_alarm_[e.slot];
  if (e.what == alarms::Happened::kRaised || !open) {
    AlarmEntry a;
    a.slot = e.slot;
    a.since = e.since;
    a.raised = e.at;
    a.reading = e.reading;
    a.limit = e.limit;
    a.set_point = e.set_point;
    open = alarms_.size();
    alarms_.push_back(a);
  }
  AlarmEntry& a = alarms_[*open];
  a.last = e.at;
  if (e.peak) a.peak = e.peak;
  switch (e.what) {
    case alarms::Happened::kRaised:
      break;
    case alarms::Happened::kRepeated:
      ++a.repeated;
      a.cleared.reset();
      break;
    case alarms::Happened::kCleared:
      a.cleared = e.at;
      break;
    case alarms::Happened::kAcknowledged:
      a.acks.push_back({e.at, e.user, e.cause, e.action});
      break;
  }
  // The rule's own alarms are over when it is quiet again; climon's, when the trail says
  // they were back and acknowledged.
  a.done = e.slot < alarms::kRecord ? machine_[e.slot].state == alarms::State::kNone
                                    : a.cleared && !a.acks.empty();
  if (a.done) open.reset();
}

// The record's and the start-up's alarms as climon's audit trail has them; then the
// alarms that reach into the period, in the order they were raised.
void Builder::KeepAlarms() {
  for (const AuditAlarm& x : audit_alarms_) {
    if (x.slot < alarms::kRecord) continue;
    alarms::Event e;
    e.what = x.what;
    e.slot = x.slot;
    e.at = e.since = x.when;
    e.user = x.user;
    e.cause = x.cause;
    e.action = x.action;
    std::optional<std::size_t>& open = open_alarm_[x.slot];
    if (x.what != alarms::Happened::kRaised && !open) continue;  // raised before the logs
    if (x.what == alarms::Happened::kRaised) open.reset();
    Note(e);
  }
  const std::int64_t start = r_.from.ms;
  for (const AlarmEntry& a : alarms_) {
    // Raised in the period, or before it and still open or answered in it.
    if (period_.Holds(a.raised) || (a.raised.ms < start && (!a.done || a.last.ms >= start)))
      r_.alarms.push_back(a);
  }
  std::stable_sort(
      r_.alarms.begin(), r_.alarms.end(),
      [](const AlarmEntry& a, const AlarmEntry& b) { return a.raised.ms < b.raised.ms; });
}

Day& Builder::DayOf(std::int64_t day) {
  auto it =
      std::find_if(r_.days.rbegin(), r_.days.rend(), [day](const Day& d) { return d.day == day; });
  if (it != r_.days.rend()) return *it;
  r_.days.push_back(Day{});
  r_.days.back().day = day;
  return r_.days.back();
}

void Builder::Add(const logread::Row& row) {
  const std::int64_t t = row.utc_ms;
  if (prev_ && t < prev_->utc_ms) {
    ++r_.set_aside;  // before time already accounted: it would count that time twice
    return;
  }
  const auto by_time = [](const logread::Row& a, const logread::Row& b) {
    return a.utc_ms < b.utc_ms;
  };
  if (waiting_.empty() || t >= waiting_.back().utc_ms) {
    waiting_.push_back(row);  // in order, as nearly every row is
  } else {
    waiting_.insert(std::upper_bound(waiting_.begin(), waiting_.end(), row, by_time), row);
  }
  while (waiting_.front().utc_ms < t - kReorderMs) {
    Take(waiting_.front());
    waiting_.pop_front();
  }
}

void Builder::Take(const logread::Row& row) {
  const std::int64_t t = row.utc_ms;
  const int off = row.utc_offset_minutes;
  if (!prev_) {
    r_.from = {period_.Start(off, t), off};
    if (r_.from.ms < t) {
      Span(r_.from.ms, t, off, nullptr);
      AddOutage(r_.from.ms, t, off, Outage::kBeforeRecord);
    }
  } else if (t - prev_->utc_ms > kHoldMs) {
    Span(prev_->utc_ms, t, prev_->utc_offset_minutes, nullptr);
    AddOutage(prev_->utc_ms, t, prev_->utc_offset_minutes, Outage::kNotRunning);
  } else {
    Span(prev_->utc_ms, t, prev_->utc_offset_minutes, link_down_ ? nullptr : &*prev_);
  }
  bool any = false;
  for (std::size_t v = 0; v < kValueCount; ++v) {
    if (row.values[kValues[v].series]) any = true;
    if (const auto& set = row.values[kValues[v].set_point]) set_[v] = set;
  }
  if (row.values[logread::kEvap]) r_.evaporator = true;
  // Every read failed: the link is lost until a row has a value again.
  if (!any && !link_down_) link_down_ = Moment{t, off};
  if (any && link_down_) {
    AddOutage(link_down_->ms, t, link_down_->offset, Outage::kLinkLost);
    link_down_.reset();
  }
  StepAlarms(row, !prev_ || t - prev_->utc_ms > kHoldMs, any);
  const std::int64_t day = LocalDay(t, off);
  if (period_.Holds({t, off})) {
    Day& d = DayOf(day);
    ++d.rows;
    DrawBefore(day);
    drawing_.try_emplace(day, kChartColumns).first->second.Add(row);
    // Every reading is in the lowest and highest, whatever time it holds for: the last
    // one before a stop holds for none, and is the one the record most needs.
    for (std::size_t v = 0; v < kValueCount; ++v) {
      if (const auto& x = row.values[kValues[v].series]) Extremes(d.values[v], *x, {t, off});
    }
    ++r_.rows;
    r_.port = row.port;
    if (row.variant != 0) r_.variant = row.variant;
  }
  prev_ = row;
}

void Builder::DrawBefore(std::int64_t day) {
  for (auto it = drawing_.begin(); it != drawing_.end() && it->first < day;) {
    plot::Chart& chart = charts_[it->first];
    plot::Chart drawn = it->second.Finish();
    if (drawn.rows > chart.rows) chart = std::move(drawn);  // a day come back to keeps its most
    it = drawing_.erase(it);
  }
}

void Builder::Span(std::int64_t a, std::int64_t b, int offset, const logread::Row* row) {
  if (a >= b) return;
  Judge(a, offset, row);
  if (!period_.Days()) {
    a = std::max(a, period_.Start(offset, a));
    b = std::min(b, period_.End(offset, b));
  }
  while (a < b) {
    std::int64_t day = LocalDay(a, offset);
    std::int64_t next = std::min(b, Midnight(day + 1, offset));
    if (period_.HoldsDay(day)) Piece(a, next, offset, day, row);
    a = next;
  }
}

void Builder::Judge(std::int64_t a, int offset, const logread::Row* row) {
  for (std::size_t i = 0; i < kValueCount; ++i) {
    const Value v = static_cast<Value>(i);
    std::optional<double> x = row != nullptr ? row->values[kValues[v].series] : std::nullopt;
    Open& o = open_[v];
    if (!x) {
      // A failed read does not end an excursion; no record (climon stopped, the link
      // lost) does: what the value did then is not known.
      if (row == nullptr && o.on) Close(v, a, offset, Excursion::kBrokenOff);
      continue;
    }
    const Band* band = settings_.BandOf(v);
    if (!band || !set_[v]) continue;  // not judged
    const double set = *set_[v];
    if (!Outside(*x, set, *band)) {
      if (o.on) Close(v, a, offset, Excursion::kBack);
      continue;
    }
    Excursion& e = o.e;
    if (!o.on) {
      o.on = true;
      e = Excursion{v, {a, offset}, {}, *x, set, {a, offset}, *x > set};
    } else if (std::fabs(*x - set) > std::fabs(e.peak - e.set_point)) {
      e.peak = *x;
      e.set_point = set;
      e.peak_at = {a, offset};
    }
    e.both = e.both || (*x > set) != e.above;
  }
}

void Builder::Piece(std::int64_t a, std::int64_t b, int offset, std::int64_t day,
                    const logread::Row* row) {
  Day& d = DayOf(day);
  const std::int64_t ms = b - a;
  if (d.length == 0) d.offset = offset;
  d.offset_changed = d.offset_changed || offset != d.offset;
  d.length += ms;
  if (row == nullptr) {
    d.unrecorded += ms;
    return;
  }
  for (std::size_t v = 0; v < kValueCount; ++v) {
    ValueFigures& f = d.values[v];
    if (const auto& set = set_[v]) {
      if (!f.set_low || *set < *f.set_low) f.set_low = set;
      if (!f.set_high || *set > *f.set_high) f.set_high = set;
    }
    std::optional<double> x = row->values[kValues[v].series];
    if (!x) continue;
    f.with += ms;
    f.sum += *x * static_cast<double>(ms);
    Extremes(f, *x, {a, offset});
    const Band* band = settings_.BandOf(static_cast<Value>(v));
    if (!band || !set_[v]) continue;  // not judged
    (Outside(*x, *set_[v], *band) ? f.outside : f.inside) += ms;
  }
}

void Builder::Close(Value v, std::int64_t at, int offset, Excursion::How how) {
  Open& o = open_[v];
  o.on = false;
  o.e.end = {at, offset};
  o.e.how = how;
  // Only what reaches into the period; the whole of it, for the delay.
  const std::int64_t from = std::max(o.e.start.ms, period_.Start(o.e.start.offset, o.e.start.ms));
  if (from >= std::min(at, period_.End(offset, at))) return;
  const std::int64_t ms = at - o.e.start.ms;
  if (ms >= settings_.alarms.delay_ms) {
    r_.excursions.push_back(o.e);
    return;
  }
  const std::int64_t day = LocalDay(from, o.e.start.offset);
  if (!period_.HoldsDay(day)) return;
  ValueFigures& f = DayOf(day).values[v];
  ++f.departures;
  f.departure_ms += ms;
}

void Builder::AddOutage(std::int64_t a, std::int64_t b, int offset, Outage::Kind kind) {
  std::int64_t lo = r_.from.ms;
  std::int64_t hi = period_.End(offset, std::numeric_limits<std::int64_t>::max());
  a = std::max(a, lo);
  b = std::min(b, hi);
  if (a < b) r_.outages.push_back(Outage{{a, offset}, {b, offset}, kind});
}

Record Builder::Finish() {
  for (const logread::Row& row : waiting_) Take(row);
  waiting_.clear();
  if (prev_) {
    const std::int64_t last = prev_->utc_ms;
    const int off = prev_->utc_offset_minutes;
    const std::int64_t end = period_.End(off, last);
    if (link_down_)
      AddOutage(link_down_->ms, std::max(last, end), link_down_->offset, Outage::kLinkLost);
    if (end > last) {
      Span(last, end, off, nullptr);
      AddOutage(last, end, off, Outage::kAfterRecord);
    }
    r_.to = {std::max(end, r_.from.ms), off};
    for (std::size_t v = 0; v < kValueCount; ++v) {
      if (open_[v].on)
        Close(static_cast<Value>(v), std::max(last, r_.to.ms), off, Excursion::kStillGoing);
    }
  } else {
    r_.from = {period_.Start(0, 0), 0};
    r_.to = {period_.End(0, r_.from.ms), 0};
  }
  // Days without a row at all, where the period names them.
  if (period_.Days()) {
    for (std::int64_t day = *period_.first_day; day <= *period_.last_day; ++day) {
      Day& d = DayOf(day);
      if (d.length == 0) d.length = d.unrecorded = kDayMs;
    }
  }
  AcknowledgeUntil(std::numeric_limits<std::int64_t>::max());
  KeepAlarms();
  DrawBefore(std::numeric_limits<std::int64_t>::max());
  for (Day& d : r_.days) {
    auto chart = charts_.find(d.day);
    if (chart == charts_.end()) continue;
    d.chart = std::move(chart->second);
    // The part of the day the period covers, whenever its rows.
    d.chart.t0 = std::max(Midnight(d.day, d.offset), r_.from.ms);
    d.chart.t1 = d.chart.t0 + d.length;
  }
  std::sort(r_.days.begin(), r_.days.end(),
            [](const Day& a, const Day& b) { return a.day < b.day; });
  std::sort(r_.excursions.begin(), r_.excursions.end(),
            [](const Excursion& a, const Excursion& b) { return a.start.ms < b.start.ms; });
  std::sort(r_.outages.begin(), r_.outages.end(),
            [](const Outage& a, const Outage& b) { return a.from.ms < b.from.ms; });
  return std::move(r_);
}

std::vector<AuditAlarm> ReadAuditAlarms(const std::string& text) {
  std::vector<logformat::AuditFields> rows;
  std::vector<AuditAlarm> out;
  if (!logformat::ReadAuditRows(text, rows, nullptr)) return out;
  constexpr alarms::Happened kAll[] = {alarms::Happened::kRaised, alarms::Happened::kRepeated,
                                       alarms::Happened::kAcknowledged, alarms::Happened::kCleared};
  for (const logformat::AuditFields& f : rows) {
    AuditAlarm a;
    const auto what = std::find_if(std::begin(kAll), std::end(kAll), [&f](alarms::Happened h) {
      return f[logformat::kAuditEvent] == alarms::EventName(h);
    });
    if (what == std::end(kAll) ||
        !logformat::ParseIsoTime(f[logformat::kAuditTime], a.when.ms, a.when.offset))
      continue;
    a.what = *what;
    a.user = f[logformat::kAuditUser];
    const std::string& detail = f[logformat::kAuditDetail];
    if (a.what == alarms::Happened::kAcknowledged) {
      if (!alarms::ReadAckDetail(detail, a.slot, a.cause, a.action)) continue;
    } else if (auto slot = alarms::SlotNamed(detail.substr(0, detail.find(':')))) {
      a.slot = *slot;
    } else {
      continue;
    }
    out.push_back(std::move(a));
  }
  return out;
}

bool ReadAudit(const std::string& name, const std::string& text, Record& record,
               const Period& period, std::string& room, std::string& error, std::string& damage) {
  std::vector<logformat::AuditFields> rows;
  std::vector<std::size_t> torn;
  if (!logformat::ReadAuditRows(text, rows, &torn)) {
    error = name + " is not a climon audit trail: its first line is not climon's audit header";
    return false;
  }
  if (!torn.empty()) {
    damage += "\n  " + std::to_string(torn.size()) + " torn audit row" +
              (torn.size() == 1 ? "" : "s") + ", the first on line " + std::to_string(torn[0]) +
              " of " + name;
  }
  for (const logformat::AuditFields& f : rows) {
    Moment m;
    if (!logformat::ParseIsoTime(f[logformat::kAuditTime], m.ms, m.offset)) continue;
    if (room.empty()) room = f[logformat::kAuditRoom];
    // The value log's chain at a run's end is for the seals' check, not an action.
    if (period.Holds(m) && !(f[logformat::kAuditEvent] == seal::kLogSealEvent &&
                             seal::LogSealOf(f[logformat::kAuditDetail]))) {
      record.actions.push_back(Action{m, f[logformat::kAuditUser], f[logformat::kAuditEvent],
                                      f[logformat::kAuditDetail], f[logformat::kAuditReply]});
    }
  }
  std::stable_sort(record.actions.begin(), record.actions.end(),
                   [](const Action& a, const Action& b) { return a.when.ms < b.when.ms; });
  return true;
}

std::string DateOf(std::int64_t day) {
  logformat::LocalTime t = logformat::FromUtcMs(day * kDayMs, 0);
  return logformat::FormatDate(t.year, t.month, t.day);
}

std::string ClockOf(const Moment& m) {
  logformat::LocalTime t = logformat::FromUtcMs(m.ms, m.offset);
  return logformat::FormatClock(t.hour, t.minute, t.second);
}

std::string DurationOf(std::int64_t ms) {
  std::int64_t s = ms / 1000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  return buf;
}

std::string Number(double v, int decimals) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s = buf;
  if (s.starts_with("-") && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

}  // namespace report
