// Serial ports on Windows: COMn is the device \\.\COMn (the plain name "COMn" cannot
// open COM10 and above), opened for exclusive use, with the line settings and time-outs
// of the Windows communications API. The error codes are GetLastError's.
#pragma once

#include <windows.h>

#include <string>

#include "comLib3/SerialDevice.h"

namespace platform::windows {

std::string PortName(int port);

class WinSerialDevice : public comLib3::SerialDevice {
 public:
  WinSerialDevice(HANDLE handle, HANDLE claim) : handle_(handle), claim_(claim) {}
  ~WinSerialDevice() override;
  WinSerialDevice(const WinSerialDevice&) = delete;
  WinSerialDevice& operator=(const WinSerialDevice&) = delete;

  int Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override;
  void Purge() override;
  void Write(std::string_view bytes) override;
  // A synchronous WriteFile returns when the driver has the bytes; FlushFileBuffers, once
  // they have been sent (under Wine, on a real line, that is the tcdrain that its
  // WriteFile leaves out).
  void Drain() override;
  std::size_t Read(char* buf, std::size_t count) override;
  bool Lost() const override { return lost_; }

 private:
  HANDLE handle_;
  HANDLE claim_;  // the port's name claimed for this climon
  bool lost_ = false;
};

class WinSerialPorts : public comLib3::SerialPorts {
 public:
  std::unique_ptr<comLib3::SerialDevice> Open(int port, int& error) override;
};

}  // namespace platform::windows
