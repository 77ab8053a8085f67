// --notify PROGRAM: the site's program run on every alarm event, the event in CLIMON_*
// variables, beside the monitor and never holding it up. At most kNotifyRunning run at once
// (more events wait, up to kNotifyWaiting; beyond, they are dropped and said so); one that
// runs past kNotifyLimit is ended. A program that could not start, failed or was ended is
// told in the journal and the audit trail.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "alarm/Alarm.h"
#include "comLib3/Clock.h"
#include "files/Child.h"

namespace app {

inline constexpr std::chrono::seconds kNotifyLimit{30};
inline constexpr std::size_t kNotifyRunning = 4, kNotifyWaiting = 100;

using Variables = std::vector<std::pair<std::string, std::string>>;
// The event as the program gets it: CLIMON_ROOM, CLIMON_EVENT (raised, repeated,
// acknowledged, cleared), CLIMON_ALARM (temperature, ..., link), CLIMON_READING,
// CLIMON_LIMIT, CLIMON_SINCE and CLIMON_TIME (ISO 8601), CLIMON_TEXT, and for an
// acknowledgement CLIMON_USER, CLIMON_CAUSE and CLIMON_ACTION.
Variables EventVariables(const alarms::Event& e, const std::string& room);

class Notifier {
 public:
  Notifier(std::string program, comLib3::Clock& clock, bool keep_errors)
      : program_(std::move(program)), clock_(clock), keep_errors_(keep_errors) {}
  ~Notifier();
  void Event(const alarms::Event& e, const std::string& room);
  // The programs looked at: what has gone wrong since, a line each.
  std::vector<std::string> Poll();
  // Nothing running, waiting or left to tell.
  bool Idle() const { return running_.empty() && waiting_.empty() && said_.empty(); }

 private:
  void Start(Variables vars, std::vector<std::string>& said);
  struct Running {
    std::unique_ptr<files::Child> child;
    comLib3::Clock::Duration until;
    std::string event;
  };
  std::string program_;
  comLib3::Clock& clock_;
  bool keep_errors_;
  std::vector<Running> running_;
  std::deque<Variables> waiting_;
  std::vector<std::string> said_;  // failures at the start, told at the next Poll
  std::size_t dropped_ = 0;
};

}  // namespace app
