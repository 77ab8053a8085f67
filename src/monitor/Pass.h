// What one pass read: each value as a number with how the pass came by it and the
// precision the screen gives it. The cycle fills it as it reads; the screen's rows, the
// log's row and the metrics are made from it, each in one place, and nothing is read
// back from their text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "logformat/LogFormat.h"

namespace monitor {

using logformat::Col;

// How a pass came by a value.
enum class Got : std::uint8_t {
  kNotRead,  // not read this pass (ESC came first, a reset was pending, no refresh)
  kNoReply,  // read, without a usable reply: the screen shows what 0 gives
  kRead,
};

// Of two reads that make one value, the one that says less.
constexpr Got Worse(Got a, Got b) {
  return a < b ? a : b;
}

struct Value {
  Got got = Got::kNotRead;
  long double number = 0;  // as the screen shows it: scaled, in its unit (when not read,
                           // what the screen shows in its place)
  int decimals = 0;        // the screen's decimals; 0 for whole numbers
  bool read() const { return got == Got::kRead; }
};

inline Value ReadAs(long double number, int decimals = 0) {
  return {Got::kRead, number, decimals};
}
// A value read now. Without a usable reply the number is what the screen shows for it
// (the controller program's rules for 0); nothing else shows it.
inline Value Outcome(bool ok, long double number, int decimals = 0) {
  return {ok ? Got::kRead : Got::kNoReply, number, decimals};
}

struct Pass {
  std::int32_t port = 0;
  std::int32_t variant = 0;    // the device variant the screen goes by
  bool variant_known = false;  // from replies; until then the log and metrics leave it out
  std::array<Value, logformat::kValueCount> values{};
  Value& operator[](Col c) { return values[c]; }
  const Value& operator[](Col c) const { return values[c]; }
};

// A value as the screen writes it, without a width ("12.50", "143415"); empty unless it
// was read.
std::string Text(const Value& v);
// The pass as the log's row.
logformat::LogRow LogFields(const Pass& pass);

}  // namespace monitor
