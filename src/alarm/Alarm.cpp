#include "alarm/Alarm.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "logformat/LogFormat.h"

namespace alarms {
namespace {

struct SlotInfo {
  const char* name;
  int decimals;
};
constexpr SlotInfo kSlots[kSlotCount] = {{"temperature", 2}, {"humidity", 2}, {"co2", 3},
                                         {"link", 0},        {"record", 0},   {"startup", 0}};

// A number of `what` from `lo` to `hi`, decimals allowed.
bool Number(const std::string& v, double lo, double hi, double& x) {
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
  return ec == std::errc() && end == v.data() + v.size() && std::isfinite(x) && x >= lo && x <= hi;
}

cli::Take BandTake(Settings& s, Slot which) {
  return [&s, which](const std::string& v, std::string&) {
    double x = 0;
    if (!Number(v, 0, 100, x)) return false;
    Band& b = s.bands[which];
    b.above = x;
    if (b.has_below) b.below = x;
    return true;
  };
}

cli::Take Minutes(std::int64_t& to) {
  return [&to](const std::string& v, std::string&) {
    double x = 0;
    if (!Number(v, 0, 1440, x)) return false;
    to = std::llround(x * kMinute);
    return true;
  };
}

std::string ClockText(const record::Moment& m) {
  logformat::LocalTime t = logformat::FromUtcMs(m.ms, m.offset);
  return logformat::FormatClock(t.hour, t.minute, t.second);
}

}  // namespace

std::vector<cli::Option> Options(Settings& s) {
  constexpr const char* kAmount = "a number from 0 to 100 such as 1.5";
  constexpr const char* kMinutes = "a number of minutes from 0 to 1440 such as 15 or 0.5";
  return {
      {"--temp-band", kAmount, BandTake(s, kTemp), "C",
       "temperature band around the set point (default +-1.0 C)"},
      {"--humidity-band", kAmount, BandTake(s, kHumidity), "PCT",
       "humidity band around the set point (default +-5)"},
      {"--co2-above", kAmount, BandTake(s, kCo2), "PCT",
       "CO2 allowed above the set point (default 0.5 points)"},
      {"--delay", kMinutes, Minutes(s.delay_ms), "MINUTES",
       "outside the band so long is an alarm (default 15)"},
      {"--settle", kMinutes, Minutes(s.settle_ms), "MINUTES",
       "nothing judged so long after a start, the link's\n"
       "return or a set point's change (default 10)"},
      {"--after-defrost", kMinutes, Minutes(s.after_defrost_ms), "MINUTES",
       "temperature and humidity not judged so long after\na defrost (default 30)"},
      {"--realarm", kMinutes, Minutes(s.realarm_ms), "MINUTES",
       "an acknowledged alarm still outside so long is\nraised again (default 60)"},
  };
}

bool Outside(double x, double set, const Band& band, double margin) {
  // A hundredth of the last decimal, so that 13.50 against 12.50 + 1.0 is on the limit.
  constexpr double kSlack = 1e-9;
  if (x > set + band.above - margin + kSlack) return true;
  return band.has_below && x < set - band.below + margin - kSlack;
}

std::vector<Event> Machine::Step(const Sample& m) {
  std::vector<Event> out;
  const std::int64_t now = m.at.ms;
  if (m.started) {
    // A run's alarms end with it: climon kept no state across the stop.
    a_ = {};
    set_ = {};
    defrost_.reset();
    defrost_until_ = 0;
    link_down_ = false;
    settle_until_.fill(now + s_.settle_ms);
  }
  if (!m.link) {
    link_down_ = true;
  } else if (link_down_) {
    link_down_ = false;
    settle_until_.fill(now + s_.settle_ms);
  }
  if (m.defrost_minutes) {
    // The count-down at its end, or started again: a defrost runs.
    if (*m.defrost_minutes <= 0 || (defrost_ && *m.defrost_minutes > *defrost_))
      defrost_until_ = now + s_.after_defrost_ms;
    defrost_ = m.defrost_minutes;
  }
  for (int i = 0; i < kValueSlots; ++i) {
    const Slot slot = static_cast<Slot>(i);
    const std::optional<double>& x = m.value[i];
    if (m.set_point[i]) {
      if (set_[i] && *set_[i] != *m.set_point[i]) settle_until_[i] = now + s_.settle_ms;
      set_[i] = m.set_point[i];
    }
    const bool judged = x && set_[i];
    const bool suppressed =
        now < settle_until_[i] || (slot != kCo2 && now < defrost_until_) || !m.link;
    Alarm& a = a_[slot];
    bool bad = false, good = false;
    if (judged) {
      const Band& band = s_.bands[i];
      bad = !suppressed && Outside(*x, *set_[i], band);
      good = !Outside(*x, *set_[i], band, s_.differential[i]);
      a.reading = x;
      a.set_point = set_[i];
      if (bad || a.state == State::kUnacknowledged || a.state == State::kAcknowledged) {
        const bool above = *x > *set_[i];
        const double limit = above ? *set_[i] + band.above : *set_[i] - band.below;
        if (bad) a.limit = limit;
        if (!a.peak || std::fabs(*x - *set_[i]) > std::fabs(*a.peak - *set_[i])) a.peak = x;
      }
    }
    // A departure that suppression meets is not counted on: the room is not judged then.
    if (suppressed && a.state == State::kPending) {
      a.state = State::kNone;
      a.since.reset();
      a.limit.reset();
      a.peak.reset();
    }
    Judge(slot, bad, good || (suppressed && a.state == State::kNone), s_.delay_ms, m, out);
  }
  Judge(kLink, !m.link, m.link, s_.link_ms, m, out);
  Judge(kRecord, !m.record, m.record, s_.record_ms, m, out);
  Judge(kStartup, !m.startup, m.startup, s_.startup_ms, m, out);
  return out;
}

void Machine::Judge(Slot slot, bool bad, bool good, std::int64_t delay, const Sample& m,
                    std::vector<Event>& out) {
  Alarm& a = a_[slot];
  const std::int64_t now = m.at.ms;
  const bool raised = a.state == State::kUnacknowledged || a.state == State::kAcknowledged;
  if (good) {
    if (raised) {
      out.push_back(Of(Happened::kCleared, slot, m.at));
      a.state = a.state == State::kAcknowledged ? State::kNone : State::kCleared;
    } else if (a.state == State::kPending) {
      a.state = State::kNone;
    } else if (a.state == State::kNone) {
      return;  // quiet, as nearly always: nothing to clear
    }
    if (a.state == State::kNone) a = Alarm{};
    a.since.reset();
    return;
  }
  if (!bad) return;  // not judged, or back inside but not by the differential: as it was
  if (!a.since) a.since = m.at;
  if (a.state == State::kNone) a.state = State::kPending;
  if ((a.state == State::kPending || a.state == State::kCleared) && now - a.since->ms >= delay) {
    // Raised; or, cleared but not acknowledged, out again: the same alarm, repeated.
    const Happened what = a.state == State::kPending ? Happened::kRaised : Happened::kRepeated;
    if (a.state == State::kPending) a.raised = m.at;
    a.from = *a.since;
    a.state = State::kUnacknowledged;
    out.push_back(Of(what, slot, m.at));
  } else if (a.state == State::kAcknowledged && now >= a.repeat_at) {
    out.push_back(Of(Happened::kRepeated, slot, m.at));
    a.state = State::kUnacknowledged;
  }
}

Event Machine::Of(Happened what, Slot slot, const record::Moment& at) const {
  const Alarm& a = a_[slot];
  Event e;
  e.what = what;
  e.slot = slot;
  e.at = at;
  e.since = a.state == State::kNone ? at : a.from;
  e.back = what == Happened::kCleared || a.state == State::kCleared;
  if (slot < kValueSlots) {
    e.reading = a.reading;
    e.limit = a.limit;
    e.set_point = a.set_point;
    e.peak = a.peak;
  }
  return e;
}

std::optional<Event> Machine::Acknowledge(const record::Moment& at, std::optional<Slot> slot,
                                          const std::string& user, const std::string& cause,
                                          const std::string& action) {
  if (!slot) slot = Foremost();
  if (!slot) return std::nullopt;
  Alarm& a = a_[*slot];
  if (a.state != State::kUnacknowledged && a.state != State::kCleared) return std::nullopt;
  Event e = Of(Happened::kAcknowledged, *slot, at);
  e.user = user;
  e.cause = cause;
  e.action = action;
  if (a.state == State::kCleared) {
    a = Alarm{};
  } else {
    a.state = State::kAcknowledged;
    a.repeat_at = at.ms + s_.realarm_ms;
  }
  return e;
}

std::optional<Slot> Machine::Foremost() const {
  std::optional<Slot> best;
  auto rank = [](State s) {
    return s == State::kUnacknowledged ? 0 : s == State::kCleared ? 1 : 2;
  };
  for (int i = 0; i < kSlotCount; ++i) {
    const Alarm& a = a_[i];
    if (a.state == State::kNone || a.state == State::kPending) continue;
    if (!best || rank(a.state) < rank(a_[*best].state) ||
        (rank(a.state) == rank(a_[*best].state) && a.raised.ms < a_[*best].raised.ms))
      best = static_cast<Slot>(i);
  }
  return best;
}

bool Machine::Unacknowledged() const {
  for (const Alarm& a : a_) {
    if (a.state == State::kUnacknowledged) return true;
  }
  return false;
}

const char* Name(Slot slot) {
  return kSlots[slot].name;
}

std::optional<Slot> SlotNamed(const std::string& name) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (name == kSlots[i].name) return static_cast<Slot>(i);
  }
  return std::nullopt;
}

