#include "comLib3/comLib3.h"

#include "console/KeyCodes.h"

namespace comLib3 {

using console::Char;

ComLib3::ComLib3(console::Console& con, Clock& clock, SerialPorts& ports)
    : con_(con), clock_(clock), ports_(ports) {
  FlushKeys();
  ScreenCols = WindowRight();
  ScreenRows = WindowBottom();
}

std::uint8_t ComLib3::PollKeys() {
  if (EscFlag || !con_.KeyPressed()) return 0;
  std::uint8_t first = con_.ReadKey();
  std::uint8_t result = first;
  if (first == 0) result = con_.ReadKey();
  if (first == console::kKeyEsc) {
    EscFlag = true;
  } else if (first == console::kKeyBackspace) {
    KeyLine.RemoveLast();
  } else {
    KeyLine.Append(static_cast<char>(first));
  }
  return result;
}

std::uint8_t ComLib3::WaitKey() {
  if (EscFlag) return 0;
  std::uint8_t k = con_.ReadKey();
  if (k == 0) {
    con_.ReadKey();
  } else if (k == console::kKeyEsc) {
    EscFlag = true;
  }
  return k;
}

void ComLib3::DelayTicks(int n) {
  // The count is wide enough for any N: a 16-bit one would wrap and never end above 65535.
  // Each step ends at its own absolute deadline, so overshoot does not add up.
  int count = 0;
  Clock::Duration deadline = clock_.Now();
  do {
    deadline += std::chrono::milliseconds(100);
    clock_.SleepUntil(deadline);
    ++count;
  } while (count < n && !EscFlag);
}

void ComLib3::FlushKeys() {
  while (con_.KeyPressed()) con_.ReadKey();
  KeyLine.Zero();
  EscFlag = false;
}

int ComLib3::EditLine(ShortString& s, int max_len) {
  ShortString buf = s;
  con_.Write(buf);
  DelayTicks(1);
  if (!EscFlag) {
    for (;;) {
      std::uint8_t k = WaitKey();
      if (k == console::kKeyBackspace) {
        if (!buf.empty()) {
          con_.Write(Char{console::kKeyBackspace}, " ", Char{console::kKeyBackspace});
          buf.RemoveLast();
        }
      } else if (k != console::kKeyEnter && k != 0) {
        con_.Write(Char{k});
        buf.Append(static_cast<char>(k));
      }
      if (k == console::kKeyEnter || EscFlag) break;
    }
  }
  if (EscFlag) return -1;
  con_.Write("\r\n");
  s.Assign(buf.view().substr(0, static_cast<std::uint8_t>(max_len)));
  return static_cast<int>(buf.size());
}

PortSlot* ComLib3::SlotFor(std::int32_t port) {
  if (port < 1 || port > kPortCount) return nullptr;
  return &PortHandles[static_cast<std::size_t>(port - 1)];
}

SerialDevice* ComLib3::LiveDevice(std::int32_t port) {
  PortSlot* slot = SlotFor(port);
  if (slot == nullptr) return nullptr;
  if (slot->state == PortSlot::State::kLost && clock_.Now() >= slot->retry_at) Reopen(port, *slot);
  return slot->state == PortSlot::State::kOpen ? slot->device.get() : nullptr;
}

void ComLib3::NoteLoss(std::int32_t port) {
  PortSlot* slot = SlotFor(port);
  if (slot == nullptr || slot->state != PortSlot::State::kOpen || !slot->device->Lost()) return;
  slot->device.reset();
  slot->state = PortSlot::State::kLost;
  slot->retry_at = clock_.Now();  // the next transaction tries at once
  slot->owed.clear();             // nothing more comes from the device that went
  slot->unanswered_since.reset();
}

void ComLib3::Reopen(std::int32_t port, PortSlot& slot) {
  slot.retry_at = clock_.Now() + kReopenInterval;
  int error = 0;
  std::unique_ptr<SerialDevice> dev = ports_.Open(port, error);
  if (!dev) return;
  dev->Configure(slot.baud, slot.data_bits, slot.parity, slot.stop_bits);
  dev->SetReadTimeout(kReadTotalTimeout);
  slot.unanswered_since.reset();
  if (!slot.greeting.empty()) {
    // As at start: the connection opened first; its reply is taken off the line unread.
    dev->Purge();
    dev->Write(slot.greeting + "\r");
    dev->Drain();
    char buf[64];
    const Clock::Duration end = clock_.Now() + kReadTotalTimeout;
    if (dev->Read(buf, sizeof buf) < sizeof buf && clock_.Now() < end) clock_.SleepUntil(end);
    if (dev->Lost()) return;
  }
  slot.device = std::move(dev);
  slot.state = PortSlot::State::kOpen;
}

int ComLib3::OpenComPort(std::int32_t port, unsigned baud, char parity, int data_bits,
                         int stop_bits) {
  int error = kNoSuchDevice;
  PortSlot* slot = SlotFor(port);
  if (slot != nullptr) {
    // A device still open in the slot is closed first, so that it neither leaks nor
    // blocks its own port.
    slot->device.reset();
    slot->owed.clear();
    slot->unanswered_since.reset();
    error = 0;
    slot->device = ports_.Open(port, error);
    slot->state = slot->device ? PortSlot::State::kOpen : PortSlot::State::kInvalid;
  }
  if (slot == nullptr || !slot->device) {
    con_.Write("Invalid Port Number: ", console::Int{port}, "   E", console::Int{error});
    // One key, both codes of it: the second code of an extended key left queued would
    // be taken for a command key (Left arrow's is K, Insert's R).
    if (con_.ReadKey() == 0) con_.ReadKey();
    return error;
  }
  char p = console::UpCase(parity);
  slot->baud = baud;
  slot->data_bits = data_bits;
  slot->parity = p == 'E' ? Parity::kEven : p == 'O' ? Parity::kOdd : Parity::kNone;
  slot->stop_bits = stop_bits == 2 ? 2 : 1;
  int result = slot->device->Configure(slot->baud, slot->data_bits, slot->parity, slot->stop_bits);
  slot->device->SetReadTimeout(kReadTotalTimeout);
  return result;
}

void ComLib3::PurgeComPort(std::int32_t port) {
  if (SerialDevice* dev = LiveDevice(port)) {
    dev->Purge();
    NoteLoss(port);
  }
}

void ComLib3::CloseComPort(std::int32_t port) {
  PortSlot* slot = SlotFor(port);
  if (slot == nullptr) return;
  slot->device.reset();
  slot->state = PortSlot::State::kInvalid;
}

bool ComLib3::WriteComPort(std::int32_t port, std::string_view bytes) {
  SerialDevice* dev = LiveDevice(port);
  if (dev == nullptr) return false;
  dev->Write(bytes);
  dev->Drain();
  NoteLoss(port);
  return true;
}

std::size_t ComLib3::ReadComPort(std::int32_t port, char* buf, std::size_t count) {
  const Clock::Duration end = clock_.Now() + kReadTotalTimeout;
  std::size_t n = 0;
  if (SerialDevice* dev = LiveDevice(port)) {
    n = dev->Read(buf, count);
    NoteLoss(port);
  }
  // A read short of its count ends with its window, whatever the device did: one that
  // is not open, one that failed at once (an adapter pulled), one that answered at once
  // with nothing. A dead line costs time, never a spin, on every platform.
  if (n < count && clock_.Now() < end) clock_.SleepUntil(end);
  return n;
}

std::size_t ComLib3::ReadComPortFor(std::int32_t port, char* buf, std::size_t count,
                                    std::chrono::milliseconds window) {
  const Clock::Duration end = clock_.Now() + window;
  std::size_t n = 0;
  if (SerialDevice* dev = LiveDevice(port)) {
    dev->SetReadTimeout(window);
    n = dev->Read(buf, count);
    dev->SetReadTimeout(kReadTotalTimeout);
    NoteLoss(port);
  }
  if (n < count && clock_.Now() < end) clock_.SleepUntil(end);
  return n;
}

}  // namespace comLib3
