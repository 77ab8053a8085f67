// Guarded reads: every monitored word passes here, and with it the heartbeat of the
// monitor: the indicators step and the keyboard is polled for the single-key commands.
#include <cstdio>

#include "ZUL_Lib3/ZUL_Lib3.h"
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

void Monitor::NoteLink(bool replied) {
  if (replied) {
    if (link_down_) StatusRow(kLinkRow, "", link_shown_);
    link_down_ = false;
    return;
  }
  if (!link_down_) {
    comLib3::WallTime t = com_.clock().Wall();
    char hms[16];
    std::snprintf(hms, sizeof hms, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    link_text_ = std::string(kNoReplySince) + hms;
    link_down_ = true;
  }
  // Drawn on every read while it lasts: the terminal clears the screen when it closes.
  StatusRow(kLinkRow, link_text_, link_shown_);
}

std::int32_t Monitor::ReadDmValue(std::int32_t port, std::uint16_t dm, char kind) {
  last_read_ok_ = false;
  if (StopFlag || ResetRequest) return 0;
  ShortString reply;
  PLC_Lib3::PlcReadDm(com_, port, dm, reply);
  PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(reply);
  std::int32_t value = r.value;
  last_read_ok_ = r.ok();
  NoteLink(!reply.empty());
  if (kind == 'i' && value > 32768) value -= 65536;
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
  return value;
}

void Monitor::KeyCommands(std::int32_t port) {
  auto& con = com_.con();
  std::uint8_t k = com_.PollKeys();
  if (k == 27) {
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
    if (console::UpCase(static_cast<char>(answer)) == 'Y') ResetRequest = true;
    con.GotoXY(1, kResetPromptRow);
    con.Write("                        ");
    RestoreCursor();
    com_.FlushKeys();
  } else if (first == 'K') {
    ZUL_Lib3::RunTerminal(com_, port);
  } else {
    com_.FlushKeys();
  }
}

std::int32_t Monitor::ReadDmStable(std::int32_t port, std::uint16_t dm, char kind) {
  for (;;) {
    std::int32_t a = ReadDmValue(port, dm, kind);
    bool a_ok = last_read_ok_;
    std::int32_t b = ReadDmValue(port, dm, kind);
    if (a == b) {
      last_read_ok_ = a_ok && last_read_ok_;
      return a;
    }
  }
}

std::uint16_t Monitor::ReadTimerValue(std::int32_t port, std::uint16_t timer) {
  ShortString text;
  PLC_Lib3::PlcReadTimer(com_, port, timer, text);
  PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(text);
  if (!r.ok()) return 65535;
  return static_cast<std::uint16_t>(r.value);
}

}  // namespace monitor
