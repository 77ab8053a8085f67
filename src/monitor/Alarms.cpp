// The room's alarms, live: the rule stepped once a pass, its events told (row 21, the
// bell, the journal, the audit trail, the site's program), and their acknowledgements,
// typed at the console or sent to a service by `climon --acknowledge`.
#include <algorithm>

#include "console/KeyCodes.h"
#include "monitor/Metrics.h"
#include "monitor/Monitor.h"

namespace monitor {
namespace {

record::Moment MomentOf(const comLib3::WallTime& t) {
  return {static_cast<std::int64_t>(UnixSeconds(t) * 1000.0 + 0.5), t.utc_offset_minutes};
}

Severity SeverityOf(const alarms::Event& e) {
  if (e.what == alarms::Happened::kCleared || e.what == alarms::Happened::kAcknowledged)
    return Severity::kInfo;
  return e.slot < alarms::kValueSlots ? Severity::kWarning : Severity::kError;
}

}  // namespace

std::string AlarmRowText(const alarms::Machine& m, const record::Moment& now) {
  std::optional<alarms::Slot> slot = m.Foremost();
  if (!slot) return "";
  const std::string text = alarms::Text(m.Of(alarms::Happened::kRaised, *slot, now));
  switch (m[*slot].state) {
    case alarms::State::kUnacknowledged:
      return "ALARM " + text + "  A: acknowledge";
    case alarms::State::kCleared:
      return "ALARM " + text + "  A";
    default:
      return "Acknowledged: " + text;
  }
}

void Monitor::StepAlarms(bool record_ok) {
  if (!alarm_) return;
  alarms::Sample s;
  s.at = MomentOf(com_.clock().Wall());
  s.started = !std::exchange(alarms_running_, true);
  constexpr Col kValueCols[alarms::kValueSlots][2] = {
      {logformat::kTemp, logformat::kTempSet},
      {logformat::kHumidity, logformat::kHumiditySet},
      {logformat::kCo2, logformat::kCo2Set}};
  for (int i = 0; i < alarms::kValueSlots; ++i) {
    if (const Value& v = pass_[kValueCols[i][0]]; v.read())
      s.value[i] = static_cast<double>(v.number);
    if (const Value& v = pass_[kValueCols[i][1]]; v.read())
      s.set_point[i] = static_cast<double>(v.number);
  }
  if (const Value& v = pass_[logformat::kDefrostMin]; v.read())
    s.defrost_minutes = static_cast<double>(v.number);
  s.link = !link_down_;
  s.record = record_ok;
  s.startup = NotKnownYet().empty();
  for (const alarms::Event& e : alarm_->Step(s)) AlarmEvent(e);
  TakeAcknowledgements();
  if (out_.notify_problems) {
    for (const std::string& line : out_.notify_problems()) {
      Journal(line, Severity::kWarning);
      Audit("notify failed", line);
    }
  }
  const auto now = com_.clock().Now();
  if (alarm_->Unacknowledged() && now >= next_bell_) {
    // Again every minute until someone acknowledges it.
    com_.con().Bell();
    next_bell_ = now + kBellEvery;
  }
  ShowAlarm();
}

void Monitor::AlarmEvent(const alarms::Event& e) {
  const std::string text = alarms::Text(e);
  const char* name = alarms::EventName(e.what);
  if (e.what == alarms::Happened::kAcknowledged) {
    Audit(name, alarms::AckDetail(e));
    Journal(std::string(name) + " by " + e.user + ": " + text + "; cause: " + e.cause +
                "; action: " + e.action,
            SeverityOf(e));
  } else {
    Audit(name, text);
    Journal(std::string(name) + ": " + text, SeverityOf(e));
  }
  if (e.what == alarms::Happened::kRaised || e.what == alarms::Happened::kRepeated) {
    com_.con().Bell();
    next_bell_ = com_.clock().Now() + kBellEvery;
  }
  if (out_.notify) out_.notify(e, Room());
}

void Monitor::ShowAlarm(bool again) {
  std::string text = alarm_ ? AlarmRowText(*alarm_, MomentOf(com_.clock().Wall())) : "";
  // Drawn when it changes: an unchanged pass sends the terminal nothing more.
  if (!again && text == alarm_text_) return;
  alarm_text_ = std::move(text);
  StatusRow(kAlarmRow, alarm_text_, alarm_shown_);
}

void Monitor::TakeAcknowledgements() {
  if (!out_.acknowledgements) return;
  for (AckRequest& r : out_.acknowledgements()) {
    std::optional<alarms::Event> e = alarm_->Acknowledge(
        MomentOf(com_.clock().Wall()), std::nullopt, r.user, alarms::OneLine(r.cause, kAnswerMax),
        alarms::OneLine(r.action, kAnswerMax));
    if (!e) {
      r.answer("no alarm of " + Room() + " to acknowledge: nothing changed");
      continue;
    }
    AlarmEvent(*e);
    r.answer("acknowledged: " + alarms::Text(*e));
  }
}

std::optional<std::string> Monitor::AskAnswer(const char* prompt) {
  auto& con = com_.con();
  const std::size_t max = static_cast<std::size_t>(std::max(1, com_.ScreenCols - 1)) -
                          std::char_traits<char>::length(prompt);
  con.GotoXY(1, kResetPromptRow);
  con.Write(prompt);
  std::string typed;
  for (;;) {
    std::uint8_t k = com_.WaitKey();
    if (com_.EscFlag) return std::nullopt;
    if (k == console::kKeyEnter) return typed;
    if (k == console::kKeyBackspace) {
      if (!typed.empty()) {
        typed.pop_back();
        con.Write(console::Char{console::kKeyBackspace}, " ",
                  console::Char{console::kKeyBackspace});
      }
    } else if (k >= 0x20 && k != 0x7f && typed.size() < max) {
      typed += static_cast<char>(k);
      con.Write(console::Char{k});
    }
  }
}

void Monitor::AcknowledgeAtConsole() {
  com_.FlushKeys();
  std::optional<alarms::Slot> slot = alarm_->Foremost();
  if (!slot || (*alarm_)[*slot].state == alarms::State::kAcknowledged) return;
  SaveCursor();
  auto clear = [this] {
    std::size_t whole = static_cast<std::size_t>(com_.ScreenCols - 1);
    StatusRow(kResetPromptRow, "", whole);
  };
  std::optional<std::string> cause = AskAnswer(kCausePrompt);
  clear();
  std::optional<std::string> action;
  if (cause) action = AskAnswer(kActionPrompt);
  clear();
  com_.FlushKeys();
  RestoreCursor();
  // ESC leaves without acknowledging; the alarm stays as it was.
  if (!action) return;
  if (std::optional<alarms::Event> e =
          alarm_->Acknowledge(MomentOf(com_.clock().Wall()), slot, out_.user, *cause, *action)) {
    AlarmEvent(*e);
  }
  ShowAlarm();
}

}  // namespace monitor
