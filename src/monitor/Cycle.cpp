// The monitor preparation and the monitor cycle with the climate rows 3 to 7.
#include "monitor/Monitor.h"

namespace monitor {

using console::Int;
using console::Real;
using console::UInt;

namespace {

// A value for the log as the screen shows it, or empty when its read got no usable reply.
std::string Logged(bool ok, long double value, int decimals) {
  return ok ? console::FormatReal(value, 0, decimals) : std::string();
}

std::string RelayState(const ShortString& reply) {
  return reply == "1" ? "1" : reply == "0" ? "0" : "";
}

}  // namespace

void Monitor::MonitorPreparation() {
  auto& con = com_.con();
  con.ClrScr();
  VentPhase = 1;
  FloorHtrPhase = 1;
  TempCtlPhase = 0;
  CycleCount = 2;
  std::int32_t* bases[] = {&Base890, &Base893, &Base894, &Base39, &Base895};
  const std::uint16_t words[] = {890, 893, 894, 39, 895};
  for (int i = 0; i < 5; ++i) {
    *bases[i] = ReadDmValue(ComPort, words[i], 'i');
    base_ok_[i] = last_read_ok_;
  }
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
  pass_ = PassValues{};
  pass_.port = ComPort;
  pass_.variant = DeviceVariant;
  VentIndicator(true);
  pass_.vent = RelayState(VentReply);

  std::int32_t t = ReadForRow(3, 992, 'i');
  HighRange = t > 7500;
  long double temp =
      HighRange ? static_cast<long double>(t) / 320 - 50 : static_cast<long double>(t) / 40;
  long double temp_set = static_cast<long double>(Base890) / 10;
  con.Write("Temp.        ", Real{temp, 6, 2}, " C  /  ", Real{temp_set, 6, 2}, " C");
  pass_.temp = Logged(last_read_ok_, temp, 2);
  pass_.temp_set = Logged(base_ok_[0], temp_set, 2);

  TempCtlIndicator(true);
  pass_.temp_ctl = RelayState(TempCtlReply);

  std::int32_t h = ReadForRow(4, 993, 'i');
  long double hum = static_cast<long double>(h) / (HighRange ? 320 : 40);
  long double hum_set = static_cast<long double>(Base893) / 10;
  con.Write("Humidity     ", Real{hum, 6, 2}, " %  /  ", Real{hum_set, 6, 2}, " %");
  pass_.humidity = Logged(last_read_ok_, hum, 2);
  pass_.humidity_set = Logged(base_ok_[1], hum_set, 2);

  FloorHtrIndicator(true);
  pass_.floor_htr = RelayState(FloorHtrReply);

  std::int32_t c = ReadForRow(5, 984, 'i');
  long double co2 = static_cast<long double>(c) / 100;
  long double co2_set = static_cast<long double>(Base894) / 100;
  con.Write("CO2          ", Real{co2, 6, 3}, " %  /  ", Real{co2_set, 6, 3}, " %");
  pass_.co2 = Logged(last_read_ok_, co2, 3);
  pass_.co2_set = Logged(base_ok_[2], co2_set, 3);

  TempModeIndicator(true);
  pass_.temp_mode = RelayState(TempModeReply);

  if (HasDefrost(DeviceVariant)) {
    std::int32_t e = ReadForRow(6, 995, 'i');
    long double evap = static_cast<long double>(e) / 20 - 50;
    long double evap_set = static_cast<long double>(Base39) / 20 - 50;
    con.Write("Evap.Temp.   ", Real{evap, 6, 2}, " C  /  ", Real{evap_set, 6, 2}, " C");
    pass_.evap = Logged(last_read_ok_, evap, 2);
    pass_.evap_set = Logged(base_ok_[3], evap_set, 2);

    con.GotoXY(1, 7);
    ShortString reply;
    PLC_Lib3::PlcReadDm(com_, ComPort, 87, reply);
    PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(reply);
    std::int32_t minutes = r.value;
    long double defrost_temp;
    if (minutes < 120) {
      defrost_temp = static_cast<long double>(Base895) / 20;
      con.Write("Next Def. in ", Int{minutes, 6}, " min to", Real{defrost_temp, 6, 2}, " C");
    } else {
      defrost_temp = static_cast<long double>(Base895 - 250) / 5;
      con.Write("Defrost in   >", Real{static_cast<long double>(minutes) / 60, 5, 1}, " hrs to",
                Real{defrost_temp, 6, 2}, " C");
    }
    if (r.ok()) pass_.defrost_min = std::to_string(minutes);
    pass_.defrost_temp = Logged(base_ok_[4], defrost_temp, 2);
  }

  RefreshCounters();
  ++CycleCount;
  // A pass that ESC cut short made none of its reads after the ESC: no row for it, so
  // that the operator's quit does not look like a run of failed reads.
  if (log_ != nullptr && !StopFlag) LogPass();
}

void Monitor::LogPass() {
  if (log_->Append(CsvRow(com_.clock().Wall(), pass_))) {
    if (log_shown_ > 0) StatusRow(kLogRow, "", log_shown_);
  } else {
    StatusRow(kLogRow, "Value log not written: " + log_->error(), log_shown_);
  }
}

void Monitor::MonitorCycle() {
  do {
    MonitorPass();
  } while (!StopFlag);
}

}  // namespace monitor
