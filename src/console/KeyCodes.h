// The console's key codes: a character key gives its code-page-437 code; an extended key
// gives 0 and then one of the PC keyboard codes below. Every input path (the VT decoder
// and the Windows console's key events) names its keys here, so that both give the same
// codes for the same key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace console {

inline constexpr std::uint8_t kKeyEsc = 27, kKeyEnter = 13, kKeyBackspace = 8, kKeyTab = 9;
// What a character with no code-page-437 code is typed as: no number contains it.
inline constexpr std::uint8_t kKeyNoCode = '?';

enum class NamedKey {
  kUp,
  kDown,
  kLeft,
  kRight,
  kHome,
  kEnd,
  kPgUp,
  kPgDn,
  kIns,
  kDel,
  kF1,
  kF2,
  kF3,
  kF4,
  kF5,
  kF6,
  kF7,
  kF8,
  kF9,
  kF10,
  kF11,
  kF12,
  kBackTab,  // Shift+Tab
};

struct Modifiers {
  bool shift = false, ctrl = false, alt = false;
};

// The PC code of a cursor, editing or function key with its modifiers (Alt before Ctrl
// before Shift when several are held); none where the PC keyboard has no code for it.
std::optional<std::uint8_t> PcCode(NamedKey key, Modifiers mods = {});

// The PC code of Alt with a printable key (a letter in either case, a digit, a blank or a
// punctuation mark, shifted or not); none for others.
std::optional<std::uint8_t> AltCode(char key);

// Whether the ESC key waits among key codes in their order (an extended key's second
// code, such as Alt+]'s 27, is not the ESC key).
template <typename Codes>
bool HoldsEscKey(const Codes& codes) {
  for (std::size_t i = 0; i < codes.size(); i += codes[i] == 0 ? 2 : 1) {
    if (codes[i] == kKeyEsc) return true;
  }
  return false;
}

}  // namespace console
