// The controller protocol: one command/reply transaction with purges, retries and the
// rewriting of a negative number, and the builders of the controller commands.
#pragma once

#include <chrono>
#include <cstdint>

#include "PLC_Lib3/TextToInt.h"
#include "comLib3/comLib3.h"

namespace PLC_Lib3 {

using comLib3::ComLib3;
using console::ShortString;

inline constexpr int kMaxAttempts = 4;
inline constexpr std::size_t kReadBytes = 50;
// The protocol has no echo, so a reply that comes late would pass for a later command's.
// Each attempt is owed a reply for this long after its command left (a reply a second late
// is still told apart), and the next command other than its own waits until what is owed
// has come or can no longer come. On a healthy line nothing is owed when the next command
// goes out, and nothing is waited for.
inline constexpr std::chrono::milliseconds kOwedFor{1100};
// No wait once the attempts have gone unanswered for this long: the line is dead (its link
// row shows it), and a pass on it stays as short as its attempts.
inline constexpr std::chrono::seconds kSilentFor{2};
// The wait reads in slices this short, so that it ends once the owed replies are in.
inline constexpr std::chrono::milliseconds kOwedSlice{10};

// Flushes the keyboard state, then opens the port at 9600 baud, 8 data bits, even
// parity, 1 stop bit. The outcome is reported by the port table itself.
void OpenPlcPort(ComLib3& com, std::int32_t port);

// The command as the line will carry it: the first "-" and the number after it become
// the number's 16-bit two's complement; anything after that number is dropped.
ShortString ApplyMinusRule(const ShortString& command);

// The last two characters of a read are not part of the reply; one character stays.
ShortString CleanReply(const char* bytes, std::size_t count);

// What a good reply to a read looks like. The protocol has no echo, so a late reply to an
// earlier command can land in a later read's window; where the shapes differ, it is told
// apart and treated as no reply. A word is five digits, the controller's default format.
enum class ReplyShape { kAny, kRelay, kTimer, kWord };
bool HasShape(const ShortString& reply, ReplyShape shape);

// A reply that is neither an error reply nor of the expected shape is retried as an empty
// one, and is empty when no better one came. The replies of the attempts settle what is
// owed, oldest first (retries of one command may take each other's replies: they answer
// the same thing); a reply that settles another command's attempt is never this one's.
void PlcTransact(ComLib3& com, std::int32_t port, ShortString command, ShortString& reply,
                 ReplyShape shape = ReplyShape::kAny);
void PlcConnect(ComLib3& com, std::int32_t port, ShortString& reply);
void PlcDisconnect(ComLib3& com, std::int32_t port, ShortString& reply);
void PlcReadRelay(ComLib3& com, std::int32_t port, std::int32_t number, ShortString& reply);
void PlcReadTimer(ComLib3& com, std::int32_t port, std::int32_t number, ShortString& value_text);
void PlcReadDm(ComLib3& com, std::int32_t port, std::uint16_t dm, ShortString& reply);
void PlcWriteDm(ComLib3& com, std::int32_t port, std::uint16_t dm, std::uint16_t value,
                ShortString& reply);

// Characters 3 to 7 of a timer reply, followed by any from position 14 on.
ShortString TimerField(const ShortString& reply);

}  // namespace PLC_Lib3
