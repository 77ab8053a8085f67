// Serial ports on POSIX: COMn is the path in CLIMON_COM<n> when that is set, otherwise
// /dev/ttyS<n-1>. Access is exclusive; the line is raw, without flow control, with DTR
// and RTS off. Errors are reported with the code Windows gives for the same cause.
#pragma once

#include <chrono>
#include <string>

#include "comLib3/SerialDevice.h"

namespace platform::posix {

std::string PortPath(int port);

// The Windows error code that the operator would see for this errno (2 for a device that
// does not exist, 5 for one in use or not permitted, the nearest code for the rest).
int WindowsErrorFor(int errno_value);

class PosixSerialDevice : public comLib3::SerialDevice {
 public:
  // Opens the device at `path`; on failure fd() is -1 and error() holds errno.
  explicit PosixSerialDevice(const std::string& path);
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  int fd() const { return fd_; }
  int error() const { return error_; }

  int Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override { timeout_ = total; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  // Notes when the bytes will have left (the kernel's queue empty and the bytes' time on
  // the line at the configured speed; an adapter's own buffer does not show in the
  // queue; at most a second past that): the next read's window opens then.
  void Drain() override;
  std::size_t Read(char* buf, std::size_t count) override;
  bool Lost() const override { return lost_; }

 private:
  // Waits for the events until the deadline; the events that came (0 at the deadline).
  short Wait(short events, std::chrono::steady_clock::time_point deadline);
  // An error of a call on the line: the ones that mean the device is gone mark it lost.
  void Failed(int errno_value);

  int fd_ = -1;
  int error_ = 0;
  bool lost_ = false;
  std::chrono::milliseconds timeout_{0};
  std::size_t wake_count_ = 0;             // the byte count at which the line reports input ready
  std::chrono::nanoseconds char_time_{0};  // one character on the line
  std::chrono::steady_clock::time_point written_at_{};
  std::size_t written_ = 0;
  std::chrono::steady_clock::time_point window_opens_{};  // set by Drain, for the next Read
};

class PosixSerialPorts : public comLib3::SerialPorts {
 public:
  std::unique_ptr<comLib3::SerialDevice> Open(int port, int& error) override;
  std::string Server(int port) const override;
};

}  // namespace platform::posix
