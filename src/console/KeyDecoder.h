// Turns the bytes a terminal sends into the console's key codes: printable characters as
// they are, Enter as 13, Backspace as 8, a lone ESC as 27, and the VT sequences of the
// cursor, editing and function keys (with their modifiers) and Alt plus any printable key
// as 0 followed by the PC code. An unknown sequence is swallowed whole. Time is passed
// in, so no test has to wait. One state per stage of an escape sequence.
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
  // Whether the ESC key waits among the decoded keys.
  bool HoldsEscKey(TimePoint now);
  // When a sequence in progress will be resolved by time alone.
  std::optional<TimePoint> Deadline() const;
  // No more bytes will come: a sequence in progress is resolved now.
  void Finish();

 private:
  enum class State {
    kGround,         // between keys
    kEscape,         // after ESC
    kCsi,            // after ESC [, gathering parameters
    kSs3,            // after ESC O
    kLinuxFunction,  // after ESC [ [
  };
  void Expire(TimePoint now);
  void FinishCsi(char final_byte);
  void Alt(char key);
  void Extended(std::optional<NamedKey> key, Modifiers mods);
  void Plain(std::uint8_t byte);

  std::deque<std::uint8_t> out_;
  State state_ = State::kGround;
  std::string params_;     // of a CSI sequence
  TimePoint seq_start_{};  // when its ESC came
  char32_t utf8_ = 0;
  int utf8_left_ = 0;
};

}  // namespace console
