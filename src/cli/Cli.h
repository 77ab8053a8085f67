// One way to read a command line for every climon program: "--opt value" and
// "--opt=value" alike, the same refusals in the same words. What a value means is the
// program's to check; reading files is not done here.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace cli {

struct Option {
  const char* name;   // "--port", "-o"
  const char* needs;  // what its value is ("a port number"); null: it takes none
};

// An option with its value, or an operand (name empty, the operand in value).
struct Arg {
  std::string name, value;
};

struct Parsed {
  std::vector<Arg> args;
  std::string error;  // the one-line refusal; empty when the line is good
};

// Refused: an unknown option, an option without the value it needs ("option --port needs
// a port number"), a value given to an option that takes none, and, unless `operands`,
// any argument that is not an option. "-" alone is an operand.
Parsed Parse(const std::vector<std::string>& argv, std::span<const Option> options, bool operands);

// "PROGRAM: WHY" on stderr, then the hint (the usage line); the status of a refused
// command line, 2.
int Refuse(const char* program, const std::string& why, const char* hint);

}  // namespace cli
