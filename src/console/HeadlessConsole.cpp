#include "console/HeadlessConsole.h"

#include <string>

#include "console/FatalError.h"
#include "console/KeyCodes.h"

namespace console {

bool HeadlessConsole::KeyPressed() {
  return StopRequested() && stop_.Pressed();
}

std::uint8_t HeadlessConsole::ReadKey() {
  if (StopRequested()) return stop_.Read();
  std::string said = screen().RowText(screen().WhereY() + screen().WindowTop() - 1);
  while (!said.empty() && said.back() == ' ') said.pop_back();
  throw FatalError(kNoOperator, said + " (headless: no operator to answer)");
}

}  // namespace console
