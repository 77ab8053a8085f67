#include "ZUL_Lib3/ZUL_Lib3.h"

#include "console/KeyCodes.h"

namespace ZUL_Lib3 {

void OpenBoxWindow(ComLib3& com, int width) {
  auto& con = com.con();
  com.FullScreenWindow();
  int r = com.WindowRight();
  int b = com.WindowBottom();
  int x1 = (r - width) / 2;
  int x2 = r - x1;
  con.TextBackground(0);
  con.Window(x1 + 1, 4, x2 + 1, b - 2);
  con.ClrScr();
  con.TextBackground(1);
  con.TextColor(14);
  con.Window(x1, 3, x2, b - 3);
  con.ClrScr();
  con.Window(x1 + 1, 4, x2 - 1, b - 4);
  con.ClrScr();
}

void ResetScreen(ComLib3& com) {
  auto& con = com.con();
  com.FullScreenWindow();
  con.TextBackground(7);
  con.TextColor(1);
  con.ClrScr();
}

void NewPromptLine(ComLib3& com, std::uint16_t& prompt_row) {
  auto& con = com.con();
  com.NewLine();
  // WindowBottom - 4 is the inner window's last row: the box starts on screen row 4.
  bool last_row = com.WindowBottom() - 4 < prompt_row;
  prompt_row = static_cast<std::uint16_t>(last_row ? con.WhereY() - 1 : con.WhereY());
  con.GotoXY(1, prompt_row);
  con.Write(kPromptTemplate);
  if (com.WindowBottom() - 4 < prompt_row) --prompt_row;
  con.GotoXY(1, prompt_row);
  con.Write(" >");
  con.GotoXY(2, prompt_row);
}

int RunTerminal(ComLib3& com, std::int32_t port, const LineSent& sent) {
  auto& con = com.con();
  com.FlushKeys();
  OpenBoxWindow(com, 34);
  con.Write(kBanner);
  con.TextBackground(0);
  con.TextColor(2);
  con.GotoXY(1, 3);
  con.Write(kHeader);
  con.GotoXY(1, 3);
  std::uint16_t prompt_row = 3;
  do {
    NewPromptLine(com, prompt_row);
    int n = com.EditLine(com.KeyLine, 255);
    if (n >= 0) {
      con.GotoXY(18, prompt_row);
      console::ShortString reply;
      PLC_Lib3::PlcTransact(com, port, com.KeyLine, reply);
      con.Write(" ", reply);
      if (sent) sent(com.KeyLine.view(), reply.view());
    }
    com.KeyLine.Clear();
  } while (!com.EscFlag);
  com.FlushKeys();
  ResetScreen(com);
  return console::kKeyEsc;
}

}  // namespace ZUL_Lib3
