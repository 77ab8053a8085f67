#include "cli/Cli.h"

#include <cstdio>
#include <optional>

namespace cli {

Parsed Parse(const std::vector<std::string>& argv, std::span<const Option> options, bool operands) {
  Parsed p;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    std::string a = argv[i];
    if (!a.starts_with("-") || a == "-") {
      if (!operands) {
        p.error = "unexpected argument " + a;
        return p;
      }
      p.args.push_back({"", a});
      continue;
    }
    std::optional<std::string> value;
    if (std::size_t eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
    }
    const Option* o = nullptr;
    for (const Option& known : options) {
      if (a == known.name) o = &known;
    }
    if (o == nullptr) {
      p.error = "unknown option " + a;
      return p;
    }
    if (o->needs == nullptr) {
      if (value) {
        p.error = "option " + a + " takes no value";
        return p;
      }
    } else if (!value) {
      if (i + 1 >= argv.size()) {
        p.error = "option " + a + " needs " + o->needs;
        return p;
      }
      value = argv[++i];
    }
    p.args.push_back({a, value.value_or("")});
  }
  return p;
}

int Refuse(const char* program, const std::string& why, const char* hint) {
  std::fprintf(stderr, "%s: %s\n%s", program, why.c_str(), hint);
  return 2;
}

}  // namespace cli
