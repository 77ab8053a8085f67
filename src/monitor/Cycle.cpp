// The monitor preparation and the monitor cycle with the climate rows 3 to 7.
#include "monitor/Metrics.h"
#include "monitor/Monitor.h"

namespace monitor {

using console::Int;
using console::Real;
using console::UInt;
using logformat::LogRow;

namespace {

// A value for the log as the screen shows it, or empty when its read got no usable reply.
std::string Logged(bool ok, long double value, int decimals) {
  return ok ? console::FormatReal(value, 0, decimals) : std::string();
}

std::string RelayState(const ShortString& reply) {
  return reply == "1" ? "1" : reply == "0" ? "0" : "";
}

// The reference words, read once; the rows name them by their index here.
enum Base { kTempSet, kHumiditySet, kCo2Set, kEvapSet, kDefrostSet, kBaseCount };
constexpr std::uint16_t kBaseWords[kBaseCount] = {890, 893, 894, 39, 895};
constexpr std::int32_t Monitor::*kBaseValues[kBaseCount] = {
    &Monitor::Base890, &Monitor::Base893, &Monitor::Base894, &Monitor::Base39, &Monitor::Base895};

// One climate row: the word read every pass, its scaling, its reference word, the texts
// and width of the row, where the log keeps both values, and the indicator drawn after it.
struct ClimateRow {
  int row;
  std::uint16_t dm;
  const char* label;
  const char* unit;
  int decimals;
  long double (*value)(long double word, bool high_range);
  Base base;
  long double (*set)(long double base);
  std::string LogRow::*logged;
  std::string LogRow::*logged_set;
  void (Monitor::*indicator_after)(bool fresh);
  bool defrost_only;
};

const ClimateRow kClimateRows[] = {
    {3, 992, "Temp.        ", " C", 2,
     [](long double w, bool high) { return high ? w / 320 - 50 : w / 40; }, kTempSet,
     [](long double b) { return b / 10; }, &LogRow::temp, &LogRow::temp_set,
     &Monitor::TempCtlIndicator, false},
    {4, 993, "Humidity     ", " %", 2,
     [](long double w, bool high) { return w / (high ? 320 : 40); }, kHumiditySet,
     [](long double b) { return b / 10; }, &LogRow::humidity, &LogRow::humidity_set,
     &Monitor::FloorHtrIndicator, false},
    {5, 984, "CO2          ", " %", 3, [](long double w, bool) { return w / 100; }, kCo2Set,
     [](long double b) { return b / 100; }, &LogRow::co2, &LogRow::co2_set,
     &Monitor::TempModeIndicator, false},
    {6, 995, "Evap.Temp.   ", " C", 2, [](long double w, bool) { return w / 20 - 50; }, kEvapSet,
     [](long double b) { return b / 20 - 50; }, &LogRow::evap, &LogRow::evap_set, nullptr, true},
};

constexpr int kTempRow = 3;

}  // namespace

void Monitor::MonitorPreparation() {
  auto& con = com_.con();
  con.ClrScr();
  VentPhase = 1;
  FloorHtrPhase = 1;
  TempCtlPhase = 0;
  CycleCount = 2;
  for (int i = 0; i < kBaseCount; ++i) {
    Reading<std::int32_t> r = ReadWord(ComPort, kBaseWords[i], 'i');
    this->*kBaseValues[i] = r.value;
    base_ok_[i] = r.ok;
  }
  Reading<std::uint16_t> t106 = ReadTimer(106), t107 = ReadTimer(107);
  T106Min = t106.value;
  T107Min = t107.value;
  t106_known_ = t106.ok;
  t107_known_ = t107.ok;
  ProbeControllerModel(ComPort);
  HeaderRow();
}

void Monitor::HeaderRow() {
  Reading<std::int32_t> v = ReadForRow(1, 109, 'w');
  if (v.stopped) return;
  com_.con().Write("System         ", UInt{static_cast<std::uint16_t>(v.value)}, " ComPort    ",
                   Int{ComPort});
}

Monitor::Reading<std::int32_t> Monitor::ReadForRow(int row, std::uint16_t dm, char kind) {
  auto& con = com_.con();
  con.GotoXY(1, row);
  Reading<std::int32_t> v = ReadWord(ComPort, dm, kind);
  // The read may have run the command terminal, which clears the screen and leaves the
  // cursor at the top left: the row goes back to its own position before it is written.
  con.GotoXY(1, row);
  return v;
}

void Monitor::ClimateRows() {
  VentIndicator(true);
  pass_.vent = RelayState(VentReply);
  for (const ClimateRow& r : kClimateRows) {
    if (r.defrost_only && !HasDefrost(DeviceVariant)) continue;
    ReadMissingBase(r.base);
    // Once ESC is seen nothing more is read, so nothing more is drawn: the screen keeps
    // the last values that were read.
    Reading<std::int32_t> w = ReadForRow(r.row, r.dm, 'i');
    if (w.stopped) return;
    if (r.row == kTempRow) HighRange = w.value > 7500;
    long double value = r.value(static_cast<long double>(w.value), HighRange);
    long double set = r.set(static_cast<long double>(this->*kBaseValues[r.base]));
    com_.con().Write(r.label, Real{value, 6, r.decimals}, r.unit, "  /  ", Real{set, 6, r.decimals},
                     r.unit);
    pass_.*r.logged = Logged(w.ok, value, r.decimals);
    pass_.*r.logged_set = Logged(base_ok_[r.base], set, r.decimals);
    if (r.indicator_after != nullptr) (this->*r.indicator_after)(true);
  }
  pass_.temp_ctl = RelayState(TempCtlReply);
  pass_.floor_htr = RelayState(FloorHtrReply);
  pass_.temp_mode = RelayState(TempModeReply);
  if (HasDefrost(DeviceVariant)) DefrostRow();
}

void Monitor::ReadMissingBase(int base) {
  if (base_ok_[base]) return;
  Reading<std::int32_t> r = ReadWord(ComPort, kBaseWords[base], 'i');
  if (!r.ok) return;
  this->*kBaseValues[base] = r.value;
  base_ok_[base] = true;
}

void Monitor::DefrostRow() {
  ReadMissingBase(kDefrostSet);
  if (StopFlag) return;
  auto& con = com_.con();
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
  // A failed read shows 0 minutes on the screen, as ever; the log and the metrics say
  // nothing of it, nor of the temperature that 0 minutes would pick.
  if (r.ok()) pass_.defrost_min = std::to_string(minutes);
  pass_.defrost_temp = Logged(r.ok() && base_ok_[kDefrostSet], defrost_temp, 2);
}

void Monitor::MonitorPass() {
  pass_ = LogRow{};
  pass_.port = ComPort;
  ReadMissingStartup();
  pass_.variant = variant_known_ ? DeviceVariant : 0;
  ClimateRows();
  RefreshCounters();
  ++CycleCount;
  // A pass that ESC cut short made none of its reads after the ESC: no row for it, so
  // that the operator's quit does not look like a run of failed reads.
  if (!StopFlag) Publish();
}

void Monitor::Publish() {
  comLib3::WallTime now = com_.clock().Wall();
  std::string problems, notice;
  if (out_.log != nullptr) {
    if (!out_.log->Append(logformat::CsvRow(now, pass_))) {
      problems = "Value log not written: " + out_.log->error();
    } else {
      notice = out_.log->TakeNotice();
    }
  }
  if (out_.metrics != nullptr) {
    if (!out_.metrics->Write(State(now))) {
      problems += (problems.empty() ? "" : "; ") + std::string("Metrics not written: ") +
                  out_.metrics->error();
    }
  }
  // A problem shows until the writes succeed again; a notice stays until there is
  // something else to say.
  if (!problems.empty()) {
    ShowOutput(problems, false);
  } else if (!notice.empty()) {
    ShowOutput(notice, true);
  } else if (!out_notice_) {
    std::string missing = NotKnownYet();
    if (missing.empty() && !out_text_.empty() && out_text_.starts_with(kNotReadYet)) {
      Journal("the start-up values are all read now");
    }
    ShowOutput(missing, false);
  }
}

void Monitor::PublishLink() {
  if (out_.metrics == nullptr) return;
  // Failures show at the pass's end, where every write is reported.
  out_.metrics->Write(State(com_.clock().Wall()));
}

PassState Monitor::State(const comLib3::WallTime& now) const {
  return {pass_, now, last_reply_, !link_down_, model_known_ ? VentRelay : std::uint16_t{0},
          Room()};
}

void Monitor::ShowOutput(const std::string& text, bool notice) {
  out_notice_ = notice;
  if (text == out_text_) return;
  if (!text.empty()) Journal(text);
  out_text_ = text;
  StatusRow(kLogRow, text, out_shown_);
}

void Monitor::MonitorCycle() {
  do {
    MonitorPass();
  } while (!StopFlag);
}

}  // namespace monitor
