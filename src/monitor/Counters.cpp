// The operating-time counters on rows 14 to 19 and their reset.
#include "monitor/Monitor.h"

namespace monitor {

using console::Int;
using console::Real;
using console::UInt;

std::int64_t Monitor::ReadCounter(std::uint16_t low_dm, bool& ok) {
  std::int64_t lo = ReadDmValue(ComPort, low_dm, 'w');
  ok = last_read_ok_;
  std::int64_t hi = ReadDmValue(ComPort, static_cast<std::uint16_t>(low_dm + 1), 'w');
  ok = ok && last_read_ok_;
  return hi * 65535 + lo;  // the controller's own multiplier
}

void Monitor::RefreshCounters() {
  if (CycleCount % 2 != 0 || com_.EscFlag) return;
  auto& con = com_.con();

  HeaderRow();

  std::int64_t lo = ReadDmStable(ComPort, 117, 'w');
  bool total_ok = last_read_ok_;
  std::int64_t hi = ReadDmStable(ComPort, 118, 'w');
  total_ok = total_ok && last_read_ok_;
  std::int64_t total = hi * 65535 + lo;

  bool ok119, ok121, ok125, ok127;
  std::int64_t c119 = ReadCounter(119, ok119);
  std::int64_t c121 = ReadCounter(121, ok121);
  std::int64_t c125 = ReadCounter(125, ok125);
  std::int64_t c127 = ReadCounter(127, ok127);
  auto logged = [](bool ok, std::int64_t v) { return ok ? std::to_string(v) : std::string(); };
  pass_.total = logged(total_ok, total);
  pass_.heater = logged(ok125, c125);
  pass_.counter119 = logged(ok119, c119);
  pass_.cooler = logged(ok127, c127);
  pass_.counter121 = logged(ok121, c121);

  std::uint16_t a = ReadTimerValue(ComPort, 106);
  std::uint16_t b = ReadTimerValue(ComPort, 107);
  if (a < T106Min) T106Min = a;
  if (b < T107Min) T107Min = b;

  con.GotoXY(1, 14);
  con.Write("tTotal      ", Int{total, 7}, " s  /  ",
            Real{static_cast<long double>(total) / 3600, 6, 1}, " h");

  struct Row {
    int row;
    const ShortString& label;
    std::int64_t counter;
  };
  const Row rows[] = {{15, CounterLabel125, c125},
                      {16, CounterLabel119, c119},
                      {17, CounterLabel127, c127},
                      {18, CounterLabel121, c121}};
  for (const Row& r : rows) {
    con.GotoXY(1, r.row);
    if (total > 0) {
      long double share =
          static_cast<long double>(r.counter) * 100 / static_cast<long double>(total);
      con.Write("t", r.label, Int{r.counter, 7}, " s  / ", Real{share, 7, 1}, " % ");
    } else {
      con.Write("t", r.label, Int{r.counter, 7}, " s  /     0.0 % ");
    }
  }

  if (ResetRequest) ResetCounters(false);

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
