#include "console/TextInput.h"

#include <string>

namespace console {

std::string ReadLine(Console& con) {
  std::string line;
  for (;;) {
    std::uint8_t k = con.ReadKey();
    if (k == 13) {
      con.Write("\r\n");
      return line;
    }
    if (k == 0) {
      con.ReadKey();  // the scan code of an extended key: no text
    } else if (k == 8) {
      if (!line.empty()) {
        line.pop_back();
        con.Write(Char{8}, " ", Char{8});
      }
    } else if (k >= 32 && line.size() < 255) {
      line += static_cast<char>(k);
      con.Write(Char{k});
    }
  }
}

std::int32_t ReadInteger(Console& con, const IntConverter& convert) {
  for (;;) {
    std::string line = ReadLine(con);
    std::size_t start = 0;
    while (start < line.size() && static_cast<unsigned char>(line[start]) <= ' ') ++start;
    if (start == line.size()) continue;
    std::size_t end = start;
    while (end < line.size() && end - start < 32 && static_cast<unsigned char>(line[end]) > ' ') {
      ++end;
    }
    std::int32_t value = 0;
    if (!convert(std::string_view(line).substr(start, end - start), value)) {
      throw FatalError(kInvalidNumericInput, "Invalid numeric input");
    }
    return value;
  }
}

}  // namespace console
