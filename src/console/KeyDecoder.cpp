#include "console/KeyDecoder.h"

#include <cstdlib>

#include "console/Console.h"
#include "console/Cp437.h"

namespace console {
namespace {

std::optional<std::uint8_t> ScanForLetter(char c) {
  switch (c) {
    case 'A':
      return scan::kUp;
    case 'B':
      return scan::kDown;
    case 'C':
      return scan::kRight;
    case 'D':
      return scan::kLeft;
    case 'H':
      return scan::kHome;
    case 'F':
      return scan::kEnd;
    case 'P':
      return scan::kF1;
    case 'Q':
      return static_cast<std::uint8_t>(scan::kF1 + 1);
    case 'R':
      return static_cast<std::uint8_t>(scan::kF1 + 2);
    case 'S':
      return static_cast<std::uint8_t>(scan::kF1 + 3);
    default:
      return std::nullopt;
  }
}

std::optional<std::uint8_t> ScanForTilde(int n) {
  switch (n) {
    case 1:
    case 7:
      return scan::kHome;
    case 2:
      return scan::kIns;
    case 3:
      return scan::kDel;
    case 4:
    case 8:
      return scan::kEnd;
    case 5:
      return scan::kPgUp;
    case 6:
      return scan::kPgDn;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return static_cast<std::uint8_t>(scan::kF1 + (n - 11));
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return static_cast<std::uint8_t>(scan::kF1 + 5 + (n - 17));
    case 23:
      return scan::kF11;
    case 24:
      return scan::kF12;
    default:
      return std::nullopt;
  }
}

}  // namespace

void KeyDecoder::Plain(std::uint8_t byte) {
  if (utf8_left_ > 0) {
    if ((byte & 0xC0) == 0x80) {
      utf8_ = (utf8_ << 6) | (byte & 0x3F);
      if (--utf8_left_ == 0) {
        if (auto code = UnicodeToCp437(utf8_)) out_.push_back(*code);
      }
      return;
    }
    utf8_left_ = 0;  // a broken character is dropped; this byte starts afresh
  }
  if (byte == 13 || byte == 10) {
    out_.push_back(13);
  } else if (byte == 127 || byte == 8) {
    out_.push_back(8);
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

void KeyDecoder::FinishCsi(char final_byte) {
  // seq_ holds ESC '[' and the parameter bytes.
  std::string params = seq_.substr(2);
  seq_.clear();
  if (!params.empty() && (params[0] < '0' || params[0] > ';')) return;  // private forms
  if (final_byte == '~') {
    if (auto s = ScanForTilde(std::atoi(params.c_str()))) Extended(*s);
    return;
  }
  if (auto s = ScanForLetter(final_byte)) Extended(*s);
}

void KeyDecoder::Feed(std::uint8_t byte, TimePoint now) {
  Expire(now);
  if (seq_.empty()) {
    if (byte == 27) {
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
    } else {
      // ESC then another key: the ESC key, and the byte as itself.
      seq_.clear();
      out_.push_back(27);
      Feed(byte, now);
    }
    return;
  }
  if (byte == 27 || byte < 0x20) {
    // A broken sequence is dropped; the byte begins anew.
    seq_.clear();
    Feed(byte, now);
    return;
  }
  if (seq_[1] == 'O') {
    seq_.clear();
    if (auto s = ScanForLetter(c)) Extended(*s);
    return;
  }
  // CSI: ESC [ parameters and intermediates, then a final byte.
  if (seq_ == "\x1b[" && c == '[') {  // the Linux console's F1 to F5: ESC [ [ A..E
    seq_ += c;
    return;
  }
  if (seq_ == "\x1b[[") {
    seq_.clear();
    if (c >= 'A' && c <= 'E') Extended(static_cast<std::uint8_t>(scan::kF1 + (c - 'A')));
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
  if (seq_ == "\x1b") out_.push_back(27);
  seq_.clear();  // an unfinished longer sequence is swallowed
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
