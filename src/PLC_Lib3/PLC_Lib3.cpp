#include "PLC_Lib3/PLC_Lib3.h"

#include <string>

namespace PLC_Lib3 {

void OpenPlcPort(ComLib3& com, std::int32_t port) {
  com.FlushKeys();
  com.OpenComPort(port, 9600, 'E', 8, 1);
  if (port >= 1 && port <= comLib3::kPortCount) {
    com.PortHandles[static_cast<std::size_t>(port - 1)].greeting = "CR";
  }
}

ShortString ApplyMinusRule(const ShortString& command) {
  ShortString copy = command;
  std::size_t dash = copy.view().find('-');
  if (dash == std::string_view::npos) return copy;
  copy.Delete(dash + 1, 1);
  std::int32_t v = TextToInt(copy.view().substr(dash)).value;
  copy.Truncate(dash);
  unsigned low = static_cast<std::uint32_t>(v) & 0xFFFFu;
  copy.Append(std::to_string((65536u - low) % 65536u));
  return copy;
}

ShortString CleanReply(const char* bytes, std::size_t count) {
  ShortString r(std::string_view(bytes, count));
  if (r.size() >= 2) r.Truncate(r.size() - 2);
  return r;
}

bool HasShape(const ShortString& reply, ReplyShape shape) {
  std::string_view r = reply.view();
  auto digits = [&r](std::size_t at, std::size_t n) {
    return r.substr(at, n).find_first_not_of("0123456789") == std::string_view::npos;
  };
  switch (shape) {
    case ReplyShape::kRelay:
      return r == "0" || r == "1";
    case ReplyShape::kTimer:  // contact, current value, preset: "c,vvvvv,ppppp"
      return r.size() == 13 && digits(0, 1) && r[1] == ',' && digits(2, 5) && r[7] == ',' &&
             digits(8, 5);
    case ReplyShape::kWord:
      return r.size() == 5 && digits(0, 5);
    case ReplyShape::kAny:
      break;
  }
  return true;
}

namespace {

using comLib3::Clock;
using comLib3::PortSlot;

// What a port's owed replies need: the replies that come, and the time.
struct Ledger {
  PortSlot& slot;
  Clock& clock;

