#include "app/Notify.h"

#include <thread>

#include "logformat/LogFormat.h"

namespace app {

Variables EventVariables(const alarms::Event& e, const std::string& room) {
  auto iso = [](const record::Moment& m) {
    return logformat::FormatIsoTime(logformat::FromUtcMs(m.ms, m.offset));
  };
  const std::string event = alarms::EventName(e.what);
  Variables v = {{"CLIMON_ROOM", room},
                 {"CLIMON_EVENT", event.substr(event.find(' ') + 1)},
                 {"CLIMON_ALARM", alarms::Name(e.slot)},
                 {"CLIMON_READING", e.reading ? alarms::Reading(e.slot, *e.reading) : ""},
                 {"CLIMON_LIMIT", e.limit ? alarms::Reading(e.slot, *e.limit) : ""},
                 {"CLIMON_SINCE", iso(e.since)},
                 {"CLIMON_TIME", iso(e.at)},
                 {"CLIMON_TEXT", alarms::Text(e)}};
  if (e.what == alarms::Happened::kAcknowledged) {
    v.insert(v.end(),
             {{"CLIMON_USER", e.user}, {"CLIMON_CAUSE", e.cause}, {"CLIMON_ACTION", e.action}});
  }
  for (auto& [name, value] : v) value = alarms::OneLine(value);
  return v;
}

Notifier::~Notifier() {
  // The last events' programs get a moment to finish; then they are ended with climon.
  const auto until = clock_.Now() + std::chrono::seconds(2);
  for (Running& r : running_) {
    int status = 0;
    std::string why;
    while (!r.child->Ended(status, why) && clock_.Now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void Notifier::Event(const alarms::Event& e, const std::string& room) {
  if (running_.size() < kNotifyRunning) return Start(EventVariables(e, room), said_);
  if (waiting_.size() < kNotifyWaiting) {
    waiting_.push_back(EventVariables(e, room));
  } else {
    ++dropped_;
  }
}

void Notifier::Start(Variables vars, std::vector<std::string>& said) {
  std::string error;
  const std::string event = vars[1].second + " " + vars[2].second;
  std::unique_ptr<files::Child> child = files::StartChild(program_, vars, keep_errors_, error);
  if (!child) {
    said.push_back("the notify program " + program_ + " could not be started for the " + event +
                   ": " + error);
    return;
  }
  running_.push_back({std::move(child), clock_.Now() + kNotifyLimit, event});
}

std::vector<std::string> Notifier::Poll() {
  std::vector<std::string> said = std::move(said_);
  said_.clear();
  for (auto it = running_.begin(); it != running_.end();) {
    int status = 0;
    std::string why;
    if (!it->child->Ended(status, why)) {
      if (clock_.Now() < it->until) {
        ++it;
        continue;
      }
      it->child->Kill();
      why = "ended after " + std::to_string(kNotifyLimit.count()) + " s";
    }
    if (status != 0 || !why.empty()) {
      said.push_back("the notify program " + program_ + " failed for the " + it->event + ": " +
                     (why.empty() ? "exit status " + std::to_string(status) : why));
    }
    it = running_.erase(it);
  }
  while (running_.size() < kNotifyRunning && !waiting_.empty()) {
    Start(std::move(waiting_.front()), said);
    waiting_.pop_front();
  }
  if (dropped_ > 0) {
    said.push_back(std::to_string(dropped_) + " alarm events not given to the notify program " +
                   program_ + ": too many were waiting");
    dropped_ = 0;
  }
  return said;
}

}  // namespace app
