// An input/output error that ends the program: the report and the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace console {

class FatalError : public std::runtime_error {
 public:
  FatalError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

inline constexpr int kInvalidNumericInput = 106;
// The console's input has ended (the terminal went away).
inline constexpr int kInputClosed = 1;

}  // namespace console
