#include "console/KeyDecoder.h"

#include <cstdlib>

#include "console/Cp437.h"
#include "console/KeyCodes.h"

namespace console {
namespace {

// The final letter of "ESC [ ..." and "ESC O ..." sequences.
std::optional<NamedKey> KeyForLetter(char c) {
  switch (c) {
    case 'A':
      return NamedKey::kUp;
    case 'B':
      return NamedKey::kDown;
    case 'C':
      return NamedKey::kRight;
    case 'D':
      return NamedKey::kLeft;
    case 'H':
      return NamedKey::kHome;
    case 'F':
      return NamedKey::kEnd;
    case 'P':
      return NamedKey::kF1;
    case 'Q':
      return NamedKey::kF2;
    case 'R':
      return NamedKey::kF3;
    case 'S':
      return NamedKey::kF4;
    case 'Z':
      return NamedKey::kBackTab;
    default:
      return std::nullopt;
  }
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
  // seq_ holds ESC '[' and the parameter bytes: "n" or "n;m" (m: the modifiers).
  std::string params = seq_.substr(2);
  seq_.clear();
  if (!params.empty() && (params[0] < '0' || params[0] > ';')) return;  // private forms
  int n = std::atoi(params.c_str());
  std::size_t semi = params.find(';');
  Modifiers mods =
      semi == std::string::npos ? Modifiers{} : ModifiersFor(std::atoi(params.c_str() + semi + 1));
  Extended(final_byte == '~' ? KeyForTilde(n) : KeyForLetter(final_byte), mods);
}

void KeyDecoder::Feed(std::uint8_t byte, TimePoint now) {
  Expire(now);
  if (seq_.empty()) {
    if (byte == kKeyEsc) {
      utf8_left_ = 0;
      seq_.assign(1, '\x1b');
      seq_start_ = now;
    } else {
      Plain(byte);
    }
    return;
  }
  char c = static_cast<char>(byte);
  if (seq_ == "\x1b") {
    if (c == '[' || c == 'O') {
      seq_ += c;
    } else if (auto alt = AltCode(c)) {
      // A terminal sends Alt plus a key as ESC and the key in one burst.
      seq_.clear();
      out_.push_back(0);
      out_.push_back(*alt);
    } else {
      // ESC then another key: the ESC key, and the byte as itself.
      seq_.clear();
      out_.push_back(kKeyEsc);
      Feed(byte, now);
    }
    return;
  }
  if (byte == kKeyEsc || byte < 0x20) {
    // A broken sequence is dropped; the byte begins anew.
    seq_.clear();
    Feed(byte, now);
    return;
  }
  if (seq_[1] == 'O') {
    seq_.clear();
    Extended(KeyForLetter(c), {});
    return;
  }
  // CSI: ESC [ parameters and intermediates, then a final byte.
  if (seq_ == "\x1b[" && c == '[') {  // the Linux console's F1 to F5: ESC [ [ A..E
    seq_ += c;
    return;
  }
  if (seq_ == "\x1b[[") {
    seq_.clear();
    if (c >= 'A' && c <= 'E')
      Extended(static_cast<NamedKey>(static_cast<int>(NamedKey::kF1) + (c - 'A')), {});
    return;
  }
  if (byte >= 0x20 && byte <= 0x3F) {
    if (seq_.size() < 32) {
      seq_ += c;
    } else {
      seq_.clear();
    }
    return;
  }
  if (byte >= 0x40 && byte <= 0x7E) {
    FinishCsi(c);
    return;
  }
  seq_.clear();  // DEL or a byte above 127 inside a sequence: dropped with it
}

void KeyDecoder::Expire(TimePoint now) {
  if (seq_.empty() || now - seq_start_ < kEscWait) return;
  if (seq_ == "\x1b") {
    out_.push_back(kKeyEsc);
  } else if (seq_ == "\x1bO") {
    out_.push_back(0);  // Alt+O: its ESC O is the start of a sequence that never came
    out_.push_back(*AltCode('O'));
  }
  seq_.clear();  // an unfinished longer sequence is swallowed
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

std::optional<KeyDecoder::TimePoint> KeyDecoder::Deadline() const {
  if (seq_.empty()) return std::nullopt;
  return seq_start_ + kEscWait;
}

}  // namespace console
