// The monitor preparation and the monitor cycle with the climate rows 3 to 7.
#include "logformat/SetPointWords.h"
#include "monitor/Metrics.h"
#include "monitor/Monitor.h"

namespace monitor {

using console::Int;
using console::Real;
using console::UInt;

namespace {

// A relay's state, as its stored reply tells it.
Value RelayState(const ShortString& reply) {
  if (reply == "1") return ReadAs(1);
  if (reply == "0") return ReadAs(0);
  return {Got::kNoReply};
}

// The reference words, read once; the rows name them by their index here.
enum Base { kTempSet, kHumiditySet, kCo2Set, kEvapSet, kDefrostSet, kBaseCount };
constexpr std::uint16_t kBaseWords[kBaseCount] = {890, 893, 894, 39, 895};
constexpr std::int32_t Monitor::*kBaseValues[kBaseCount] = {
    &Monitor::Base890, &Monitor::Base893, &Monitor::Base894, &Monitor::Base39, &Monitor::Base895};

// One climate row: the word read every pass, its scaling, its reference word, the texts
// and width of the row, the pass's fields of both values, and the indicator drawn after
// it.
struct ClimateRow {
  int row;
  std::uint16_t dm;
  const char* label;
  const char* unit;
  int decimals;
  long double (*value)(long double word, bool high_range);
  Base base;
  long double (*set)(long double base);
  Col field;
  Col set_field;
  void (Monitor::*indicator_after)(bool fresh);
  bool evaporator;  // only where the variant has one
};

const ClimateRow kClimateRows[] = {
    {3, 992, "Temp.        ", " C", 2,
     [](long double w, bool high) { return high ? w / 320 - 50 : w / 40; }, kTempSet,
     [](long double b) { return logformat::kSetPointWords[kTempSet].Value(b); }, logformat::kTemp,
     logformat::kTempSet, &Monitor::TempCtlIndicator, false},
    {4, 993, "Humidity     ", " %", 2,
     [](long double w, bool high) { return w / (high ? 320 : 40); }, kHumiditySet,
     [](long double b) { return logformat::kSetPointWords[kHumiditySet].Value(b); },
     logformat::kHumidity, logformat::kHumiditySet, &Monitor::FloorHtrIndicator, false},
    {5, 984, "CO2          ", " %", 3, [](long double w, bool) { return w / 100; }, kCo2Set,
     [](long double b) { return logformat::kSetPointWords[kCo2Set].Value(b); }, logformat::kCo2,
     logformat::kCo2Set, &Monitor::TempModeIndicator, false},
    {6, 995, "Evap.Temp.   ", " C", 2, [](long double w, bool) { return w / 20 - 50; }, kEvapSet,
     [](long double b) { return logformat::kSetPointWords[kEvapSet].Value(b); }, logformat::kEvap,
     logformat::kEvapSet, nullptr, true},
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
  next_set_points_ = com_.clock().Now() + kSetPointsEvery;
  for (int i = 0; i < kBaseCount; ++i) {
    Reading<std::int32_t> r = ReadWord(ComPort, kBaseWords[i], 'i');
    this->*kBaseValues[i] = r.value;
    base_ok_[i] = r.ok();
  }
  Reading<std::uint16_t> t106 = ReadTimer(106), t107 = ReadTimer(107);
  T106Min = t106.value;
  T107Min = t107.value;
  t106_known_ = t106.ok();
  t107_known_ = t107.ok();
  ProbeControllerModel(ComPort);
  HeaderRow();
}

void Monitor::HeaderRow() {
  Reading<std::int32_t> v = ReadForRow(1, 109, 'w');
  if (v.skipped(*this)) return;
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
  const bool evaporator = ForVariant(DeviceVariant).evaporator_and_defrost;
  VentIndicator(true);
  pass_[logformat::kVent] = RelayState(VentReply);
  for (const ClimateRow& r : kClimateRows) {
    if (r.evaporator && !evaporator) continue;
    ReadMissingBase(r.base);
    // Once ESC is seen nothing more is read, so nothing more is drawn: the screen keeps
    // the last values that were read.
    Reading<std::int32_t> w = ReadForRow(r.row, r.dm, 'i');
    if (w.skipped(*this)) return;
    if (r.row == kTempRow) HighRange = w.value > 7500;
    pass_[r.field] = {w.got, r.value(static_cast<long double>(w.value), HighRange), r.decimals};
    pass_[r.set_field] = Outcome(
        base_ok_[r.base], r.set(static_cast<long double>(this->*kBaseValues[r.base])), r.decimals);
    com_.con().Write(RowText(r.row, pass_));
    if (r.indicator_after != nullptr) (this->*r.indicator_after)(true);
  }
  pass_[logformat::kTempCtl] = RelayState(TempCtlReply);
  pass_[logformat::kFloorHtr] = RelayState(FloorHtrReply);
  pass_[logformat::kTempMode] = RelayState(TempModeReply);
  if (evaporator) DefrostRow();
}

void Monitor::ReadBaseAgain(int base) {
  Reading<std::int32_t> r = ReadWord(ComPort, kBaseWords[base], 'i');
  if (!r.ok()) return;  // the last value read stands
  this->*kBaseValues[base] = r.value;
  base_ok_[base] = true;
}

void Monitor::ReadMissingBase(int base) {
  if (!base_ok_[base] && retry_startup_) ReadBaseAgain(base);
}

void Monitor::ReadSetPointsAgain() {
  const bool evaporator = ForVariant(DeviceVariant).evaporator_and_defrost;
  for (int i = 0; i < kBaseCount; ++i) {
    if (evaporator || (i != kEvapSet && i != kDefrostSet)) ReadBaseAgain(i);
  }
}

void Monitor::DefrostRow() {
  ReadMissingBase(kDefrostSet);
  if (Stopping()) return;
  auto& con = com_.con();
  con.GotoXY(1, 7);
  ShortString reply;
  PLC_Lib3::PlcReadDm(com_, ComPort, 87, reply);
  PLC_Lib3::IntResult r = PLC_Lib3::TextToInt(reply);
  std::int32_t minutes = r.value;
  long double defrost_temp = minutes < 120 ? static_cast<long double>(Base895) / 20
                                           : static_cast<long double>(Base895 - 250) / 5;
  // A failed read shows 0 minutes on the screen, as ever; the log and the metrics say
  // nothing of it, nor of the temperature that 0 minutes would pick.
  pass_[logformat::kDefrostMin] = Outcome(r.ok(), minutes);
  pass_[logformat::kDefrostTemp] = Outcome(r.ok() && base_ok_[kDefrostSet], defrost_temp, 2);
  con.Write(RowText(7, pass_));
}

std::string RowText(int row, const Pass& pass) {
  if (row == 7) {
    const Value& minutes = pass[logformat::kDefrostMin];
    const Value& temp = pass[logformat::kDefrostTemp];
    if (minutes.number < 120) {
      return "Next Def. in " + console::FormatInt(static_cast<std::int64_t>(minutes.number), 6) +
             " min to" + console::FormatReal(temp.number, 6, 2) + " C";
    }
    return "Defrost in   >" + console::FormatReal(minutes.number / 60, 5, 1) + " hrs to" +
           console::FormatReal(temp.number, 6, 2) + " C";
  }
  for (const ClimateRow& r : kClimateRows) {
    if (r.row != row) continue;
    const Value& v = pass[r.field];
    const Value& set = pass[r.set_field];
    return r.label + console::FormatReal(v.number, 6, r.decimals) + r.unit + "  /  " +
           console::FormatReal(set.number, 6, r.decimals) + r.unit;
  }
  return CounterRowText(row, pass);
}

void Monitor::MonitorPass() {
  pass_ = Pass{};
  pass_.port = ComPort;
  const auto now = com_.clock().Now();
  retry_startup_ = !NotKnownYet().empty() && now >= next_startup_retry_;
  if (retry_startup_) next_startup_retry_ = now + kStartupRetryEvery;
  ReadMissingStartup();
  // The alarms judge against the set point in force too.
  const bool record =
      out_.log != nullptr || out_.metrics != nullptr || out_.audit != nullptr || alarm_.has_value();
  if (record && CycleCount % 2 == 0 && now >= next_set_points_) {
    next_set_points_ = now + kSetPointsEvery;
    ReadSetPointsAgain();
  }
  pass_.variant = DeviceVariant;
  pass_.variant_known = variant_known_;
  ClimateRows();
  RefreshCounters();
  ++CycleCount;
  // A pass that ESC cut short made none of its reads after the ESC: no row for it, so
  // that the operator's quit does not look like a run of failed reads.
  if (!Stopping()) Publish();
}

void Monitor::Publish() {
  // The record's state as the last writes left it: a failure raises its alarm a pass on.
  StepAlarms(record_ok_);
  comLib3::WallTime now = com_.clock().Wall();
  std::string problems, notice;
  record_ok_ = true;
  if (out_.log != nullptr) {
    if (!out_.log->Append(logformat::CsvRow(now, LogFields(pass_)))) {
      record_ok_ = false;
      problems = out_.log->Problem();
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
  if (out_.audit != nullptr) {
    // Its rows kept while it could not be written go out now if they can.
    if (!out_.audit->Flush()) {
      record_ok_ = false;
      problems += (problems.empty() ? "" : "; ") + out_.audit->Problem();
    } else if (std::string said = out_.audit->TakeNotice(); !said.empty()) {
      notice = said;
    }
  }
  TellLost(out_.log);
  TellLost(out_.audit);
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
  PassState s{pass_, now, last_reply_, !link_down_, model_known_ ? VentRelay : std::uint16_t{0},
              Room()};
  if (out_.log != nullptr) s.log_seal = out_.log->last_seal();
  if (out_.audit != nullptr) s.audit_seal = out_.audit->last_seal();
  if (alarm_) s.alarms = &*alarm_;
  return s;
}

void Monitor::ShowOutput(const std::string& text, bool notice) {
  out_notice_ = notice;
  if (text == out_text_) return;
  if (!text.empty()) Journal(text, notice ? Severity::kInfo : Severity::kWarning);
  out_text_ = text;
  StatusRow(kLogRow, text, out_shown_);
}

void Monitor::MonitorCycle() {
  do {
    MonitorPass();
  } while (!StopFlag);
}

}  // namespace monitor
