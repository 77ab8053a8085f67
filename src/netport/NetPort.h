// A serial port behind a serial device server on the network: its address as the port
// table names it (rfc2217://HOST:PORT or tcp://HOST:PORT), and RFC 2217's Telnet COM-port
// control as bytes in and out. No sockets here: the platform's device carries the bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "comLib3/SerialDevice.h"

namespace netport {

struct Address {
  bool rfc2217 = false;  // else raw TCP: the bytes as they are
  std::string host;      // a name, an IPv4 address, or an IPv6 one (without its brackets)
  std::uint16_t port = 0;
};

// Whether `text` names a network port at all (its scheme), well formed or not.
bool IsAddress(std::string_view text);
// The address; none with the reason in `why` when it is malformed (no host, a port that is
// not a number from 1 to 65535, an IPv6 address without its brackets).
std::optional<Address> ParseAddress(std::string_view text, std::string& why);

// The port named `text` (an address) opened as `Device`, the platform's NetDevice with a
// static Connect(Address, error): null with the Windows code in `error`, 123
// (ERROR_INVALID_NAME) for an address that is malformed.
template <class Device>
std::unique_ptr<comLib3::SerialDevice> Open(std::string_view text, int& error) {
  std::string why;
  std::optional<Address> address = ParseAddress(text, why);
  if (!address) {
    error = 123;
    return nullptr;
  }
  return Device::Connect(*address, error);
}

// RFC 2217 over Telnet (RFC 854): the client's side.
class Telnet {
 public:
  // As after Start() was sent: those options taken as agreed, so that the server's
  // acknowledgements are not answered again.
  Telnet();
  // What the client asks for at once: binary both ways, suppress go-ahead, COM-port control.
  static std::string Start();
  // The line settings, and the purge of the server's buffers both ways.
  static std::string Settings(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits);
  static std::string Purge();
  // Data to send, its IAC bytes doubled.
  static std::string Escape(std::string_view data);

  // Bytes from the server: their data appended to `data`, the answers the client owes
  // (to the server's options) to `reply`. A command may span calls.
  void Take(std::string_view in, std::string& data, std::string& reply);

  // The server's answers to Settings(): how many came, and whether each matched what was
  // asked.
  int answered() const { return answered_; }
  bool refused() const { return refused_; }
  void Expect(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits);

 private:
  void Command(std::uint8_t verb, std::uint8_t option, std::string& reply);
  void Subnegotiation();

  enum class State { kData, kIac, kVerb, kSub, kSubIac } state_ = State::kData;
  std::uint8_t verb_ = 0;
  std::string sub_;
  // The options agreed, so that an answer is given once (RFC 854's loop rule).
  bool will_[256] = {}, do_[256] = {};
  int answered_ = 0;
  bool refused_ = false;
  unsigned baud_ = 0, data_bits_ = 0, parity_ = 0, stop_bits_ = 0;  // as asked
};

// A serial port behind a server, as the monitor sees a serial device: the line settings
// (RFC 2217) or none (raw TCP), the purge, the read window placed by the network's delay.
// Each platform carries the bytes: a connection refused, closed or silent is the device
// lost, as a pulled adapter is.
class NetDevice : public comLib3::SerialDevice {
 public:
  using Time = std::chrono::steady_clock::time_point;

  int Configure(unsigned baud, int data_bits, comLib3::Parity parity, int stop_bits) override;
  void SetReadTimeout(std::chrono::milliseconds total) override { timeout_ = total; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  // The window opens when the command has left the controller's line: the bytes' way to
  // the server (half the connection's smallest round trip, as the system measures it) and
  // their time on the line; the reply's way back is added to the read's time-out.
  void Drain() override;
  std::size_t Read(char* buf, std::size_t count) override;
  bool Lost() const override { return lost_; }

  // What the client sends first (RFC 2217's options); false when it cannot be sent.
  bool Greet();

 protected:
  explicit NetDevice(bool rfc2217) : rfc2217_(rfc2217) {}
  // The connection's own: all of `bytes` sent by the deadline (false when not, or when the
  // connection failed: then `lost_`); bytes received into `buf` (waiting for them until
  // the deadline: 0 then), or -1 when the connection is gone; its smallest round trip (0
  // where the system does not tell).
  virtual bool SendAll(std::string_view bytes, Time deadline) = 0;
  virtual long ReceiveSome(char* buf, std::size_t size, Time deadline) = 0;
  virtual std::chrono::microseconds RoundTrip() const = 0;
  bool lost_ = false;

 private:
  // Takes what the server has sent (data, or Telnet's own), waiting for it until the
  // deadline; false at the deadline with nothing new.
  bool Receive(Time deadline);

  bool rfc2217_;
  Telnet telnet_;
  std::string data_;  // received, not yet read
  std::chrono::milliseconds timeout_{0};
  std::chrono::nanoseconds char_time_{std::chrono::nanoseconds(1'000'000'000LL * 11 / 9600)};
  Time written_at_{}, window_opens_{};
  std::size_t written_ = 0;
};

}  // namespace netport
