#include "markup/Markup.h"

#include <cstdio>
#include <cstring>

namespace markup {

namespace {

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character that starts at text[i] and its length; 0 for a byte that starts no valid
// UTF-8 sequence (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t Decode(std::string_view text, std::size_t i, char32_t& c) {
  const auto b = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = b(i);
  std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (lead >= 0xF5 || n == 0 || i + n > text.size()) return 0;
  c = lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b(i + k) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

bool Bidirectional(char32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string Visible(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b >= 0x80) {
      char32_t c = 0;
      const std::size_t n = Decode(text, i, c);
      if (n == 0) {
        PutUtf8(out, 0xFFFD);  // not UTF-8: the replacement character
        ++i;
        continue;
      }
      if (Bidirectional(c) || c < 0xA0) {
        // Shown as its code, never applied: an override would turn the text it precedes.
        char code[16];
        std::snprintf(code, sizeof code, "[U+%04X]", static_cast<unsigned>(c));
        out += code;
      } else {
        out.append(text.substr(i, n));
      }
      i += n;
      continue;
    }
    ++i;
    if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) {
      // A control character as its picture (NUL as U+2400), DEL as U+2421.
      PutUtf8(out, b == 0x7F ? 0x2421 : 0x2400 + b);
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

std::string Escaped(std::string_view text) {
  const std::string shown = Visible(text);
  std::string out;
  out.reserve(shown.size());
  for (char c : shown) {
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

std::string CssString(std::string_view text) {
  std::string out = "\"";
  for (char c : Visible(text)) {
    if (std::strchr("\"\\<>&\t\n\r", c) != nullptr && c != 0) {
      char code[16];
      std::snprintf(code, sizeof code, "\\%06X", static_cast<unsigned>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out + "\"";
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
