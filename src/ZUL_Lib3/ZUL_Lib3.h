// The command terminal: a centred framed window in which raw controller commands are
// typed and the raw replies shown, until ESC.
#pragma once

#include <functional>
#include <string_view>

#include <cstdint>

#include "PLC_Lib3/PLC_Lib3.h"

namespace ZUL_Lib3 {

using comLib3::ComLib3;

inline constexpr const char* kBanner = "*     TARVENA ZUL Terminal      *";
inline constexpr const char* kHeader = " Send           : Receive    /esc";
inline constexpr const char* kPromptTemplate = "                : <              ";

// Runs until ESC in the line editor; returns 27.
// Told of each line sent, with its reply as shown (for the audit trail).
using LineSent = std::function<void(std::string_view line, std::string_view reply)>;
int RunTerminal(ComLib3& com, std::int32_t port, const LineSent& sent = {});
// Shadow, box and inner window; leaves the inner window current, yellow on blue.
void OpenBoxWindow(ComLib3& com, int width);
void NewPromptLine(ComLib3& com, std::uint16_t& prompt_row);
// The whole screen in the monitor's colours, cleared.
void ResetScreen(ComLib3& com);

}  // namespace ZUL_Lib3
