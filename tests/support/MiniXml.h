// Just enough XML for the tests of the trend chart: checks that a document is well formed
// (every element closed in order, attributes quoted, only the five entities) and lists its
// elements with their attributes.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace minixml {

struct Element {
  std::string name;
  std::map<std::string, std::string> attrs;
};

// The elements in document order; empty with `error` set when the text is not well formed.
inline std::vector<Element> Parse(const std::string& s, std::string& error) {
  std::vector<Element> out;
  std::vector<std::string> open;
  auto fail = [&](const std::string& why, std::size_t at) {
    error = why + " at " + std::to_string(at);
    out.clear();
    return out;
  };
  auto name_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == '_';
  };
  std::size_t i = 0;
  if (s.rfind("<?xml", 0) == 0) i = s.find("?>") + 2;
  while (i < s.size()) {
    if (s[i] == '&') {
      std::size_t semi = s.find(';', i);
      std::string ent = semi == std::string::npos ? "" : s.substr(i, semi - i + 1);
      if (ent != "&amp;" && ent != "&lt;" && ent != "&gt;" && ent != "&quot;" && ent != "&apos;")
        return fail("bad entity", i);
      i = semi + 1;
    } else if (s[i] != '<') {
      ++i;
    } else if (s.compare(i, 2, "</") == 0) {
      std::size_t end = s.find('>', i);
      if (end == std::string::npos || open.empty() || s.substr(i + 2, end - i - 2) != open.back())
        return fail("mismatched end tag", i);
      open.pop_back();
      i = end + 1;
    } else {
      Element e;
      std::size_t j = i + 1;
      while (j < s.size() && name_char(s[j])) e.name += s[j++];
      if (e.name.empty()) return fail("bad tag", i);
      for (;;) {
        while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
        if (j >= s.size()) return fail("unclosed tag", i);
        if (s[j] == '>' || s.compare(j, 2, "/>") == 0) break;
        std::string key;
        while (j < s.size() && name_char(s[j])) key += s[j++];
        if (key.empty() || j + 1 >= s.size() || s[j] != '=' || s[j + 1] != '"')
          return fail("bad attribute", j);
        std::size_t close = s.find('"', j + 2);
        if (close == std::string::npos) return fail("unclosed attribute", j);
        if (e.attrs.count(key)) return fail("repeated attribute", j);
        e.attrs[key] = s.substr(j + 2, close - j - 2);
        j = close + 1;
      }
      bool empty = s[j] == '/';
      if (!empty) open.push_back(e.name);
      out.push_back(e);
      i = j + (empty ? 2 : 1);
    }
  }
  if (!open.empty()) return fail("unclosed element " + open.back(), s.size());
  return out;
}

}  // namespace minixml
