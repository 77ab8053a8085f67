// The controller's set-point words: their number and how a word becomes a value. The
// monitor reads them so; climon-report tells an operator's write to one in these words.
#pragma once

#include <cstdint>

namespace logformat {

struct SetPointWord {
  std::uint16_t dm;
  const char* name;  // "temperature set point"
  long double divisor, offset;
  const char* unit;  // after the number: " °C", " %"
  int decimals;
  long double Value(long double word) const { return word / divisor + offset; }
};

// In the monitor's order: temperature, humidity, CO2, evaporator.
inline constexpr SetPointWord kSetPointWords[] = {
    {890, "temperature set point", 10, 0, " \u00B0C", 2},
    {893, "humidity set point", 10, 0, " %", 2},
    {894, "CO2 set point", 100, 0, " %", 3},
    {39, "evaporator temperature set point", 20, -50, " \u00B0C", 2},
};

// A word as the controller's signed reading of it: above 32768 it is negative.
inline std::int32_t SignedWord(std::int32_t word) {
  return word > 32768 ? word - 65536 : word;
}

}  // namespace logformat
