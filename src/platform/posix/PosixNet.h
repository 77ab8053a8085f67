// A serial port behind a serial device server, over TCP: raw, or with RFC 2217's COM-port
// control. To the monitor it is a serial device like a local one: a connection lost (the
// server gone, restarted, the port taken by another client, or silent with the
// connection half open) is the device lost.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "comLib3/SerialDevice.h"
#include "netport/NetPort.h"

namespace platform::posix {

class PosixNetDevice : public comLib3::SerialDevice {
 public:
  // Connects within a bound; null with the Windows error code for the cause in `error`.
  static std::unique_ptr<PosixNetDevice> Connect(const netport::Address& address, int& error);
  ~PosixNetDevice() override;
  PosixNetDevice(const PosixNetDevice&) = delete;
  PosixNetDevice& operator=(const PosixNetDevice&) = delete;

  int Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override { timeout_ = total; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  // The window opens when the command has left the controller's line: the bytes' way to
  // the server (half the connection's round trip, as the kernel measures it) and their
  // time on the line; the reply's way back is added to the read's time-out.
  void Drain() override;
  std::size_t Read(char* buf, std::size_t count) override;
  bool Lost() const override { return lost_; }

 private:
  PosixNetDevice(int fd, bool rfc2217) : fd_(fd), rfc2217_(rfc2217) {}
  using Time = std::chrono::steady_clock::time_point;
  // Sends all of `bytes` by the deadline; false (and lost) when the connection fails.
  bool Send(std::string_view bytes, Time deadline);
  // Takes what the server has sent (data, or Telnet's own), waiting for it until the
  // deadline; false at the deadline with nothing new.
  bool Receive(Time deadline);
  std::chrono::microseconds RoundTrip() const;

  int fd_ = -1;
  bool rfc2217_ = false;
  bool lost_ = false;
  netport::Telnet telnet_;
  std::string data_;  // received, not yet read
  std::chrono::milliseconds timeout_{0};
  std::chrono::nanoseconds char_time_{std::chrono::nanoseconds(1'000'000'000LL * 11 / 9600)};
  Time written_at_{}, window_opens_{};
  std::size_t written_ = 0;
};

}  // namespace platform::posix