std::string Reading(Slot slot, double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", kSlots[slot].decimals, v);
  return buf;
}

const char* EventName(Happened what) {
  switch (what) {
    case Happened::kRaised:
      return "alarm raised";
    case Happened::kRepeated:
      return "alarm repeated";
    case Happened::kAcknowledged:
      return "alarm acknowledged";
    case Happened::kCleared:
      return "alarm cleared";
  }
  return "";
}

std::string Text(const Event& e) {
  std::string s;
  switch (e.slot) {
    case kLink:
      s = "no reply from the controller";
      break;
    case kRecord:
      s = "the record not written";
      break;
    case kStartup:
      s = "a start-up value not read";
      break;
    default: {
      const bool above = e.limit && e.set_point && *e.limit > *e.set_point;
      const std::string limit = e.limit ? Reading(e.slot, *e.limit) : "?";
      const std::string reading = e.reading ? Reading(e.slot, *e.reading) : "not read";
      if (e.back) {
        s = "back " + reading + ", peak " + (e.peak ? Reading(e.slot, *e.peak) : "?") +
            (above ? " over " : " under ") + limit;
      } else {
        s = reading + (above ? " above" : " below") + " the limit " + limit;
      }
    }
  }
  return std::string(Name(e.slot)) + ": " + s + " since " + ClockText(e.since);
}

std::string OneLine(std::string_view text, std::size_t max) {
  std::string out(text.substr(0, max));
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return out;
}

std::string AckDetail(const Event& e) {
  return Text(e) + "\ncause: " + e.cause + "\naction: " + e.action;
}

bool ReadAckDetail(const std::string& detail, Slot& slot, std::string& cause, std::string& action) {
  const std::size_t colon = detail.find(':');
  const std::size_t c = detail.find("\ncause: ");
  const std::size_t a = detail.rfind("\naction: ");
  std::optional<Slot> named = SlotNamed(detail.substr(0, colon));
  if (!named || c == std::string::npos || a == std::string::npos || a < c) return false;
  slot = *named;
  cause = detail.substr(c + 8, a - c - 8);
  action = detail.substr(a + 9);
  return true;
}

}  // namespace alarms
