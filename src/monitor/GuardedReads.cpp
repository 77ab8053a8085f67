// Guarded reads: every monitored word passes here, and with it the heartbeat of the
// monitor: the indicators step and the keyboard is polled for the single-key commands.
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

std::int32_t Monitor::ReadDmValue(std::int32_t port, std::uint16_t dm, char kind) {
  if (StopFlag || ResetRequest) return 0;
  ShortString reply;
  PLC_Lib3::PlcReadDm(com_, port, dm, reply);
  std::int32_t value = PLC_Lib3::TextToInt(reply).value;
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
    std::int32_t b = ReadDmValue(port, dm, kind);
    if (a == b) return a;
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
