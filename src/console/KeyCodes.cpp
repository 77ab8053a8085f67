#include "console/KeyCodes.h"

#include <array>
#include <cstring>

namespace console {
namespace {

struct Codes {
  std::uint8_t plain, shift, ctrl, alt;  // 0: the PC keyboard has no code
};

// In the order of NamedKey.
constexpr std::array<Codes, 23> kCodes = {{
    {72, 72, 141, 152},  // Up
    {80, 80, 145, 160},  // Down
    {75, 75, 115, 155},  // Left
    {77, 77, 116, 157},  // Right
    {71, 71, 119, 151},  // Home
    {79, 79, 117, 159},  // End
    {73, 73, 132, 153},  // PgUp
    {81, 81, 118, 161},  // PgDn
    {82, 82, 146, 162},  // Ins
    {83, 83, 147, 163},  // Del
    {59, 84, 94, 104},   // F1 .. F10 follow on
    {60, 85, 95, 105},    {61, 86, 96, 106},    {62, 87, 97, 107},  {63, 88, 98, 108},
    {64, 89, 99, 109},    {65, 90, 100, 110},   {66, 91, 101, 111}, {67, 92, 102, 112},
    {68, 93, 103, 113},   {133, 135, 137, 139},  // F11
    {134, 136, 138, 140},                        // F12
    {15, 15, 0, 0},                              // Shift+Tab
}};

// Alt with the letters, by keyboard row, and with the digit row.
constexpr const char* kAltLetters = "QWERTYUIOPASDFGHJKLZXCVBNM";
constexpr std::array<std::uint8_t, 26> kAltLetterCodes = {16, 17, 18, 19, 20, 21, 22, 23, 24,
                                                          25, 30, 31, 32, 33, 34, 35, 36, 37,
                                                          38, 44, 45, 46, 47, 48, 49, 50};
constexpr const char* kAltDigits = "1234567890-=";  // 120 .. 131
// The rest of the printable keys, shifted or not, by the code of their key.
constexpr struct {
  const char* keys;
  std::uint8_t code;
} kAltOthers[] = {{" ", 57},   {"!", 120}, {"@", 121}, {"#", 122}, {"$", 123},  {"%", 124},
                  {"^", 125},  {"&", 126}, {"*", 127}, {"(", 128}, {")", 129},  {"_", 130},
                  {"+", 131},  {"[{", 26}, {"]}", 27}, {";:", 39}, {"'\"", 40}, {"`~", 41},
                  {"\\|", 43}, {",<", 51}, {".>", 52}, {"/?", 53}};

}  // namespace

std::optional<std::uint8_t> PcCode(NamedKey key, Modifiers mods) {
  const Codes& c = kCodes[static_cast<std::size_t>(key)];
  std::uint8_t code = mods.alt ? c.alt : mods.ctrl ? c.ctrl : mods.shift ? c.shift : c.plain;
  if (code == 0) return std::nullopt;
  return code;
}

std::optional<std::uint8_t> AltCode(char key) {
  if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  if (key == '\0') return std::nullopt;
  if (const char* p = std::strchr(kAltLetters, key)) {
    return kAltLetterCodes[static_cast<std::size_t>(p - kAltLetters)];
  }
  if (const char* p = std::strchr(kAltDigits, key)) {
    return static_cast<std::uint8_t>(120 + (p - kAltDigits));
  }
  for (const auto& o : kAltOthers) {
    if (std::strchr(o.keys, key) != nullptr) return o.code;
  }
  return std::nullopt;
}

}  // namespace console
