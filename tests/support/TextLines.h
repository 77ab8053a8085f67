// A text's lines, each with its line end, as a test changes a file line by line.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t nl = text.find('\n', at);
    nl = nl == std::string::npos ? text.size() : nl + 1;
    out.push_back(text.substr(at, nl - at));
    at = nl;
  }
  return out;
}
