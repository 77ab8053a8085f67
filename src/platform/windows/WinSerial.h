// Serial ports on Windows: COMn is the device \\.\COMn (the plain name "COMn" cannot
// open COM10 and above), opened for exclusive use, with the line settings of the Windows
// communications API. The error codes are GetLastError's. A read's window is timed by a
// high-resolution timer of its own, not by the driver's read time-out: Wine ends that
// one 2.4 ms late.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "comLib3/SerialDevice.h"

namespace platform::windows {

std::string PortName(int port);

class WinSerialDevice : public comLib3::SerialDevice {
 public:
  // `handle` is opened for overlapped I/O.
  WinSerialDevice(HANDLE handle, HANDLE claim);
  ~WinSerialDevice() override;
  WinSerialDevice(const WinSerialDevice&) = delete;
  WinSerialDevice& operator=(const WinSerialDevice&) = delete;

  int Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override;
  void Purge() override;
  void Write(std::string_view bytes) override;
  // A WriteFile returns when the driver has the bytes; FlushFileBuffers, once they have
  // been sent (under Wine, on a real line, that is the tcdrain that its WriteFile leaves
  // out).
  void Drain() override;
  // Returns when `count` bytes are in, or when the window has passed: the read is then
  // cancelled, and keeps what came.
  std::size_t Read(char* buf, std::size_t count) override;
  bool Lost() const override { return lost_; }

 private:
  // Waits for an overlapped call of this device to end; the bytes it moved.
  DWORD Finish(OVERLAPPED& o);

  HANDLE handle_;
  HANDLE claim_;  // the port's name claimed for this climon
  HANDLE done_;   // the event of the call under way
  HANDLE timer_;  // the read's deadline
  std::chrono::milliseconds timeout_{0};
  bool lost_ = false;
};

class WinSerialPorts : public comLib3::SerialPorts {
 public:
  std::unique_ptr<comLib3::SerialDevice> Open(int port, int& error) override;
  std::string Server(int port) const override;
};

}  // namespace platform::windows
