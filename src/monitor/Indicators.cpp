// The four activity indicators on rows 9 to 12.
#include <array>

#include "monitor/Monitor.h"

namespace monitor {
namespace {

constexpr int kNothing = -1;

// Character for each phase (index = phase); the last phase goes back to 1.
constexpr std::array<int, 5> kVentPhases = {kNothing, '\\', '|', '/', '-'};
constexpr std::array<int, 10> kTempCtlPhases = {kNothing, ' ', 176, 177, 178,
                                                219,      178, 177, 176, ' '};
constexpr std::array<int, 7> kFloorHtrPhases = {kNothing, ' ', '.', 30, 219, 30, '.'};

}  // namespace

void Monitor::DrawAnimated(int row, const char* label, std::uint16_t relay, ShortString& reply,
                           std::int32_t& phase, std::span<const int> phases, bool fresh) {
  // After ESC nothing is read, so nothing is redrawn: the indicators keep their last state.
  if (Stopping()) return;
  auto& con = com_.con();
  SaveCursor();
  con.GotoXY(1, row);
  con.Write(label, console::UInt{relay}, ") ");
  if (fresh) PLC_Lib3::PlcReadRelay(com_, ComPort, relay, reply);
  if (reply == "1") {
    std::int32_t last = static_cast<std::int32_t>(phases.size()) - 1;
    if (phase < 0 || phase > last) phase = 1;
    int ch = phases[static_cast<std::size_t>(phase)];
    if (ch != kNothing) con.Write(console::Char{static_cast<std::uint8_t>(ch)});
    phase = phase == last ? 1 : phase + 1;
  } else {
    phase = 1;
    con.Write("-");
  }
  RestoreCursor();
}

void Monitor::VentIndicator(bool fresh) {
  DrawAnimated(9, "Vent.         (", VentRelay, VentReply, VentPhase, kVentPhases, fresh);
}

void Monitor::TempCtlIndicator(bool fresh) {
  DrawAnimated(10, "Temp.Ctl      (", TempCtlRelay, TempCtlReply, TempCtlPhase, kTempCtlPhases,
               fresh);
}

void Monitor::FloorHtrIndicator(bool fresh) {
  DrawAnimated(11, "FloorHtr      (", FloorHtrRelay, FloorHtrReply, FloorHtrPhase, kFloorHtrPhases,
               fresh);
}

void Monitor::TempModeIndicator(bool fresh) {
  if (Stopping()) return;
  auto& con = com_.con();
  SaveCursor();
  com_.DelayTicks(1);
  con.GotoXY(1, 12);
  con.Write("TempMode      (", console::UInt{TempModeRelay}, ") ");
  if (fresh) PLC_Lib3::PlcReadRelay(com_, ComPort, TempModeRelay, TempModeReply);
  con.Write(console::Char{static_cast<std::uint8_t>(TempModeReply == "1" ? 'C' : 'H')});
  RestoreCursor();
}

}  // namespace monitor
