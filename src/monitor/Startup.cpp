// Start-up over the serial link and the shutdown.
#include "console/TextInput.h"
#include "monitor/Monitor.h"

namespace monitor {

using PLC_Lib3::PlcReadRelay;

int Monitor::Run(std::optional<std::string_view> port) {
  auto& con = com_.con();
  con.TextBackground(7);
  con.TextColor(1);
  ReadCount = 0;
  con.ClrScr();
  ResetRequest = false;
  StopFlag = false;
  con.Write("Enter Comport ");
  ComPort = console::ReadInteger(
      con,
      [](std::string_view text, std::int32_t& value) {
        PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(text);
        value = r.value;
        return r.ok();
      },
      port);
  PLC_Lib3::OpenPlcPort(com_, ComPort);
  ShortString reply;
  PLC_Lib3::PlcConnect(com_, ComPort, reply);
  DetectDeviceVariant(ComPort);
  SelectCounterLabels();
  MonitorPreparation();
  Journal("started: port COM" + std::to_string(ComPort) + ", room \"" + Room() + "\", variant " +
          std::to_string(DeviceVariant) + ", model " + std::to_string(VentRelay));
  MonitorCycle();
  Shutdown();
  Journal("ended");
  return 0;
}

std::string Monitor::Room() const {
  return out_.room.empty() ? "COM" + std::to_string(ComPort) : out_.room;
}

void Monitor::DetectDeviceVariant(std::int32_t port) {
  ShortString reply;
  PlcReadRelay(com_, port, 3000, reply);
  if (reply == "1") {
    PlcReadRelay(com_, port, 3003, reply);
    DeviceVariant = reply == "0" ? 1 : 9;
  } else {
    PlcReadRelay(com_, port, 3001, reply);
    DeviceVariant = reply == "1" ? 2 : 3;
  }
}

void Monitor::SelectCounterLabels() {
  if (HasDefrost(DeviceVariant)) {
    CounterLabel119 = kLabelCooler2;
    CounterLabel121 = kLabelDefrost;
  } else {
    CounterLabel119 = kLabelHeatEff;
    CounterLabel121 = kLabelCoolEff;
  }
  CounterLabel125 = kLabelHeater;
  CounterLabel127 = kLabelCooler;
}

void Monitor::ProbeControllerModel(std::int32_t port) {
  ShortString reply;
  PLC_Lib3::PlcTransact(com_, port, "RD 7000", reply);
  std::uint16_t first = !reply.empty() && reply.At(1) == 'E' ? 604 : 512;
  VentRelay = first;
  TempCtlRelay = static_cast<std::uint16_t>(first + 1);
  FloorHtrRelay = static_cast<std::uint16_t>(first + 2);
  TempModeRelay = static_cast<std::uint16_t>(first + 3);
}

void Monitor::Shutdown() {
  com_.DelayTicks(1);
  ShortString reply;
  PLC_Lib3::PlcDisconnect(com_, ComPort, reply);
  com_.CloseComPort(ComPort);
  com_.con().NormVideo();
}

}  // namespace monitor
