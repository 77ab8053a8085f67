// Guarded reads: every monitored word passes here, and with it the heartbeat of the
// monitor: the indicators step and the keyboard is polled for the single-key commands.
#include "ZUL_Lib3/ZUL_Lib3.h"
#include "console/KeyCodes.h"
#include "logformat/SetPointWords.h"
#include "monitor/Monitor.h"

namespace monitor {

void Monitor::SaveCursor() {
  SavedCursorX = static_cast<std::uint16_t>(com_.con().WhereX());
  SavedCursorY = static_cast<std::uint16_t>(com_.con().WhereY());
}

void Monitor::RestoreCursor() {
  com_.con().GotoXY(SavedCursorX, SavedCursorY);
}

void Monitor::StatusRow(int row, const std::string& text, std::size_t& shown) {
  if (row > com_.ScreenRows) return;
  // Short of the last column, so that the cursor never wraps and the screen never scrolls.
  std::string out = text.substr(0, static_cast<std::size_t>(com_.ScreenCols - 1));
  std::size_t now = out.size();
  if (out.size() < shown) out.append(shown - out.size(), ' ');
  auto& con = com_.con();
  int x = con.WhereX(), y = con.WhereY();
  con.GotoXY(1, row);
  con.Write(out);
  con.GotoXY(x, y);
  shown = now;
}

void Monitor::Journal(const std::string& line, Severity severity) {
  if (!out_.journal) return;
  if (!started_) {
    early_journal_.emplace_back(line, severity);
    return;
  }
  out_.journal(line, severity);
}

void Monitor::Audit(std::string_view event, std::string_view detail, std::string_view reply) {
  Audit(com_.clock().Wall(), event, detail, reply);
}

void Monitor::Audit(const comLib3::WallTime& at, std::string_view event, std::string_view detail,
                    std::string_view reply) {
  if (out_.audit == nullptr) return;
  const std::string room = Room();  // the entry holds views: the room must outlive it
  logformat::AuditEntry e{ComPort, room, out_.user, event, detail, reply};
  std::string row = logformat::AuditRow(at, e);
  if (!started_) {
    early_rows_.push_back(std::move(row));
    return;
  }
  // A row that cannot be written is kept and written once the file takes it; row 23 says
  // so at the pass's end, and nothing else stops.
  out_.audit->Append(row);
}

void Monitor::TellLost(ValueLog* record) {
  if (record == nullptr) return;
  if (std::string lost = record->TakeLost(); !lost.empty()) {
    Journal(lost, Severity::kWarning);
    Audit("rows lost", lost);
  }
}

void Monitor::NoteLink(bool replied) {
  auto& clock = com_.clock();
  if (replied) {
    last_reply_ = clock.Wall();
    first_failure_.reset();
    if (link_down_) {
      StatusRow(kLinkRow, "", link_shown_);
      link_down_ = false;
      PublishLink();
      Journal("the controller replies again");
      Audit("link back");
    }
    return;
  }
  if (!first_failure_) {
    first_failure_ = clock.Now();
    comLib3::WallTime t = clock.Wall();
    link_text_ = std::string(kNoReplySince) + logformat::FormatClock(t.hour, t.minute, t.second);
  }
  // One failing word among answered ones is not a lost link: its empty field shows it.
  if (!link_down_ && clock.Now() - *first_failure_ >= kLinkLostAfter) {
    link_down_ = true;
    PublishLink();
    Journal(link_text_, Severity::kWarning);
    Audit("link lost", link_text_);
  }
  // Drawn on every read while it lasts: the terminal clears the screen when it closes.
  if (link_down_) StatusRow(kLinkRow, link_text_, link_shown_);
}

std::int32_t Monitor::ReadDmValue(std::int32_t port, std::uint16_t dm, char kind) {
  return ReadWord(port, dm, kind).value;
}

Monitor::Reading<std::int32_t> Monitor::ReadWord(std::int32_t port, std::uint16_t dm, char kind) {
  if (Stopping() || ResetRequest) return {};
  ShortString reply;
  PLC_Lib3::PlcReadDm(com_, port, dm, reply);
  PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(reply);
  Reading<std::int32_t> read{r.value, r.ok() ? Got::kRead : Got::kNoReply};
  NoteLink(read.ok());
  if (kind == 'i') read.value = logformat::SignedWord(read.value);
  VentIndicator(false);
  if (ReadCount <= 50) {
    ++ReadCount;
  } else {
    TempCtlIndicator(false);
    FloorHtrIndicator(false);
    TempModeIndicator(false);
    ReadCount = 0;
  }
  KeyCommands(port);
  return read;
}

void Monitor::KeyCommands(std::int32_t port) {
  auto& con = com_.con();
  std::uint8_t k = com_.PollKeys();
  // The ESC key, not an extended key whose second code is 27 (Alt+]): only ESC itself
  // sets the abort flag.
  if (k == console::kKeyEsc && com_.EscFlag) {
    StopFlag = true;
    return;
  }
  char first = console::UpCase(com_.KeyLine.At(1));
  if (first == 'R') {
    com_.FlushKeys();
    SaveCursor();
    con.GotoXY(1, kResetPromptRow);
    con.Write(kResetPrompt);
    std::uint8_t answer = con.ReadKey();
    if (console::UpCase(static_cast<char>(answer)) == 'Y') {
      ResetRequest = true;  // the audit trail has it when the words are written
    } else {
      Audit("reset declined");
    }
    con.GotoXY(1, kResetPromptRow);
    con.Write("                        ");
    RestoreCursor();
    com_.FlushKeys();
  } else if (first == 'K') {
    ZUL_Lib3::RunTerminal(com_, port, [this](std::string_view line, std::string_view reply) {
      Audit("terminal", line, reply);
    });
    // The terminal cleared the screen: what rows 21 and 23 said still holds.
    out_shown_ = 0;
    StatusRow(kLogRow, out_text_, out_shown_);
    alarm_shown_ = 0;
    ShowAlarm(true);
  } else if (first == 'A' && alarm_) {
    AcknowledgeAtConsole();
  } else {
    com_.FlushKeys();
  }
}

std::int32_t Monitor::ReadDmStable(std::int32_t port, std::uint16_t dm, char kind) {
  return ReadStable(port, dm, kind).value;
}

Monitor::Reading<std::int32_t> Monitor::ReadStable(std::int32_t port, std::uint16_t dm, char kind) {
  for (;;) {
    Reading<std::int32_t> a = ReadWord(port, dm, kind);
    Reading<std::int32_t> b = ReadWord(port, dm, kind);
    if (a.value == b.value) return {a.value, Worse(a.got, b.got)};
  }
}

std::uint16_t Monitor::ReadTimerValue(std::int32_t port, std::uint16_t timer) {
  return TimerReading(port, timer).value;
}

Monitor::Reading<std::uint16_t> Monitor::TimerReading(std::int32_t port, std::uint16_t timer) {
  ShortString text;
  PLC_Lib3::PlcReadTimer(com_, port, timer, text);
  PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(text);
  NoteLink(r.ok());  // a timer's read counts for the link as a word's does
  if (!r.ok()) return {65535, Got::kNoReply};
  return {static_cast<std::uint16_t>(r.value), Got::kRead};
}

Monitor::Reading<std::uint16_t> Monitor::ReadTimer(std::uint16_t timer) {
  if (Stopping()) return {65535, Got::kNotRead};  // what the read would give, untried
  return TimerReading(ComPort, timer);
}

}  // namespace monitor
