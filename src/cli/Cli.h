// One way to read a command line for every climon program: "--opt value" and
// "--opt=value" alike, the same refusals in the same words. Each program lists its options
// once, in a table whose entries carry what they do with their value and the line of the
// usage text that tells it: the table is the parser, the usage and the refusals.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// What an option does with its value ("" for one that takes none): true when it is taken;
// false to refuse it, with `why` the words after "option --x: " (empty: "'VALUE' is not"
// and what the option needs).
using Take = std::function<bool(const std::string& value, std::string& why)>;

struct Option {
  const char* name;   // "--port", "-o"; null: a heading of the usage text (`help`)
  const char* needs;  // what its value is ("a port number"); null: it takes none
  Take take;
  const char* arg = nullptr;   // the value's name in the usage text ("N")
  const char* help = nullptr;  // its line in the usage text; null: not listed
};

struct Program {
  const char* name;  // "climon-plot"
  const char* version;
  const char* head;         // the usage text before the options' list
  const char* tail;         // and after it
  const char* hint;         // the usage line said after a refusal
  Take operand;             // what is done with each argument that is not an option; null: refused
  std::size_t column = 18;  // where the options' lines of the usage text begin
};

// A command line read: --help (-h) and --version are answered by Answer; anything else was
// handed to the options. `error` is the one-line refusal, empty when the line is good.
struct Line {
  bool help = false, version = false;
  std::string error;
};

// Reads `argv` through `options`, in order, until one is refused. Refused: an unknown
// option, an option without the value it needs or with an empty one ("option --port needs
// a port number"), a value given to an option that takes none, a value its option does not
// take, and an operand where the program takes none. "-" alone is an operand.
Line Read(const Program& program, const std::vector<std::string>& argv,
          const std::vector<Option>& options);

// The usage text: the head, each listed option with its line, --help and --version, the
// tail.
std::string Usage(const Program& program, const std::vector<Option>& options);

// The exit status when the program ends with its command line: 0 after --help (the usage
// on stdout) or --version, 2 after a refusal; nothing when it goes on.
std::optional<int> Answer(const Program& program, const std::vector<Option>& options,
                          const Line& line);

// "PROGRAM: WHY" on stderr, then the hint (the usage line); the status of a refused
// command line, 2.
int Refuse(const char* program, const std::string& why, const char* hint);

// A Take that stores the value as it is.
Take Store(std::string& to);
// A Take that appends the value.
Take Append(std::vector<std::string>& to);
// A Take for an option without a value that sets `to`.
Take Set(bool& to, bool value = true);

}  // namespace cli
