// Code page 437: the glyph of every one of the 256 character codes, as Unicode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace console {

char32_t Cp437ToUnicode(std::uint8_t code);
// The code whose glyph is this character, if any.
std::optional<std::uint8_t> UnicodeToCp437(char32_t ch);
void AppendUtf8(std::string& out, char32_t ch);

}  // namespace console
