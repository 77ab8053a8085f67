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

void PlcTransact(ComLib3& com, std::int32_t port, ShortString command, ShortString& reply,
                 ReplyShape shape) {
  if (com.EscFlag) {
    reply.Clear();
    return;
  }
  com.PurgeComPort(port);
  ShortString copy = ApplyMinusRule(command);
  std::string line(copy.view());
  line += '\r';
  // A write is never given up for a stop: the operator's confirmed reset writes every word.
  const bool stoppable = !copy.view().starts_with("WR");
  ShortString cleaned, error_reply;
  bool good = false;
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    char buf[kReadBytes];
    com.PurgeComPort(port);
    com.WriteComPort(port, line);
    if (attempt == kMaxAttempts) com.DelayTicks(1);
    std::size_t n = com.ReadComPort(port, buf, kReadBytes);
    cleaned = CleanReply(buf, n);
    if (!cleaned.empty() && cleaned.At(1) == 'E') {
      error_reply = cleaned;  // the controller answered: nothing is on its way
    } else if (HasShape(cleaned, shape) && !cleaned.empty()) {
      good = true;
      break;
    } else {
      // No usable reply: the reply may still come, late, and would pass for the next
      // command's (a word for a word, a relay for a relay). The line is let go quiet.
      com.AwaitQuiet(port, stoppable);
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
