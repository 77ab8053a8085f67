// Reading one integer from the console's text input, as the port prompt does.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "console/Console.h"

namespace console {

// An input/output error that ends the program: the report and the exit status.
class FatalError : public std::runtime_error {
 public:
  FatalError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

inline constexpr int kInvalidNumericInput = 106;

// Gives the value and true when the whole text is a number.
using IntConverter = std::function<bool(std::string_view, std::int32_t&)>;

// Echoed line input with Backspace. Blanks and empty lines are skipped; the next run of
// at most 32 characters above the blank must convert whole, otherwise FatalError 106
// "Invalid numeric input". The rest of that line is dropped.
std::int32_t ReadInteger(Console& con, const IntConverter& convert);

// One echoed input line (without its end), at most 255 characters.
std::string ReadLine(Console& con);

}  // namespace console
