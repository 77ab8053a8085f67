// The console's key input on a terminal: bytes from a source, decoded into key codes.
// A lone ESC is only known once its wait has passed, so the key poll waits that long
// (25 ms at most) when one is pending: a flush then drops it with the keys typed before,
// and an ESC typed during a transaction is seen by the next poll.
#pragma once

#include <cstdint>
#include <string>

#include "console/KeyDecoder.h"

namespace console {

class TerminalKeys {
 public:
  using TimePoint = KeyDecoder::TimePoint;

  class Source {
   public:
    using TimePoint = KeyDecoder::TimePoint;
    virtual ~Source() = default;
    virtual TimePoint Now() = 0;
    // Appends the bytes that have come, waiting for some until `until` at the latest
    // (not at all when it has passed). False once the input has ended.
    virtual bool Read(std::string& bytes, TimePoint until) = 0;
  };

  explicit TerminalKeys(Source& source) : source_(source) {}

  // True while a key waits; consumes no key.
  bool KeyPressed();
  // Waits for a key; FatalError kInputClosed once the input has ended and no key is left.
  std::uint8_t ReadKey();
  // Whether the ESC key waits; takes in what has come, waits for nothing.
  bool StopPending();

 private:
  void Pump(TimePoint until);

  Source& source_;
  KeyDecoder decoder_;
  bool ended_ = false;
};

}  // namespace console
