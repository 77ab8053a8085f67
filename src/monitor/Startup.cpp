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
  start_time_ = com_.clock().Wall();
  started_ = false;
  // With an audit trail, from here on a stop from outside (a signal, a closed console)
  // ends the run as ESC does, so that the trail has its end; the plain program ends at
  // once, as it always has.
  if (out_.audit != nullptr) con.TakeStopRequests();
  try {
    PLC_Lib3::OpenPlcPort(com_, ComPort);
    ShortString reply;
    PLC_Lib3::PlcConnect(com_, ComPort, reply);
    DetectDeviceVariant(ComPort);
    SelectCounterLabels();
    MonitorPreparation();
    Started();
    MonitorCycle();
    Shutdown();
  } catch (const std::exception& e) {
    Ended(std::string("fatal error: ") + e.what());
    throw;
  }
  std::string cause = con.StopRequestedBy();
  Ended(cause.empty() ? "ESC" : cause);
  return 0;
}

void Monitor::Started(bool ran) {
  const std::string server = com_.Server(ComPort);
  const std::string what =
      std::string("variant ") + (variant_known_ ? std::to_string(DeviceVariant) : "not known yet") +
      ", model " + (model_known_ ? std::to_string(VentRelay) : "not known yet") +
      (server.empty() ? "" : ", server " + server);
  started_ = true;
  if (ran)
    Journal("started: port COM" + std::to_string(ComPort) + ", room \"" + Room() + "\", " + what);
  for (auto& [line, severity] : early_journal_) Journal(line, severity);
  early_journal_.clear();
  Audit(start_time_, "start", what + ", version " + out_.version);
  // How each record's seal chain was taken up, where that is worth a row of its own.
  for (ValueLog* record : {out_.log, out_.audit}) {
    if (record == nullptr) continue;
    if (std::string said = record->TakeChainNotice(); !said.empty()) {
      Journal(said);
      Audit(start_time_, seal::kLogSealEvent, said);
    }
  }
  for (const std::string& row : early_rows_) out_.audit->Append(row);
  early_rows_.clear();
}

void Monitor::Ended(const std::string& cause) {
  // A fatal error in the start-up: the trail has the run's start and end, the journal the
  // error that ended it.
  if (started_) {
    Journal("ended");
  } else {
    Started(false);
  }
  // The value log's chain where the run leaves it: its last rows, which no link written
  // covers yet, are covered here, and a log cut short is told from one that ended.
  if (out_.log != nullptr && out_.log->head().rows > 0) {
    Audit(seal::kLogSealEvent, seal::LogSealDetail(out_.log->head(), out_.log->path()));
  }
  Audit("end", cause);
}

std::string Monitor::Room() const {
  return out_.room.empty() ? "COM" + std::to_string(ComPort) : out_.room;
}

void Monitor::DetectDeviceVariant(std::int32_t port) {
  // Known only when each read it rests on had a reply: an error reply is an answer (the
  // controller has no such relay), a lost one is not.
  ShortString first, second;
  PlcReadRelay(com_, port, 3000, first);
  if (first == "1") {
    PlcReadRelay(com_, port, 3003, second);
    DeviceVariant = second == "0" ? 1 : 9;
  } else {
    PlcReadRelay(com_, port, 3001, second);
    DeviceVariant = second == "1" ? 2 : 3;
  }
  variant_known_ = !first.empty() && !second.empty();
}

void Monitor::SelectCounterLabels() {
  // The variant's table holds the counters in the order of their words.
  const VariantTable& v = ForVariant(DeviceVariant);
  ShortString* labels[] = {&CounterLabel119, &CounterLabel121, &CounterLabel125, &CounterLabel127};
  for (std::size_t i = 0; i < v.counters.size(); ++i) *labels[i] = v.counters[i].label;
}

const ShortString& Monitor::CounterLabel(const CounterWords& counter) const {
  switch (counter.low_dm) {
    case 119:
      return CounterLabel119;
    case 121:
      return CounterLabel121;
    case 125:
      return CounterLabel125;
    default:
      return CounterLabel127;
  }
}

void Monitor::ProbeControllerModel(std::int32_t port) {
  ShortString reply;
  // A relay's reply or an error: anything else (another command's reply, late) is none.
  PLC_Lib3::PlcTransact(com_, port, "RD 7000", reply, PLC_Lib3::ReplyShape::kRelay);
  // Decided by a reply alone: none leaves the first choice standing, to be asked again.
  model_known_ = !reply.empty();
  std::uint16_t first = !reply.empty() && reply.At(1) == 'E' ? 604 : 512;
  VentRelay = first;
  TempCtlRelay = static_cast<std::uint16_t>(first + 1);
  FloorHtrRelay = static_cast<std::uint16_t>(first + 2);
  TempModeRelay = static_cast<std::uint16_t>(first + 3);
}

std::string Monitor::NotKnownYet() const {
  std::string what;
  auto add = [&what](bool known, const char* name) {
    if (!known) what += (what.empty() ? "" : ", ") + std::string(name);
  };
  add(base_ok_[0] && base_ok_[1] && base_ok_[2] && base_ok_[3] && base_ok_[4], "set points");
  add(variant_known_, "device variant");
  add(model_known_, "controller model");
  add(t106_known_ && t107_known_, "timers");
  return what.empty() ? what : kNotReadYet + what;
}

void Monitor::ReadMissingStartup() {
  if (Stopping() || !retry_startup_) return;
  if (!variant_known_) {
    DetectDeviceVariant(ComPort);
    if (variant_known_) SelectCounterLabels();
  }
  if (!model_known_) ProbeControllerModel(ComPort);
}

void Monitor::Shutdown() {
  com_.DelayTicks(1);
  ShortString reply;
  PLC_Lib3::PlcDisconnect(com_, ComPort, reply);
  com_.CloseComPort(ComPort);
  com_.con().NormVideo();
}

}  // namespace monitor
