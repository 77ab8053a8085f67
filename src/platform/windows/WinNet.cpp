// SIO_TCP_INFO is Windows 10 1703's; an older system refuses the call, and the window then
// goes without the round trip.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000003
#endif
#include "platform/windows/WinNet.h"

#include <mstcpip.h>
#include <ws2tcpip.h>

#ifndef TCP_MAXRT
#define TCP_MAXRT 5  // ws2ipdef.h's: seconds a connection may go unacknowledged
#endif

namespace platform::windows {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kConnectWithin{2000};
constexpr int kNotThere = 2, kNoAnswer = 121;  // Windows' codes

// Waits until the socket is readable (or writable) or the deadline; false at the deadline.
bool Wait(SOCKET s, bool write, std::chrono::steady_clock::time_point deadline, bool& failed) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (left.count() <= 0) return false;
  fd_set set, errors;
  FD_ZERO(&set);
  FD_ZERO(&errors);
  FD_SET(s, &set);
  FD_SET(s, &errors);
  timeval tv{static_cast<long>(left.count() / 1000000), static_cast<long>(left.count() % 1000000)};
  int r = ::select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &tv);
  failed = r == SOCKET_ERROR || (r > 0 && FD_ISSET(s, &errors));
  return r > 0;
}

}  // namespace

std::unique_ptr<WinNetDevice> WinNetDevice::Connect(const netport::Address& address, int& error) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  error = kNotThere;
  if (!started) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  if (::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    return nullptr;
  }
  const Time deadline = Clock::now() + kConnectWithin;
  SOCKET s = INVALID_SOCKET;
  for (addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next) {
    s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    u_long nonblocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonblocking);
    int r = ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen));
    if (r != 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      // Bounded: a server that does not answer must not hold up the monitor and its ESC.
      bool failed = false;
      r = Wait(s, true, deadline, failed) && !failed ? 0 : -1;
      if (r != 0) error = failed ? kNotThere : kNoAnswer;
    } else if (r != 0) {
      error = kNotThere;
    }
    if (r != 0) {
      ::closesocket(s);
      s = INVALID_SOCKET;
    }
  }
  ::freeaddrinfo(found);
  if (s == INVALID_SOCKET) return nullptr;
  // No Nagle; keep-alives and a bound on unacknowledged data find a dead connection in
  // seconds. Where Windows (or Wine) lacks one of these, the others still hold.
  BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  tcp_keepalive keep{1, 2000, 1000};
  DWORD bytes = 0;
  ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &keep, sizeof keep, nullptr, 0, &bytes, nullptr, nullptr);
  DWORD max_rt = 4;
  ::setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char*>(&max_rt), sizeof max_rt);
  std::unique_ptr<WinNetDevice> dev(new WinNetDevice(s, address.rfc2217));
  if (!dev->Greet()) return nullptr;
  error = 0;
  return dev;
}

WinNetDevice::~WinNetDevice() {
  ::closesocket(socket_);
}

bool WinNetDevice::SendAll(std::string_view bytes, Time deadline) {
  while (!bytes.empty() && !lost_) {
    int w = ::send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0);
    if (w > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(w));
      continue;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      lost_ = true;
      break;
    }
    bool failed = false;
    if (!Wait(socket_, true, deadline, failed) || failed) return false;
  }
  return !lost_;
}

long WinNetDevice::ReceiveSome(char* buf, std::size_t size, Time deadline) {
  for (;;) {
    int n = ::recv(socket_, buf, static_cast<int>(size), 0);
    if (n > 0) return n;
    if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return -1;
    bool failed = false;
    if (!Wait(socket_, false, deadline, failed)) return 0;
    if (failed) return -1;
  }
}

std::chrono::microseconds WinNetDevice::RoundTrip() const {
  DWORD version = 0, bytes = 0;
  TCP_INFO_v0 info{};
  if (::WSAIoctl(socket_, SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &bytes,
                 nullptr, nullptr) != 0) {
    return {};
  }
  return std::chrono::microseconds(info.MinRttUs);
}

}  // namespace platform::windows
