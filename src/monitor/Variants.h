// What differs between the device variants, in one place that the screen, the log and
// the metrics all read: whether the evaporator and defrost rows exist, and what each
// operating-time counter is called where.
#pragma once

#include <array>
#include <cstdint>

#include "logformat/LogFormat.h"

namespace monitor {

// One operating-time counter: two words (low, then high) of the controller.
struct CounterWords {
  std::uint16_t low_dm;
  int row;                // its screen row
  const char* label;      // its label after the row's "t", 11 characters
  logformat::Col column;  // its log column
  const char* metric;     // its counter label in the metrics
};

struct VariantTable {
  bool evaporator_and_defrost;  // rows 6 and 7
  // The four counters in the order they are read (DM119, DM121, DM125, DM127).
  std::array<CounterWords, 4> counters;
};

// The total operating time, the same in every variant.
inline constexpr CounterWords kTotalCounter{117, 14, "", logformat::kTotal, "total"};

// The variant's table; any but 1 and 9 (the one detection gives with no reply too) has
// the heating and cooling efficiency counters.
const VariantTable& ForVariant(std::int32_t variant);

}  // namespace monitor
