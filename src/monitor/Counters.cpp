// The operating-time counters on rows 14 to 19 and their reset.
#include "monitor/Monitor.h"

#include <array>

namespace monitor {

using console::FormatInt;
using console::FormatReal;
using console::UInt;

Monitor::Reading<std::int64_t> Monitor::ReadCounter(std::uint16_t low_dm) {
  Reading<std::int32_t> lo = ReadWord(ComPort, low_dm, 'w');
  Reading<std::int32_t> hi = ReadWord(ComPort, static_cast<std::uint16_t>(low_dm + 1), 'w');
  // The controller's own multiplier.
  return {std::int64_t{hi.value} * 65535 + lo.value, Worse(lo.got, hi.got)};
}

void Monitor::RefreshCounters() {
  if (CycleCount % 2 != 0 || Stopping()) return;
  auto& con = com_.con();

  HeaderRow();

  Reading<std::int32_t> lo = ReadStable(ComPort, 117, 'w');
  Reading<std::int32_t> hi = ReadStable(ComPort, 118, 'w');
  Reading<std::int64_t> total{std::int64_t{hi.value} * 65535 + lo.value, Worse(lo.got, hi.got)};

  // Read in the controller's order of words; drawn by row below.
  const VariantTable& variant = ForVariant(DeviceVariant);
  pass_.variant = DeviceVariant;
  std::array<Reading<std::int64_t>, 4> counters;
  for (std::size_t i = 0; i < counters.size(); ++i) {
    counters[i] = ReadCounter(variant.counters[i].low_dm);
  }
  // A counter is known only when both its words had a usable reply; the screen shows
  // what the controller program shows for the others.
  auto publish = [this](const CounterWords& words, const Reading<std::int64_t>& r) {
    pass_[words.column] = {r.got, static_cast<long double>(r.value), 0};
  };
  publish(kTotalCounter, total);
  for (std::size_t i = 0; i < counters.size(); ++i) publish(variant.counters[i], counters[i]);
  // What a reset would lose, for its row in the audit trail: the totals are kept there.
  if (total.ok()) {
    auto said = [](const CounterWords& words, const Reading<std::int64_t>& r) {
      return std::string(words.metric) + " " +
             (r.ok() ? std::to_string(r.value) + " s" : "not read");
    };
    last_counters_ = said(kTotalCounter, total);
    for (std::size_t i = 0; i < counters.size(); ++i) {
      last_counters_ += ", " + said(variant.counters[i], counters[i]);
    }
  }

  Reading<std::uint16_t> a = ReadTimer(106), b = ReadTimer(107);
  if (a.value < T106Min) T106Min = a.value;
  if (b.value < T107Min) T107Min = b.value;
  t106_known_ = t106_known_ || a.ok();
  t107_known_ = t107_known_ || b.ok();

  // Rows whose reads ESC cut off keep the values they showed.
  if (!total.skipped(*this)) {
    con.GotoXY(1, kTotalCounter.row);
    con.Write(RowText(kTotalCounter.row, pass_));
  }
  for (int row = 15; row <= 18; ++row) {
    for (std::size_t i = 0; i < counters.size(); ++i) {
      if (variant.counters[i].row != row || total.skipped(*this) || counters[i].skipped(*this)) {
        continue;
      }
      con.GotoXY(1, row);
      con.Write(RowText(row, pass_));
    }
  }

  if (ResetRequest) ResetCounters(false);

  // After ESC nothing more is drawn: row 19 keeps its minima with rows 14 to 18.
  if (Stopping()) return;
  con.GotoXY(1, 19);
  con.Write("t106          ", UInt{T106Min, 5});
  con.GotoXY(23, 19);
  con.Write("t107 ", UInt{T107Min, 5});
}

std::string CounterRowText(int row, const Pass& pass) {
  const long double total = pass[kTotalCounter.column].number;
  if (row == kTotalCounter.row) {
    return "tTotal      " + FormatInt(static_cast<std::int64_t>(total), 7) + " s  /  " +
           FormatReal(total / 3600, 6, 1) + " h";
  }
  for (const CounterWords& words : ForVariant(pass.variant).counters) {
    if (words.row != row) continue;
    const long double counter = pass[words.column].number;
    std::string text =
        std::string("t") + words.label + FormatInt(static_cast<std::int64_t>(counter), 7);
    if (total > 0) return text + " s  / " + FormatReal(counter * 100 / total, 7, 1) + " % ";
    return text + " s  /     0.0 % ";
  }
  return "";
}

void Monitor::ResetCounters(bool keep_total) {
  // Each write's reply is noted for the audit trail; the controller program looks at none.
  int written = 0, words = 0;
  std::string failed;
  auto write = [&](std::uint16_t dm) {
    ShortString reply;
    PLC_Lib3::PlcWriteDm(com_, ComPort, dm, 0, reply);
    ++words;
    if (!reply.empty() && reply.At(1) != 'E') {
      ++written;
    } else {
      failed += (failed.empty() ? "; not written: DM" : ", DM") + std::to_string(dm) + " (" +
                (reply.empty() ? std::string("no reply") : std::string(reply.view())) + ")";
    }
  };
  if (!keep_total) {
    write(117);
    write(118);
  }
  static constexpr std::uint16_t kCounterWords[] = {119, 120, 121, 122, 125, 126, 127, 128};
  for (std::uint16_t dm : kCounterWords) write(dm);
  ResetRequest = false;
  CycleCount = 0;
  Audit("reset",
        last_counters_.empty() ? "counters before: not read" : "counters before: " + last_counters_,
        std::to_string(written) + " of " + std::to_string(words) + " words written" + failed);
}

}  // namespace monitor
