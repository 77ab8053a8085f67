// The one text-to-integer conversion for typed numbers and controller replies.
#pragma once

#include <cstdint>
#include <string_view>

namespace PLC_Lib3 {

struct IntResult {
  std::int32_t value = 0;
  int failure = 0;  // 1-based position of the first character not used; 0 when all were
  bool ok() const { return failure == 0; }
};

// Leading blanks, one sign, then decimal digits or a hexadecimal form ("$", "x", "X" or
// "0x" before the digits, giving the 32-bit pattern). On a failure the value is the one
// built from the digits read so far, without the sign.
IntResult TextToInt(std::string_view text);

}  // namespace PLC_Lib3
