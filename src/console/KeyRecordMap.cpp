#include "console/KeyRecordMap.h"

#include <optional>

#include "console/Cp437.h"
#include "console/KeyCodes.h"

namespace console {
namespace {

std::optional<NamedKey> NamedForVirtualKey(std::uint16_t vk) {
  static constexpr struct {
    std::uint16_t vk;
    NamedKey key;
  } kKeys[] = {{0x21, NamedKey::kPgUp},  {0x22, NamedKey::kPgDn}, {0x23, NamedKey::kEnd},
               {0x24, NamedKey::kHome},  {0x25, NamedKey::kLeft}, {0x26, NamedKey::kUp},
               {0x27, NamedKey::kRight}, {0x28, NamedKey::kDown}, {0x2D, NamedKey::kIns},
               {0x2E, NamedKey::kDel}};
  for (const auto& k : kKeys) {
    if (k.vk == vk) return k.key;
  }
  if (vk >= win::kVkF1 && vk < win::kVkF1 + 12) {
    return static_cast<NamedKey>(static_cast<int>(NamedKey::kF1) + (vk - win::kVkF1));
  }
  return std::nullopt;
}

bool ModifierOnly(std::uint16_t vk) {
  // Shift, Ctrl, Alt, Pause, Caps Lock; the Windows and menu keys; Num and Scroll Lock;
  // the left and right Shift, Ctrl and Alt.
  return (vk >= 0x10 && vk <= 0x14) || (vk >= 0x5B && vk <= 0x5D) || vk == 0x90 || vk == 0x91 ||
         (vk >= 0xA0 && vk <= 0xA5);
}

// The key that Alt goes with, by its virtual key (not its character: Alt+K may come with
// 'k' or with nothing).
char AltKeyFor(std::uint16_t vk) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return static_cast<char>(vk);
  if (vk == win::kVkOemMinus) return '-';
  if (vk == win::kVkOemPlus) return '=';
  return '\0';
}

std::basic_string<std::uint8_t> OneKey(const KeyRecord& r) {
  using Codes = std::basic_string<std::uint8_t>;
  const std::uint32_t s = r.control_state;
  Modifiers mods{(s & win::kShift) != 0, (s & (win::kLeftCtrl | win::kRightCtrl)) != 0,
                 (s & (win::kLeftAlt | win::kRightAlt)) != 0};
  // ESC by its virtual key: some consoles report it with no character.
  if (r.virtual_key == win::kVkEscape) return Codes(1, kKeyEsc);
  if (r.virtual_key == win::kVkReturn) return Codes(1, kKeyEnter);  // the keypad's too
  if (r.virtual_key == win::kVkBack) return Codes(1, kKeyBackspace);
  if (r.virtual_key == win::kVkTab) {
    return mods.shift ? Codes{0, *PcCode(NamedKey::kBackTab)} : Codes(1, kKeyTab);
  }
  if (auto named = NamedForVirtualKey(r.virtual_key)) {
    if (auto code = PcCode(*named, mods)) return Codes{0, *code};
    return {};
  }
  // Alt without Ctrl: Ctrl+Alt is AltGr, which types a character of its own.
  if (mods.alt && !mods.ctrl) {
    if (auto code = AltCode(AltKeyFor(r.virtual_key))) return Codes{0, *code};
  }
  char16_t ch = r.ch;
  if (ch == 0 || (ch >= 0xDC00 && ch <= 0xDFFF)) return {};  // no character; a pair's second half
  if (ch < 0x80) return Codes(1, static_cast<std::uint8_t>(ch));
  return Codes(1, UnicodeToCp437(ch).value_or(kKeyNoCode));
}

}  // namespace

std::basic_string<std::uint8_t> KeyCodesFor(const KeyRecord& r) {
  if (!r.down || ModifierOnly(r.virtual_key)) return {};
  std::basic_string<std::uint8_t> one = OneKey(r), all;
  for (int i = 0; i < (r.repeat > 0 ? r.repeat : 1); ++i) all += one;
  return all;
}

}  // namespace console