  // An attempt that cannot be answered any more (see kOwedFor) owes nothing.
  void Expire() {
    const Clock::Duration now = clock.Now();
    while (!slot.owed.empty() && now - slot.owed.front().sent >= kOwedFor) slot.owed.pop_front();
  }
  void Sent(const std::string& command) {
    const Clock::Duration now = clock.Now();
    slot.owed.push_back({command, now});
    if (!slot.unanswered_since) slot.unanswered_since = now;
  }
  // No reply has come to any attempt for kSilentFor.
  bool Dead() const {
    return slot.unanswered_since && clock.Now() - *slot.unanswered_since >= kSilentFor;
  }
  // Whether a reply may still come for a command other than `command`.
  bool OwedToOthers(std::string_view command) {
    Expire();
    for (const PortSlot::Owed& o : slot.owed) {
      if (o.command != command) return true;
    }
    return false;
  }
  // A reply came: it settles the oldest owed attempt. True when that attempt was of
  // `command` (or none was owed): then the reply answers it.
  bool Settle(std::string_view command) {
    slot.unanswered_since.reset();
    Expire();
    if (slot.owed.empty()) return true;
    bool ours = slot.owed.front().command == command;
    slot.owed.pop_front();
    return ours;
  }
};

// Takes the replies out of `bytes`, each a line, and what is left of a line begun.
template <typename Each>
void TakeLines(std::string& bytes, Each each) {
  for (std::size_t nl; (nl = bytes.find('\n')) != std::string::npos;) {
    std::string line = bytes.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bytes.erase(0, nl + 1);
    each(line);
  }
}

// Before a command, the replies still owed to other commands: they come (and are dropped)
// or can no longer come. Nothing is waited for once the attempts have gone unanswered for
// kSilentFor: a line that dead owes nothing that could still arrive in time, and whatever a
// controller coming back answers first is then taken only for the command it settles.
// False when a stop came first (a read only).
bool AwaitOwed(ComLib3& com, std::int32_t port, Ledger& ledger, std::string_view command,
               bool stoppable) {
  if (!ledger.OwedToOthers(command) || ledger.Dead()) return true;
  std::string bytes;
  while (ledger.OwedToOthers(command)) {
    if (stoppable && com.StopPending()) return false;
    char buf[64];
    bytes.append(buf, com.ReadComPortFor(port, buf, sizeof buf, kOwedSlice));
    TakeLines(bytes, [&](const std::string&) { ledger.Settle(command); });
  }
  return true;
}

}  // namespace

void PlcTransact(ComLib3& com, std::int32_t port, ShortString command, ShortString& reply,
                 ReplyShape shape) {
  if (com.EscFlag) {
    reply.Clear();
    return;
  }
  // A port outside the table owes nothing: its attempts go nowhere, each costing its
  // window, as on a dead line.
  PortSlot none;
  PortSlot* slot = com.SlotFor(port);
  if (slot == nullptr) slot = &none;
  ShortString copy = ApplyMinusRule(command);
  const std::string sent(copy.view());
  // A write is never given up for a stop: the operator's confirmed reset writes every word.
  const bool stoppable = !copy.view().starts_with("WR");
  Ledger ledger{*slot, com.clock()};
  if (!AwaitOwed(com, port, ledger, sent, stoppable)) {
    reply.Clear();
    return;
  }
  com.PurgeComPort(port);
  ShortString cleaned, error_reply;
  bool good = false;
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    char buf[kReadBytes];
    com.PurgeComPort(port);
    if (com.WriteComPort(port, sent + "\r")) ledger.Sent(sent);
    if (attempt == kMaxAttempts) com.DelayTicks(1);
    std::size_t n = com.ReadComPort(port, buf, kReadBytes);
    // Each reply in the window settles the oldest owed attempt: one of another command is
    // dropped; of this command's, the last. Bytes without a line end are this attempt's
    // reply as they stand, unless another command's reply may still be on its way.
    std::string bytes(buf, n);
    bool any_line = false, ours = false;
    TakeLines(bytes, [&](const std::string& line) {
      any_line = true;
      if (ledger.Settle(sent)) {
        cleaned = ShortString(line);
        ours = true;
      }
    });
    if (!any_line) {
      ours = !ledger.OwedToOthers(sent);
      cleaned = CleanReply(buf, n);
    }
    if (!ours) cleaned.Clear();
    if (!cleaned.empty() && cleaned.At(1) == 'E') {
      error_reply = cleaned;  // the controller answered: nothing is on its way
    } else if (HasShape(cleaned, shape) && !cleaned.empty()) {
      good = true;
      break;
    }
    if (com.EscFlag || (stoppable && com.StopPending())) break;
  }
  // After four failures the last error reply the controller gave, even when a later
  // attempt got nothing: an "E" is an answer, a lost reply is not.
  reply = good ? cleaned : error_reply;
}

void PlcConnect(ComLib3& com, std::int32_t port, ShortString& reply) {
  PlcTransact(com, port, "CR", reply);
}

void PlcDisconnect(ComLib3& com, std::int32_t port, ShortString& reply) {
  PlcTransact(com, port, "CQ", reply);
}

void PlcReadRelay(ComLib3& com, std::int32_t port, std::int32_t number, ShortString& reply) {
  PlcTransact(com, port, ShortString("RD " + std::to_string(number)), reply, ReplyShape::kRelay);
}

ShortString TimerField(const ShortString& reply) {
  ShortString r = reply;
  r.Delete(1, 2);
  r.Delete(6, 6);
  return r;
}

void PlcReadTimer(ComLib3& com, std::int32_t port, std::int32_t number, ShortString& value_text) {
  ShortString reply;
  PlcTransact(com, port, ShortString("RD T" + std::to_string(number)), reply, ReplyShape::kTimer);
  value_text = TimerField(reply);
}

void PlcReadDm(ComLib3& com, std::int32_t port, std::uint16_t dm, ShortString& reply) {
  PlcTransact(com, port, ShortString("RD DM" + std::to_string(dm)), reply, ReplyShape::kWord);
}

void PlcWriteDm(ComLib3& com, std::int32_t port, std::uint16_t dm, std::uint16_t value,
                ShortString& reply) {
  PlcTransact(com, port, ShortString("WR DM" + std::to_string(dm) + " " + std::to_string(value)),
              reply);
}

}  // namespace PLC_Lib3
