// A length-prefixed text of at most 255 characters held in place, as the controller
// protocol, the key line and the labels use it. Appending to a full one drops the
// new characters, so no caller can overrun it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace console {

class ShortString {
 public:
  static constexpr std::size_t kMax = 255;

  ShortString() = default;
  ShortString(std::string_view s) { Assign(s); }  // NOLINT: converting on purpose
  ShortString(const char* s) : ShortString(std::string_view(s)) {}

  std::size_t size() const { return len_; }
  bool empty() const { return len_ == 0; }
  std::string_view view() const { return {chars_.data(), len_}; }
  std::string str() const { return std::string(view()); }
  operator std::string_view() const { return view(); }

  // 1-based like the rest of the system; any position of the buffer can be read,
  // also past the length (a flushed buffer holds 0 there).
  char At(std::size_t pos) const { return pos >= 1 && pos <= kMax ? chars_[pos - 1] : '\0'; }

  void Assign(std::string_view s) {
    len_ = static_cast<std::uint8_t>(s.size() < kMax ? s.size() : kMax);
    for (std::size_t i = 0; i < len_; ++i) chars_[i] = s[i];
  }
  void Append(char c) {
    if (len_ < kMax) chars_[len_++] = c;
  }
  void Append(std::string_view s) {
    for (char c : s) Append(c);
  }
  void RemoveLast() {
    if (len_ > 0) --len_;
  }
  // Keeps the first n characters (n above the length changes nothing).
  void Truncate(std::size_t n) {
    if (n < len_) len_ = static_cast<std::uint8_t>(n);
  }
  // Removes count characters from 1-based position pos (fewer when the text is shorter).
  void Delete(std::size_t pos, std::size_t count) {
    if (pos < 1 || pos > len_) return;
    std::size_t from = pos - 1;
    std::size_t n = count < len_ - from ? count : len_ - from;
    for (std::size_t i = from; i + n < len_; ++i) chars_[i] = chars_[i + n];
    len_ = static_cast<std::uint8_t>(len_ - n);
  }
  void Clear() { len_ = 0; }
  // Empties the text and zeroes every byte of the buffer.
  void Zero() {
    len_ = 0;
    chars_.fill('\0');
  }

  friend bool operator==(const ShortString& a, const ShortString& b) {
    return a.view() == b.view();
  }
  friend bool operator==(const ShortString& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const ShortString& a, const char* b) { return a.view() == b; }

 private:
  std::uint8_t len_ = 0;
  std::array<char, kMax> chars_{};
};

// Upper case for 'a' to 'z' only, as the console's key handling expects.
inline char UpCase(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace console
