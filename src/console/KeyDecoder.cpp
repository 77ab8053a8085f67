#include "console/KeyDecoder.h"

#include <cstdlib>

#include "console/Cp437.h"
#include "console/KeyCodes.h"

namespace console {
namespace {

// The final letter of "ESC [ ..." and "ESC O ..." sequences.
std::optional<NamedKey> KeyForLetter(char c) {
  static constexpr struct {
    char letter;
    NamedKey key;
  } kLetters[] = {{'A', NamedKey::kUp},   {'B', NamedKey::kDown},   {'C', NamedKey::kRight},
                  {'D', NamedKey::kLeft}, {'H', NamedKey::kHome},   {'F', NamedKey::kEnd},
                  {'P', NamedKey::kF1},   {'Q', NamedKey::kF2},     {'R', NamedKey::kF3},
                  {'S', NamedKey::kF4},   {'Z', NamedKey::kBackTab}};
  for (const auto& l : kLetters) {
    if (l.letter == c) return l.key;
  }
  return std::nullopt;
}

// The number of "ESC [ n ~" sequences.
std::optional<NamedKey> KeyForTilde(int n) {
  static constexpr struct {
    int n;
    NamedKey key;
  } kTilde[] = {
      {1, NamedKey::kHome}, {2, NamedKey::kIns},  {3, NamedKey::kDel},  {4, NamedKey::kEnd},
      {5, NamedKey::kPgUp}, {6, NamedKey::kPgDn}, {7, NamedKey::kHome}, {8, NamedKey::kEnd},
      {11, NamedKey::kF1},  {12, NamedKey::kF2},  {13, NamedKey::kF3},  {14, NamedKey::kF4},
      {15, NamedKey::kF5},  {17, NamedKey::kF6},  {18, NamedKey::kF7},  {19, NamedKey::kF8},
      {20, NamedKey::kF9},  {21, NamedKey::kF10}, {23, NamedKey::kF11}, {24, NamedKey::kF12}};
  for (const auto& t : kTilde) {
    if (t.n == n) return t.key;
  }
  return std::nullopt;
}

// xterm's modifier parameter: 1 + Shift 1 + Alt 2 + Ctrl 4.
Modifiers ModifiersFor(int param) {
  int bits = param > 1 ? param - 1 : 0;
  return {(bits & 1) != 0, (bits & 4) != 0, (bits & 2) != 0};
}

}  // namespace

void KeyDecoder::Plain(std::uint8_t byte) {
  if (utf8_left_ > 0) {
    if ((byte & 0xC0) == 0x80) {
      utf8_ = (utf8_ << 6) | (byte & 0x3F);
      if (--utf8_left_ == 0) {
        // A character without a code is still a key: it must not vanish from what the
        // operator typed (a port number "€1" is not the number 1).
        out_.push_back(UnicodeToCp437(utf8_).value_or(kKeyNoCode));
      }
      return;
    }
    utf8_left_ = 0;  // a broken character is dropped; this byte starts afresh
  }
  if (byte == 13 || byte == 10) {
    out_.push_back(kKeyEnter);
  } else if (byte == 127 || byte == 8) {
    out_.push_back(kKeyBackspace);
  } else if (byte >= 0xC2 && byte <= 0xF4) {
    utf8_left_ = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : 1;
    utf8_ = byte & (byte >= 0xF0 ? 0x07 : byte >= 0xE0 ? 0x0F : 0x1F);
  } else if (byte > 0 && byte < 0x80) {
    out_.push_back(byte);
  }
  // A NUL (Ctrl-Space) is dropped: as a key it would read as the first half of an
  // extended key, and the reader would wait for a second code that never comes.
  // Other bytes above 127 cannot begin a character: dropped.
}

void KeyDecoder::Extended(std::optional<NamedKey> key, Modifiers mods) {
  if (!key) return;
  if (auto code = PcCode(*key, mods)) {
    out_.push_back(0);
    out_.push_back(*code);
  }
}

void KeyDecoder::FinishCsi(char final_byte) {
  // params_ holds "n" or "n;m" (m: the modifiers).
  state_ = State::kGround;
  if (!params_.empty() && (params_[0] < '0' || params_[0] > ';')) return;  // private forms
  int n = std::atoi(params_.c_str());
  std::size_t semi = params_.find(';');
  Modifiers mods =
      semi == std::string::npos ? Modifiers{} : ModifiersFor(std::atoi(params_.c_str() + semi + 1));
  Extended(final_byte == '~' ? KeyForTilde(n) : KeyForLetter(final_byte), mods);
}

void KeyDecoder::Alt(char key) {
  state_ = State::kGround;
  if (auto code = AltCode(key)) {
    out_.push_back(0);
    out_.push_back(*code);
  }
}

void KeyDecoder::Feed(std::uint8_t byte, TimePoint now) {
  Expire(now);
  const char c = static_cast<char>(byte);
  // Inside a sequence, ESC or a control byte breaks it off: dropped, and the byte begins
  // anew.
  if (state_ != State::kGround && state_ != State::kEscape && (byte == kKeyEsc || byte < 0x20)) {
    state_ = State::kGround;
    Feed(byte, now);
    return;
  }
  switch (state_) {
    case State::kGround:
      if (byte == kKeyEsc) {
        utf8_left_ = 0;
        state_ = State::kEscape;
        seq_start_ = now;
      } else {
        Plain(byte);
      }
      return;
    case State::kEscape:
      if (c == '[') {
        state_ = State::kCsi;
        params_.clear();
      } else if (c == 'O') {
        state_ = State::kSs3;
      } else if (byte >= 0x20 && byte < 0x7F) {
        Alt(c);  // a terminal sends Alt plus a key as ESC and the key in one burst
      } else if (byte == 127 || byte == 8 || byte == 13 || byte == 10 ||
                 (byte >= 0xC2 && byte <= 0xF4)) {
        // Alt with Backspace, Enter or a character beyond ASCII: that key alone, as the
        // Windows console gives it, never the ESC key.
        state_ = State::kGround;
        Plain(byte);
      } else {
        // ESC then another key: the ESC key, and the byte as itself.
        state_ = State::kGround;
        out_.push_back(kKeyEsc);
        Feed(byte, now);
      }
      return;
    case State::kSs3:
      state_ = State::kGround;
      Extended(KeyForLetter(c), {});
      return;
    case State::kLinuxFunction:  // the Linux console's F1 to F5: ESC [ [ A..E
      state_ = State::kGround;
      if (c >= 'A' && c <= 'E') {
        Extended(static_cast<NamedKey>(static_cast<int>(NamedKey::kF1) + (c - 'A')), {});
      }
      return;
    case State::kCsi:
      if (c == '[' && params_.empty()) {
        state_ = State::kLinuxFunction;
      } else if (byte >= 0x20 && byte <= 0x3F) {
        params_ += c;
        if (params_.size() > 32) state_ = State::kGround;  // no key is this long: dropped
      } else if (byte >= 0x40 && byte <= 0x7E) {
        FinishCsi(c);
      } else {
        state_ = State::kGround;  // DEL or a byte above 127 inside a sequence: dropped
      }
      return;
  }
}

void KeyDecoder::Expire(TimePoint now) {
  if (state_ == State::kGround || now - seq_start_ < kEscWait) return;
  // The start of a sequence that never came: ESC alone, or Alt with '[' or 'O'.
  if (state_ == State::kEscape) {
    out_.push_back(kKeyEsc);
  } else if (state_ == State::kSs3) {
    Alt('O');
  } else if (state_ == State::kCsi && params_.empty()) {
    Alt('[');
  }
  state_ = State::kGround;  // an unfinished longer sequence is swallowed
}

void KeyDecoder::Finish() {
  Expire(seq_start_ + kEscWait);
}

bool KeyDecoder::Ready(TimePoint now) {
  Expire(now);
  return !out_.empty();
}

std::optional<std::uint8_t> KeyDecoder::Next(TimePoint now) {
  if (!Ready(now)) return std::nullopt;
  std::uint8_t k = out_.front();
  out_.pop_front();
  return k;
}

bool KeyDecoder::HoldsEscKey(TimePoint now) {
  Expire(now);
  return console::HoldsEscKey(out_);
}

std::optional<KeyDecoder::TimePoint> KeyDecoder::Deadline() const {
  if (state_ == State::kGround) return std::nullopt;
  return seq_start_ + kEscWait;
}

}  // namespace console
