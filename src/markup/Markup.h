// Markup written element by element for the chart's SVG and the report's HTML: text and
// attribute values are escaped here, once, so that no text from a file (a room's name, an
// audit trail's detail) can become markup.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace markup {

struct Attr {
  const char* name;
  std::string value;
};
using Attrs = std::initializer_list<Attr>;

// & < > and " as entities, and always valid UTF-8: a byte that is not UTF-8 becomes
// U+FFFD, a control character its picture (NUL as U+2400), and a C1 control or a
// bidirectional control (an override that would turn the text around) its code, "[U+202E]".
std::string Escaped(std::string_view text);
// The same text as valid UTF-8 with control and bidirectional characters made visible, the
// rest as it is.
std::string Visible(std::string_view text);
// The text as a quoted CSS string (for generated content), safe inside a <style> element.
std::string CssString(std::string_view text);

class Writer {
 public:
  explicit Writer(std::string prolog = "") : out_(std::move(prolog)) {}
  // <name a="v">; </name>; <name a="v"/> (XML's empty element).
  Writer& Open(const char* name, Attrs attrs = {});
  Writer& Close(const char* name);
  Writer& Empty(const char* name, Attrs attrs = {});
  // <name a="v">text</name>.
  Writer& Element(const char* name, Attrs attrs, std::string_view text);
  Writer& Text(std::string_view text);
  // Markup of the program's own, as it stands (a style sheet, a doctype).
  Writer& Raw(std::string_view markup);
  Writer& Line() { return Raw("\n"); }
  std::string Take() { return std::move(out_); }

 private:
  void Start(const char* name, Attrs attrs);
  std::string out_;
};

}  // namespace markup
