// The key events of a Windows console's input (a virtual key, a scan code, a character
// and the state of the control keys) as the console's key codes. Plain numbers, so that
// the mapping is tested on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace console {

struct KeyRecord {
  bool down = true;
  std::uint16_t virtual_key = 0, scan_code = 0;
  char16_t ch = 0;
  std::uint32_t control_state = 0;
  std::uint16_t repeat = 1;
};

// The control-key state bits and the virtual keys that matter here.
namespace win {
inline constexpr std::uint32_t kRightAlt = 0x01, kLeftAlt = 0x02, kRightCtrl = 0x04,
                               kLeftCtrl = 0x08, kShift = 0x10, kEnhanced = 0x100;
inline constexpr std::uint16_t kVkBack = 0x08, kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B,
                               kVkF1 = 0x70, kVkOemPlus = 0xBB, kVkOemMinus = 0xBD;
}  // namespace win

// The codes a key event gives, in order (an extended key as 0 and its PC code); nothing
// for a key release or a modifier alone.
std::basic_string<std::uint8_t> KeyCodesFor(const KeyRecord& r);

}  // namespace console
