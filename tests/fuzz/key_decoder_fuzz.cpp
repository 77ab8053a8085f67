// The key decoder on any bytes at any times: every extended key is 0 and a scan code,
// and nothing stays pending once time has passed.
#include <cstdint>
#include <cstdlib>

#include "console/KeyDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  console::KeyDecoder d;
  console::KeyDecoder::TimePoint t{};
  bool expect_scan = false;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    t += std::chrono::milliseconds(data[i] % 40);  // gaps on both sides of the ESC wait
    d.Feed(data[i + 1], t);
    while (auto k = d.Next(t)) {
      if (expect_scan && *k == 0) std::abort();  // a scan code is never 0
      expect_scan = !expect_scan && *k == 0;
    }
  }
  t += std::chrono::seconds(1);
  while (auto k = d.Next(t)) expect_scan = !expect_scan && *k == 0;
  if (expect_scan || d.Deadline()) std::abort();
  return 0;
}
