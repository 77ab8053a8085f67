// The serial seam: one open port, and the means to open one by its COM number.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace comLib3 {

enum class Parity { kNone, kOdd, kEven };

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // Line settings; 0 when accepted, otherwise the Windows error code for the cause.
  virtual int Configure(unsigned baud, int data_bits, Parity parity, int stop_bits) = 0;
  // A read returns when its byte count is reached or this long after it began.
  virtual void SetReadTimeout(std::chrono::milliseconds total) = 0;
  // Drops what waits in both directions.
  virtual void Purge() = 0;
  virtual void Write(std::string_view bytes) = 0;
  // What was written must have left the line before a reply's window opens (bounded, so
  // that a stuck adapter cannot hang the program): the device waits for it here, or
  // counts the next read's window from then.
  virtual void Drain() = 0;
  // Bytes read, 0 to count; never waits longer than the read time-out, and returns at
  // once when the device is lost.
  virtual std::size_t Read(char* buf, std::size_t count) = 0;
  // True once the device has reported that it is gone (an adapter pulled, a line hung
  // up): nothing more will pass through this handle.
  virtual bool Lost() const = 0;
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // The device of port COMn, or null with the Windows error code for the cause in `error`
  // (2: no such device, 5: in use or not permitted).
  virtual std::unique_ptr<SerialDevice> Open(int port, int& error) = 0;
  // The serial device server that port COMn is behind (its address as configured), for
  // the record; empty for a local port.
  virtual std::string Server(int /*port*/) const { return ""; }
};

}  // namespace comLib3
