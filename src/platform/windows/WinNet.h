// A serial device server's connection over Winsock: the bytes of a netport::NetDevice.
#pragma once

#include <winsock2.h>

#include <chrono>
#include <memory>
#include <string>

#include "netport/NetPort.h"

namespace platform::windows {

class WinNetDevice : public netport::NetDevice {
 public:
  // Connects within a bound; null with the Windows error code for the cause in `error`.
  static std::unique_ptr<WinNetDevice> Connect(const netport::Address& address, int& error);
  ~WinNetDevice() override;
  WinNetDevice(const WinNetDevice&) = delete;
  WinNetDevice& operator=(const WinNetDevice&) = delete;

 private:
  WinNetDevice(SOCKET s, bool rfc2217) : NetDevice(rfc2217), socket_(s) {}
  bool SendAll(std::string_view bytes, Time deadline) override;
  long ReceiveSome(char* buf, std::size_t size, Time deadline) override;
  // Windows 10 1703's SIO_TCP_INFO; where the system does not answer it, none.
  std::chrono::microseconds RoundTrip() const override;

  SOCKET socket_;
};

}  // namespace platform::windows
