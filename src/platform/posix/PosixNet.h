// A serial device server's connection over POSIX sockets: the bytes of a netport::NetDevice.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "netport/NetPort.h"

namespace platform::posix {

class PosixNetDevice : public netport::NetDevice {
 public:
  // Connects within a bound; null with the Windows error code for the cause in `error`.
  static std::unique_ptr<PosixNetDevice> Connect(const netport::Address& address, int& error);
  ~PosixNetDevice() override;
  PosixNetDevice(const PosixNetDevice&) = delete;
  PosixNetDevice& operator=(const PosixNetDevice&) = delete;

 private:
  PosixNetDevice(int fd, bool rfc2217) : NetDevice(rfc2217), fd_(fd) {}
  bool SendAll(std::string_view bytes, Time deadline) override;
  long ReceiveSome(char* buf, std::size_t size, Time deadline) override;
  std::chrono::microseconds RoundTrip() const override;

  int fd_ = -1;
};

}  // namespace platform::posix
