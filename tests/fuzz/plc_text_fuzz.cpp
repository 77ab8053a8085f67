// The "-" rule, reply cleaning and the timer field on any bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "PLC_Lib3/PLC_Lib3.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  console::ShortString command(bytes);
  console::ShortString sent = PLC_Lib3::ApplyMinusRule(command);
  bool had_minus = command.view().find('-') != std::string_view::npos;
  // Everything after the first "-" becomes one unsigned number: no "-" is left.
  if (had_minus && sent.view().find('-') != std::string_view::npos) std::abort();
  if (!had_minus && !(sent == command)) std::abort();
  std::size_t n = size < 50 ? size : 50;
  console::ShortString reply = PLC_Lib3::CleanReply(reinterpret_cast<const char*>(data), n);
  if (reply.size() != (n >= 2 ? n - 2 : n)) std::abort();
  if (PLC_Lib3::TimerField(command).size() > command.size()) std::abort();
  return 0;
}
