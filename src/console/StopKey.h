// A request to stop from outside (a signal, a service stop, a closed console window) typed
// as the ESC key, so that the program ends exactly as an operator's ESC ends it. It stays a
// key that waits, so that no flush of the typed keys loses it; right after it was read, one
// look finds none, so that a flush comes to an end.
#pragma once

#include <cstdint>
#include <utility>

#include "console/KeyCodes.h"

namespace console {

class StopKey {
 public:
  bool Pressed() { return !std::exchange(just_read_, false); }
  std::uint8_t Read() {
    just_read_ = true;
    return kKeyEsc;
  }

 private:
  bool just_read_ = false;
};

}  // namespace console
