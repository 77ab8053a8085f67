// Keyboard state with the typed-ahead line and the abort flag, abortable delays, the line
// editor, screen geometry, and the table of open serial ports.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>

#include "comLib3/Clock.h"
#include "comLib3/SerialDevice.h"
#include "console/Console.h"
#include "console/ShortString.h"

namespace comLib3 {

using console::ShortString;

inline constexpr int kPortCount = 128;
// The total read time-out that OpenComPort sets.
inline constexpr std::chrono::milliseconds kReadTotalTimeout{55};
// A lost device is opened again at most this often.
inline constexpr std::chrono::seconds kReopenInterval{1};
// The code reported for a port number outside 1 to 128: no such device.
inline constexpr int kNoSuchDevice = 2;

// One slot of the port table.
struct PortSlot {
  // kLost: the device went away after it was opened; it is opened again, with the same
  // settings, on a later transaction.
  enum class State { kNeverOpened, kInvalid, kOpen, kLost };
  State state = State::kNeverOpened;
  std::unique_ptr<SerialDevice> device;
  // The line settings it was opened with.
  unsigned baud = 0;
  int data_bits = 8, stop_bits = 1;
  Parity parity = Parity::kNone;
  Clock::Duration retry_at{};  // when a lost device may be opened again
  // The command that opens the controller's connection, sent (its reply unread) to a
  // device opened again: a new adapter or a restarted controller may need it.
  std::string greeting;
  // The replies still owed to the commands sent on the port, oldest first: each attempt is
  // owed one, and each reply that comes settles the oldest (PLC_Lib3's transaction keeps
  // them). A device opened anew owes nothing.
  struct Owed {
    std::string command;
    Clock::Duration sent{};
  };
  std::deque<Owed> owed;
  // Since when the attempts have gone unanswered: the first attempt after the last reply.
  std::optional<Clock::Duration> unanswered_since;
};

class ComLib3 {
 public:
  // Module start: pending keys dropped, KeyLine emptied, EscFlag cleared, screen measured.
  ComLib3(console::Console& con, Clock& clock, SerialPorts& ports);
  // The serial device server behind port COMn, if any (SerialPorts::Server).
  std::string Server(std::int32_t port) const { return ports_.Server(port); }

  // Keyboard and delays.
  std::uint8_t PollKeys();
  std::uint8_t WaitKey();
  void DelayTicks(int n);
  void FlushKeys();
  // Whether the operator's stop waits: EscFlag, or the ESC key (a service's stop) not yet
  // polled. Looks only; a transaction uses it to end its retries early.
  bool StopPending() { return EscFlag || con_.StopPending(); }
  int EditLine(ShortString& s, int max_len);

  // Geometry.
  int WindowRight() const { return (con_.WindowLowerRight() & 0xFF) + 1; }
  int WindowBottom() const { return (con_.WindowLowerRight() >> 8) + 1; }
  void FullScreenWindow() { con_.Window(1, 1, ScreenCols, ScreenRows); }
  void NewLine() { con_.Write(console::Char{13}, "\r\n"); }

  // Serial ports. A port number outside 1 to 128 is a port that cannot be opened.
  int OpenComPort(std::int32_t port, unsigned baud, char parity, int data_bits, int stop_bits);
  void PurgeComPort(std::int32_t port);
  void CloseComPort(std::int32_t port);
  // The transaction's write and read on the port's device. A port that is not open
  // writes nothing (false), and a read short of its count always ends with its window, so
  // a dead line never spins.
  bool WriteComPort(std::int32_t port, std::string_view bytes);
  std::size_t ReadComPort(std::int32_t port, char* buf, std::size_t count);
  // A read with a window of its own, shorter than a reply's (an owed reply awaited in
  // slices); the port's window is set back after it.
  std::size_t ReadComPortFor(std::int32_t port, char* buf, std::size_t count,
                             std::chrono::milliseconds window);
  // The port's slot; null for a number outside the table.
  PortSlot* SlotFor(std::int32_t port);

  console::Console& con() { return con_; }
  Clock& clock() { return clock_; }

  ShortString KeyLine;
  bool EscFlag = false;
  std::array<PortSlot, kPortCount> PortHandles;
  int ScreenCols = 0;
  int ScreenRows = 0;

 private:
  // The port's device when it is open; a lost one is opened again when its time has come.
  SerialDevice* LiveDevice(std::int32_t port);
  // Closes a device that reported itself gone; it is opened again later.
  void NoteLoss(std::int32_t port);
  void Reopen(std::int32_t port, PortSlot& slot);

  console::Console& con_;
  Clock& clock_;
  SerialPorts& ports_;
};

}  // namespace comLib3
