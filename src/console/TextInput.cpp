#include "console/TextInput.h"

#include <string>

#include "console/KeyCodes.h"

namespace console {
namespace {

constexpr std::size_t kMaxNumberText = 32;

// Shows a typed character: a control character stands in its cell as a blank.
void Echo(Console& con, std::uint8_t k) {
  con.Write(Char{k < 32 ? std::uint8_t{' '} : k});
}

}  // namespace

std::string ReadLine(Console& con) {
  std::string line;
  for (;;) {
    std::uint8_t k = con.ReadKey();
    if (k == kKeyEnter) {
      con.Write("\r\n");
      return line;
    }
    if (k == 0) {
      con.ReadKey();  // the code of an extended key: no text
    } else if (k == kKeyBackspace) {
      if (!line.empty()) {
        line.pop_back();
        con.Write(Char{kKeyBackspace}, " ", Char{kKeyBackspace});
      }
    } else if (line.size() < 255) {
      line += static_cast<char>(k);
      Echo(con, k);
    }
  }
}

std::int32_t ReadInteger(Console& con, const IntConverter& convert,
                         std::optional<std::string_view> typed) {
  for (;;) {
    std::string line;
    if (typed) {
      line = *typed;
      for (char c : line) Echo(con, static_cast<std::uint8_t>(c));
      con.Write("\r\n");
      typed.reset();
    } else {
      line = ReadLine(con);
    }
    auto above_blank = [&](std::size_t i) { return static_cast<unsigned char>(line[i]) > ' '; };
    std::size_t start = 0;
    while (start < line.size() && !above_blank(start)) ++start;
    if (start == line.size()) continue;
    std::size_t end = start;
    while (end < line.size() && above_blank(end)) ++end;
    std::int32_t value = 0;
    // A longer run is refused, not cut: its first 32 characters are a number the operator
    // never typed.
    if (end - start > kMaxNumberText ||
        !convert(std::string_view(line).substr(start, end - start), value)) {
      throw FatalError(kInvalidNumericInput, "Invalid numeric input");
    }
    return value;
  }
}

}  // namespace console
