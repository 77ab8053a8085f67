#include "markup/Markup.h"

namespace markup {

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void Writer::Start(const char* name, Attrs attrs) {
  out_ += '<';
  out_ += name;
  for (const Attr& a : attrs) {
    out_ += ' ';
    out_ += a.name;
    out_ += "=\"" + Escaped(a.value) + '"';
  }
}

Writer& Writer::Open(const char* name, Attrs attrs) {
  Start(name, attrs);
  out_ += '>';
  return *this;
}

Writer& Writer::Close(const char* name) {
  out_ += "</";
  out_ += name;
  out_ += '>';
  return *this;
}

Writer& Writer::Empty(const char* name, Attrs attrs) {
  Start(name, attrs);
  out_ += "/>";
  return *this;
}

Writer& Writer::Element(const char* name, Attrs attrs, std::string_view text) {
  return Open(name, attrs).Text(text).Close(name);
}

Writer& Writer::Text(std::string_view text) {
  out_ += Escaped(text);
  return *this;
}

Writer& Writer::Raw(std::string_view markup) {
  out_ += markup;
  return *this;
}

}  // namespace markup
