// The monitor preparation and the monitor cycle with the climate rows 3 to 7.
#include "monitor/Monitor.h"

namespace monitor {

using console::Int;
using console::Real;
using console::UInt;

void Monitor::MonitorPreparation() {
  auto& con = com_.con();
  con.ClrScr();
  VentPhase = 1;
  FloorHtrPhase = 1;
  TempCtlPhase = 0;
  CycleCount = 2;
  Base890 = ReadDmValue(ComPort, 890, 'i');
  Base893 = ReadDmValue(ComPort, 893, 'i');
  Base894 = ReadDmValue(ComPort, 894, 'i');
  Base39 = ReadDmValue(ComPort, 39, 'i');
  Base895 = ReadDmValue(ComPort, 895, 'i');
  T106Min = ReadTimerValue(ComPort, 106);
  T107Min = ReadTimerValue(ComPort, 107);
  ProbeControllerModel(ComPort);
  HeaderRow();
}

void Monitor::HeaderRow() {
  std::int32_t v = ReadForRow(1, 109, 'w');
  com_.con().Write("System         ", UInt{static_cast<std::uint16_t>(v)}, " ComPort    ",
                   Int{ComPort});
}

std::int32_t Monitor::ReadForRow(int row, std::uint16_t dm, char kind) {
  auto& con = com_.con();
  con.GotoXY(1, row);
  std::int32_t v = ReadDmValue(ComPort, dm, kind);
  // The read may have run the command terminal, which clears the screen and leaves the
  // cursor at the top left: the row goes back to its own position before it is written.
  con.GotoXY(1, row);
  return v;
}

void Monitor::MonitorPass() {
  auto& con = com_.con();
  VentIndicator(true);

  std::int32_t t = ReadForRow(3, 992, 'i');
  HighRange = t > 7500;
  long double temp =
      HighRange ? static_cast<long double>(t) / 320 - 50 : static_cast<long double>(t) / 40;
  con.Write("Temp.        ", Real{temp, 6, 2}, " C  /  ",
            Real{static_cast<long double>(Base890) / 10, 6, 2}, " C");

  TempCtlIndicator(true);

  std::int32_t h = ReadForRow(4, 993, 'i');
  long double hum = static_cast<long double>(h) / (HighRange ? 320 : 40);
  con.Write("Humidity     ", Real{hum, 6, 2}, " %  /  ",
            Real{static_cast<long double>(Base893) / 10, 6, 2}, " %");

  FloorHtrIndicator(true);

  std::int32_t c = ReadForRow(5, 984, 'i');
  con.Write("CO2          ", Real{static_cast<long double>(c) / 100, 6, 3}, " %  /  ",
            Real{static_cast<long double>(Base894) / 100, 6, 3}, " %");

  TempModeIndicator(true);

  if (HasDefrost(DeviceVariant)) {
    std::int32_t e = ReadForRow(6, 995, 'i');
    con.Write("Evap.Temp.   ", Real{static_cast<long double>(e) / 20 - 50, 6, 2}, " C  /  ",
              Real{static_cast<long double>(Base39) / 20 - 50, 6, 2}, " C");

    con.GotoXY(1, 7);
    ShortString reply;
    PLC_Lib3::PlcReadDm(com_, ComPort, 87, reply);
    std::int32_t minutes = PLC_Lib3::TextToInt(reply).value;
    if (minutes < 120) {
      con.Write("Next Def. in ", Int{minutes, 6}, " min to",
                Real{static_cast<long double>(Base895) / 20, 6, 2}, " C");
    } else {
      con.Write("Defrost in   >", Real{static_cast<long double>(minutes) / 60, 5, 1}, " hrs to",
                Real{static_cast<long double>(Base895 - 250) / 5, 6, 2}, " C");
    }
  }

  RefreshCounters();
  ++CycleCount;
}

void Monitor::MonitorCycle() {
  do {
    MonitorPass();
  } while (!StopFlag);
}

}  // namespace monitor
