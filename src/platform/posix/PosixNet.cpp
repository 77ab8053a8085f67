#include "platform/posix/PosixNet.h"

#include "platform/posix/WaitTime.h"

#include <linux/tcp.h>  // tcp_info with its minimum round trip
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace platform::posix {
namespace {

using Clock = std::chrono::steady_clock;

// How long a connection may take to be made.
constexpr std::chrono::milliseconds kConnectWithin{2000};
// A connection that carries nothing back for this long is dead (a cable pulled between
// the server and the network): the kernel gives it up, and the device is lost.
constexpr int kKeepIdleS = 2, kKeepIntervalS = 1, kKeepCount = 2, kUserTimeoutMs = 4000;

constexpr int kNotThere = 2, kNoAnswer = 121;  // Windows' codes

int ErrorFor(int e) {
  return e == ETIMEDOUT ? kNoAnswer : e == EACCES || e == EPERM ? 5 : kNotThere;
}

}  // namespace

std::unique_ptr<PosixNetDevice> PosixNetDevice::Connect(const netport::Address& address,
                                                        int& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  if (::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    error = kNotThere;
    return nullptr;
  }
  const Time deadline = Clock::now() + kConnectWithin;
  int fd = -1;
  error = kNotThere;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
    if (r != 0 && errno == EINPROGRESS) {
      // Bounded: a server that does not answer must not hold up the monitor and its ESC.
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd p{fd, POLLOUT, 0};
      int soerr = ETIMEDOUT;
      socklen_t len = sizeof soerr;
      if (::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0))) == 1) {
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &len);
      }
      r = soerr == 0 ? 0 : -1;
      errno = soerr;
    }
    if (r != 0) {
      error = ErrorFor(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  if (fd < 0) return nullptr;
  // A command goes out at once, not after the last one's acknowledgement (Nagle); a dead
  // connection is found within seconds, not the kernel's two hours.
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleS, sizeof kKeepIdleS);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalS, sizeof kKeepIntervalS);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUserTimeoutMs, sizeof kUserTimeoutMs);
  std::unique_ptr<PosixNetDevice> dev(new PosixNetDevice(fd, address.rfc2217));
  if (!dev->Greet()) {
    error = kNotThere;
    return nullptr;
  }
  error = 0;
  return dev;
}

PosixNetDevice::~PosixNetDevice() {
  if (fd_ >= 0) ::close(fd_);
}

bool PosixNetDevice::SendAll(std::string_view bytes, Time deadline) {
  while (!bytes.empty() && !lost_) {
    ssize_t w = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (w > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(w));
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) {
      lost_ = true;
      break;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
  }
  return !lost_;
}

long PosixNetDevice::ReceiveSome(char* buf, std::size_t size, Time deadline) {
  for (;;) {
    // Each piece acknowledged at once: a server that holds a reply's last bytes until the
    // first are acknowledged (Nagle) would otherwise wait for the delayed acknowledgement,
    // 40 ms, a window's worth. Linux takes the setting back now and then: it is set anew.
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    ssize_t n = ::recv(fd_, buf, size, 0);
    if (n > 0) return static_cast<long>(n);
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) return -1;
    const auto left = deadline - Clock::now();
    if (left.count() <= 0) return 0;
    // To the nanosecond, as on a local port (Linux lets a poll run 0.1 % over: that much
    // shorter; should it end early, the loop waits the rest).
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left);
    const timespec ts = WaitTime(ns - ns / 1001);
    pollfd p{fd_, POLLIN, 0};
    int r = ::ppoll(&p, 1, &ts, nullptr);
    if (r < 0 && errno != EINTR) return -1;
    if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN)) return -1;
  }
}

std::chrono::microseconds PosixNetDevice::RoundTrip() const {
  // The kernel's windowed minimum, kept up to date: the smoothed round trip would take in
  // the server's delayed acknowledgements and the controller's turn-around, which carry
  // the acknowledgement of a command on its reply, and put every window late.
  tcp_info info{};
  socklen_t len = sizeof info;
  if (::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &len) != 0 ||
      len < offsetof(tcp_info, tcpi_min_rtt) + sizeof info.tcpi_min_rtt) {
    return {};
  }
  return std::chrono::microseconds(info.tcpi_min_rtt);
}

}  // namespace platform::posix
