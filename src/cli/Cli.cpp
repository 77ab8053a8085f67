#include "cli/Cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cli {
namespace {

const Option* Find(const std::vector<Option>& options, const std::string& name) {
  for (const Option& o : options) {
    if (o.name != nullptr && name == o.name) return &o;
  }
  return nullptr;
}

// An option's name and value as the usage text lists them.
std::string Left(const Option& o) {
  return std::string("  ") + o.name + (o.arg != nullptr ? std::string(" ") + o.arg : "");
}

}  // namespace

Line Read(const Program& program, const std::vector<std::string>& argv,
          const std::vector<Option>& options) {
  Line line;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    std::string a = argv[i];
    std::string why;
    if (!a.starts_with("-") || a == "-") {
      if (!program.operand) {
        line.error = "unexpected argument " + a;
        return line;
      }
      if (!program.operand(a, why)) {
        line.error = why;
        return line;
      }
      continue;
    }
    std::optional<std::string> value;
    if (std::size_t eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
    }
    if (a == "--help" || a == "-h" || a == "--version") {
      if (value) {
        line.error = "option " + a + " takes no value";
        return line;
      }
      (a == "--version" ? line.version : line.help) = true;
      continue;
    }
    const Option* o = Find(options, a);
    if (o == nullptr) {
      line.error = "unknown option " + a;
      return line;
    }
    if (o->needs == nullptr) {
      if (value) {
        line.error = "option " + a + " takes no value";
        return line;
      }
    } else {
      if (!value && i + 1 < argv.size()) value = argv[++i];
      if (!value || value->empty()) {
        line.error = "option " + a + " needs " + o->needs;
        return line;
      }
    }
    if (!o->take(value.value_or(""), why)) {
      line.error =
          "option " + a + ": " + (why.empty() ? "'" + *value + "' is not " + o->needs : why);
      return line;
    }
  }
  return line;
}

std::string Usage(const Program& program, const std::vector<Option>& options) {
  // The lines begin at the program's column; those of options too long for it, all at one
  // column further on.
  std::size_t long_column = 0;
  for (const Option& o : options) {
    if (o.name != nullptr && o.help != nullptr && Left(o).size() + 2 > program.column)
      long_column = std::max(long_column, Left(o).size() + 2);
  }
  std::string out = program.head;
  for (const Option& o : options) {
    if (o.help == nullptr) continue;
    if (o.name == nullptr) {
      out += std::string(o.help) + "\n";
      continue;
    }
    std::string left = Left(o);
    left.resize(left.size() + 2 <= program.column ? program.column : long_column, ' ');
    // A line of help that goes on is indented to the help's column.
    for (const char* h = o.help; *h != '\0';) {
      const char* nl = std::strchr(h, '\n');
      std::size_t n = nl != nullptr ? static_cast<std::size_t>(nl - h) : std::strlen(h);
      out += left + std::string(h, n) + "\n";
      left.assign(program.column, ' ');
      h += n + (nl != nullptr ? 1 : 0);
    }
  }
  out += std::string("  --help").append(program.column - 8, ' ') + "this text\n";
  out += std::string("  --version").append(program.column - 11, ' ') + "the version of " +
         program.name + "\n";
  return out + program.tail;
}

std::optional<int> Answer(const Program& program, const std::vector<Option>& options,
                          const Line& line) {
  if (!line.error.empty()) return Refuse(program.name, line.error, program.hint);
  if (line.help) {
    std::fputs(Usage(program, options).c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("%s %s\n", program.name, program.version);
    return 0;
  }
  return std::nullopt;
}

int Refuse(const char* program, const std::string& why, const char* hint) {
  std::fprintf(stderr, "%s: %s\n%s", program, why.c_str(), hint);
  return 2;
}

Take Store(std::string& to) {
  return [&to](const std::string& v, std::string&) {
    to = v;
    return true;
  };
}

Take Append(std::vector<std::string>& to) {
  return [&to](const std::string& v, std::string&) {
    to.push_back(v);
    return true;
  };
}

Take Set(bool& to, bool value) {
  return [&to, value](const std::string&, std::string&) {
    to = value;
    return true;
  };
}

}  // namespace cli
