#include "PLC_Lib3/TextToInt.h"

namespace PLC_Lib3 {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

IntResult TextToInt(std::string_view text) {
  const std::size_t n = text.size();
  if (n == 0) return {0, 1};
  std::size_t i = 0;
  auto fail_at = [](std::size_t idx, std::uint64_t built) {
    return IntResult{static_cast<std::int32_t>(static_cast<std::uint32_t>(built)),
                     static_cast<int>(idx + 1)};
  };
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }

  std::uint64_t value = 0;
  if (hex) {
    if (i >= n || HexDigit(text[i]) < 0) return fail_at(i, 0);
    for (; i < n; ++i) {
      int d = HexDigit(text[i]);
      if (d < 0) return fail_at(i, value);
      std::uint64_t next = value * 16 + static_cast<std::uint64_t>(d);
      if (next > 0xFFFFFFFFull) return fail_at(i, value);
      value = next;
    }
    // The sign has no effect on the hexadecimal form.
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(value)), 0};
  }

  if (i >= n || text[i] < '0' || text[i] > '9') return fail_at(i, 0);
  const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  for (; i < n; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return fail_at(i, value);
    std::uint64_t next = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (next > limit) return fail_at(i, value);
    value = next;
  }
  std::int64_t v = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
  return {static_cast<std::int32_t>(v), 0};
}

}  // namespace PLC_Lib3
