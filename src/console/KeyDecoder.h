// Turns the bytes a terminal sends into the console's key codes: printable characters as
// they are, Enter as 13, Backspace as 8, a lone ESC as 27, and the VT sequences of the
// cursor, editing and function keys (with their modifiers) and Alt plus a letter or digit
// as 0 followed by the PC code. An unknown sequence is swallowed whole. Time is passed
// in, so no test has to wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "console/KeyCodes.h"

namespace console {

class KeyDecoder {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  // How long an ESC waits for the rest of a sequence before it counts as the ESC key.
  static constexpr std::chrono::milliseconds kEscWait{25};

  void Feed(std::uint8_t byte, TimePoint now);
  // True while a key code waits (a lone ESC counts once its wait has passed).
  bool Ready(TimePoint now);
  std::optional<std::uint8_t> Next(TimePoint now);
  // When a sequence in progress will be resolved by time alone.
  std::optional<TimePoint> Deadline() const;
  // No more bytes will come: a sequence in progress is resolved now.
  void Finish();

 private:
  void Expire(TimePoint now);
  void FinishCsi(char final_byte);
  void Extended(std::optional<NamedKey> key, Modifiers mods);
  void Plain(std::uint8_t byte);

  std::deque<std::uint8_t> out_;
  std::string seq_;  // an escape sequence in progress, beginning with ESC
  TimePoint seq_start_{};
  char32_t utf8_ = 0;
  int utf8_left_ = 0;
};

}  // namespace console
