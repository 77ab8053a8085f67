// The operating-time counters on rows 14 to 19 and their reset.
#include "monitor/Monitor.h"

namespace monitor {

using console::Int;
using console::Real;
using console::UInt;

Monitor::Reading<std::int64_t> Monitor::ReadCounter(std::uint16_t low_dm) {
  Reading<std::int32_t> lo = ReadWord(ComPort, low_dm, 'w');
  Reading<std::int32_t> hi = ReadWord(ComPort, static_cast<std::uint16_t>(low_dm + 1), 'w');
  // The controller's own multiplier.
  return {std::int64_t{hi.value} * 65535 + lo.value, lo.ok && hi.ok, lo.stopped || hi.stopped};
}

void Monitor::RefreshCounters() {
  if (CycleCount % 2 != 0 || com_.EscFlag) return;
  auto& con = com_.con();

  HeaderRow();

  Reading<std::int32_t> lo = ReadStable(ComPort, 117, 'w');
  Reading<std::int32_t> hi = ReadStable(ComPort, 118, 'w');
  Reading<std::int64_t> total{std::int64_t{hi.value} * 65535 + lo.value, lo.ok && hi.ok,
                              lo.stopped || hi.stopped};

  Reading<std::int64_t> c119 = ReadCounter(119);
  Reading<std::int64_t> c121 = ReadCounter(121);
  Reading<std::int64_t> c125 = ReadCounter(125);
  Reading<std::int64_t> c127 = ReadCounter(127);
  auto logged = [](const Reading<std::int64_t>& r) {
    return r.ok ? std::to_string(r.value) : std::string();
  };
  pass_.total = logged(total);
  pass_.heater = logged(c125);
  pass_.counter119 = logged(c119);
  pass_.cooler = logged(c127);
  pass_.counter121 = logged(c121);

  Reading<std::uint16_t> a = ReadTimer(106), b = ReadTimer(107);
  if (a.value < T106Min) T106Min = a.value;
  if (b.value < T107Min) T107Min = b.value;
  t106_known_ = t106_known_ || a.ok;
  t107_known_ = t107_known_ || b.ok;

  // Rows whose reads ESC cut off keep the values they showed.
  if (!total.stopped) {
    con.GotoXY(1, 14);
    con.Write("tTotal      ", Int{total.value, 7}, " s  /  ",
              Real{static_cast<long double>(total.value) / 3600, 6, 1}, " h");
  }

  struct Row {
    int row;
    const ShortString& label;
    const Reading<std::int64_t>& counter;
  };
  const Row rows[] = {{15, CounterLabel125, c125},
                      {16, CounterLabel119, c119},
                      {17, CounterLabel127, c127},
                      {18, CounterLabel121, c121}};
  for (const Row& r : rows) {
    if (total.stopped || r.counter.stopped) continue;
    con.GotoXY(1, r.row);
    std::int64_t counter = r.counter.value;
    if (total.value > 0) {
      long double share =
          static_cast<long double>(counter) * 100 / static_cast<long double>(total.value);
      con.Write("t", r.label, Int{counter, 7}, " s  / ", Real{share, 7, 1}, " % ");
    } else {
      con.Write("t", r.label, Int{counter, 7}, " s  /     0.0 % ");
    }
  }

  if (ResetRequest) ResetCounters(false);

  // After ESC nothing more is drawn: row 19 keeps its minima with rows 14 to 18.
  if (StopFlag) return;
  con.GotoXY(1, 19);
  con.Write("t106          ", UInt{T106Min, 5});
  con.GotoXY(23, 19);
  con.Write("t107 ", UInt{T107Min, 5});
}

void Monitor::ResetCounters(bool keep_total) {
  ShortString reply;
  if (!keep_total) {
    PLC_Lib3::PlcWriteDm(com_, ComPort, 117, 0, reply);
    PLC_Lib3::PlcWriteDm(com_, ComPort, 118, 0, reply);
  }
  static constexpr std::uint16_t kCounterWords[] = {119, 120, 121, 122, 125, 126, 127, 128};
  for (std::uint16_t dm : kCounterWords) {
    PLC_Lib3::PlcWriteDm(com_, ComPort, dm, 0, reply);
  }
  ResetRequest = false;
  CycleCount = 0;
}

}  // namespace monitor
