// Reading one integer from the console's text input, as the port prompt does.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/Console.h"
#include "console/FatalError.h"

namespace console {

// Gives the value and true when the whole text is a number.
using IntConverter = std::function<bool(std::string_view, std::int32_t&)>;

// Echoed line input with Backspace. Blanks, control characters and empty lines are
// skipped; the next run of characters above the blank is the number's text, which must
// have at most 32 characters and convert whole, otherwise FatalError 106 "Invalid numeric
// input". The rest of that line is dropped. A `typed` line is taken as if it had been
// typed and echoed, so the screen is the same as for the operator's entry.
std::int32_t ReadInteger(Console& con, const IntConverter& convert,
                         std::optional<std::string_view> typed = std::nullopt);

// One echoed input line (without its end), at most 255 characters. A control character
// is kept in the line and shown as a blank.
std::string ReadLine(Console& con);

}  // namespace console
