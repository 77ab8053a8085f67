// TextToInt on any text: it never fails to answer, and agrees with the library on plain
// decimal numbers.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "PLC_Lib3/TextToInt.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto r = PLC_Lib3::TextToInt(text);
  if (r.failure < 0 || static_cast<std::size_t>(r.failure) > size + 1) std::abort();
  bool digits = !text.empty() && text.size() <= 12;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  if (digits) {
    std::int64_t v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    bool fits = v <= 2147483647;
    if (fits != r.ok() || (fits && v != r.value)) std::abort();
  }
  return 0;
}
