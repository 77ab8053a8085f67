// The console's write forms for numbers: an integer right-aligned in a width, and a real
// in a width with a fixed number of decimals. A text longer than its width is written whole.
#pragma once

#include <cstdint>
#include <string>

namespace console {

std::string FormatInt(std::int64_t value, int width = 0);
std::string FormatUInt(std::uint64_t value, int width = 0);

// The magnitude is rounded to 18 significant digits (at most 17 decimals), then to
// `decimals` decimals with halves away from zero; "-" for any negative value, even one
// that rounds to zero.
std::string FormatReal(long double value, int width, int decimals);

}  // namespace console
