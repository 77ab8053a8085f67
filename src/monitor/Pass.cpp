#include "monitor/Pass.h"

#include "console/Format.h"

namespace monitor {

std::string Text(const Value& v) {
  if (!v.read()) return "";
  if (v.decimals == 0) return console::FormatInt(static_cast<std::int64_t>(v.number));
  return console::FormatReal(v.number, 0, v.decimals);
}

logformat::LogRow LogFields(const Pass& pass) {
  logformat::LogRow row;
  row.port = pass.port;
  row.variant = pass.variant_known ? pass.variant : 0;
  for (std::size_t i = 0; i < pass.values.size(); ++i) row.fields[i] = Text(pass.values[i]);
  return row;
}

}  // namespace monitor
