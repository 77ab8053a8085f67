// A serial port behind a serial device server, over TCP with Winsock: raw, or with
// RFC 2217's COM-port control. As on POSIX: a connection refused, closed or gone silent is
// the device lost.
#pragma once

#include <winsock2.h>

#include <chrono>
#include <memory>
#include <string>

#include "comLib3/SerialDevice.h"
#include "netport/NetPort.h"

namespace platform::windows {

class WinNetDevice : public comLib3::SerialDevice {
 public:
  // Connects within a bound; null with the Windows error code for the cause in `error`.
  static std::unique_ptr<WinNetDevice> Connect(const netport::Address& address, int& error);
  ~WinNetDevice() override;
  WinNetDevice(const WinNetDevice&) = delete;
  WinNetDevice& operator=(const WinNetDevice&) = delete;

  int Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override { timeout_ = total; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  // The window opens half the connection's smallest round trip (as Windows measures it,
  // where it does) after the write, plus the bytes' time on the line.
  void Drain() override;
  std::size_t Read(char* buf, std::size_t count) override;
  bool Lost() const override { return lost_; }

 private:
  WinNetDevice(SOCKET s, bool rfc2217) : socket_(s), rfc2217_(rfc2217) {}
  using Time = std::chrono::steady_clock::time_point;
  bool Send(std::string_view bytes, Time deadline);
  bool Receive(Time deadline);
  std::chrono::microseconds RoundTrip() const;

  SOCKET socket_;
  bool rfc2217_ = false;
  bool lost_ = false;
  netport::Telnet telnet_;
  std::string data_;
  std::chrono::milliseconds timeout_{0};
  std::chrono::nanoseconds char_time_{std::chrono::nanoseconds(1'000'000'000LL * 11 / 9600)};
  Time written_at_{}, window_opens_{};
  std::size_t written_ = 0;
};

}  // namespace platform::windows
