#include "console/HeadlessConsole.h"

#include <string>
#include <utility>

#include "console/FatalError.h"
#include "console/KeyCodes.h"

namespace console {

bool HeadlessConsole::KeyPressed() {
  if (!StopRequested()) return false;
  return !std::exchange(just_read_, false);
}

std::uint8_t HeadlessConsole::ReadKey() {
  if (StopRequested()) {
    just_read_ = true;
    return kKeyEsc;
  }
  std::string said = screen().RowText(screen().WhereY() + screen().WindowTop() - 1);
  while (!said.empty() && said.back() == ' ') said.pop_back();
  throw FatalError(kNoOperator, said + " (headless: no operator to answer)");
}

}  // namespace console
