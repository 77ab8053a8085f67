// Serial ports on POSIX: COMn is the path in CLIMON_COM<n> when that is set, otherwise
// /dev/ttyS<n-1>. Access is exclusive; the line is raw, without flow control, with DTR
// and RTS off.
#pragma once

#include <chrono>
#include <string>

#include "comLib3/SerialDevice.h"

namespace comLib3 {

std::string PosixPortPath(int port);

class PosixSerialDevice : public SerialDevice {
 public:
  // Opens the device at `path`; on failure fd() is -1 and error() holds errno.
  explicit PosixSerialDevice(const std::string& path);
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  int fd() const { return fd_; }
  int error() const { return error_; }

  int Configure(unsigned baud, int data_bits, Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override { timeout_ = total; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  std::size_t Read(char* buf, std::size_t count) override;

 private:
  int fd_ = -1;
  int error_ = 0;
  std::chrono::milliseconds timeout_{55};
};

class PosixSerialPorts : public SerialPorts {
 public:
  std::unique_ptr<SerialDevice> Open(int port, int& error) override;
};

}  // namespace comLib3
