#include "console/TerminalKeys.h"

#include "console/FatalError.h"

namespace console {

void TerminalKeys::Pump(TimePoint until) {
  if (ended_) return;
  std::vector<Source::Chunk> chunks;
  bool more = source_.Read(chunks, until);
  for (const auto& c : chunks) {
    for (char b : c.bytes) decoder_.Feed(static_cast<std::uint8_t>(b), c.at);
  }
  if (!more) {
    ended_ = true;
    decoder_.Finish();  // nothing can complete a pending sequence now
  }
}

bool TerminalKeys::KeyPressed() {
  Pump(TimePoint::min());
  while (!decoder_.Ready(source_.Now()) && !ended_) {
    auto deadline = decoder_.Deadline();
    if (!deadline) return false;
    Pump(*deadline);
  }
  return decoder_.Ready(source_.Now());
}

bool TerminalKeys::StopPending() {
  Pump(TimePoint::min());
  return decoder_.HoldsEscKey(source_.Now());
}

std::uint8_t TerminalKeys::ReadKey() {
  for (;;) {
    if (auto k = decoder_.Next(source_.Now())) return *k;
    if (ended_) throw FatalError(kInputClosed, "console input closed");
    Pump(decoder_.Deadline().value_or(TimePoint::max()));
  }
}

}  // namespace console
