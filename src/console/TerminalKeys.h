// The console's key input on a terminal: bytes from a source, each with the time it
// arrived, decoded into key codes. Only bytes that really came together make a sequence
// or an Alt key, however late they are polled. A lone ESC is only known once its wait has
// passed, so the key poll waits that long (25 ms at most) when one is pending: a flush
// then drops it with the keys typed before, and an ESC typed during a transaction is seen
// by the next poll.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/KeyDecoder.h"

namespace console {

class TerminalKeys {
 public:
  using TimePoint = KeyDecoder::TimePoint;

  class Source {
   public:
    using TimePoint = KeyDecoder::TimePoint;
    virtual ~Source() = default;
    // Bytes as they arrived together.
    struct Chunk {
      TimePoint at;
      std::string bytes;
    };
    virtual TimePoint Now() = 0;
    // Appends the chunks that have come, waiting for one until `until` at the latest
    // (not at all when it has passed). False once the input has ended.
    virtual bool Read(std::vector<Chunk>& chunks, TimePoint until) = 0;
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
