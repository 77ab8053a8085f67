#include "platform/posix/PosixSerial.h"

#include "platform/posix/PosixNet.h"
#include "platform/posix/WaitTime.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace platform::posix {
namespace {

using SteadyTime = std::chrono::steady_clock;
using comLib3::Parity;

speed_t SpeedFor(unsigned baud) {
  static constexpr struct {
    unsigned baud;
    speed_t speed;
  } kSpeeds[] = {{300, B300},     {600, B600},      {1200, B1200},   {2400, B2400},
                 {4800, B4800},   {9600, B9600},    {19200, B19200}, {38400, B38400},
                 {57600, B57600}, {115200, B115200}};
  for (const auto& s : kSpeeds) {
    if (s.baud == baud) return s.speed;
  }
  return B0;
}

}  // namespace

std::string PortPath(int port) {
  std::string var = "CLIMON_COM" + std::to_string(port);
  if (const char* p = std::getenv(var.c_str()); p != nullptr && *p != '\0') return p;
  return "/dev/ttyS" + std::to_string(port - 1);
}

int WindowsErrorFor(int e) {
  static constexpr struct {
    int errno_value, windows;
  } kCodes[] = {
      {ENOENT, 2},         {ENODEV, 2},  {ENXIO, 2},   // ERROR_FILE_NOT_FOUND
      {ENOTDIR, 3},                                    // ERROR_PATH_NOT_FOUND
      {EMFILE, 4},         {ENFILE, 4},                // ERROR_TOO_MANY_OPEN_FILES
      {EACCES, 5},         {EPERM, 5},   {EBUSY, 5},   // ERROR_ACCESS_DENIED
      {EISDIR, 5},         {EROFS, 5},   {ENOMEM, 8},  // ERROR_NOT_ENOUGH_MEMORY
      {ENOTTY, 1},         {EINVAL, 87},               // ERROR_INVALID_FUNCTION, _PARAMETER
      {ENAMETOOLONG, 206},                             // ERROR_FILENAME_EXCED_RANGE
      {ELOOP, 1921},                                   // ERROR_CANT_RESOLVE_FILENAME
      {EIO, 1117},                                     // ERROR_IO_DEVICE
  };
  for (const auto& c : kCodes) {
    if (c.errno_value == e) return c.windows;
  }
  return 31;  // ERROR_GEN_FAILURE: the device does not work
}

PosixSerialDevice::PosixSerialDevice(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  // The lock keeps out every other climon, root included; TIOCEXCL keeps out other
  // programs that do not take the lock (root passes it).
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    error_ = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd_);
    fd_ = -1;
    return;
  }
  ::ioctl(fd_, TIOCEXCL);
}

PosixSerialDevice::~PosixSerialDevice() {
  if (fd_ >= 0) {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
}

void PosixSerialDevice::Failed(int e) {
  if (e == EIO || e == ENXIO || e == ENODEV || e == EBADF || e == EPIPE) lost_ = true;
}

int PosixSerialDevice::Configure(unsigned baud, int data_bits, Parity parity, int stop_bits) {
  struct termios t {};
  if (::tcgetattr(fd_, &t) != 0) return WindowsErrorFor(errno);
  ::cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP);
  t.c_iflag |= IGNBRK;
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CLOCAL | CREAD;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= data_bits >= 5 && data_bits <= 8 ? kSizes[data_bits - 5] : CS8;
  if (parity != Parity::kNone) t.c_cflag |= PARENB;
  if (parity == Parity::kOdd) t.c_cflag |= PARODD;
  if (stop_bits == 2) t.c_cflag |= CSTOPB;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  speed_t speed = SpeedFor(baud);
  if (speed == B0) return WindowsErrorFor(EINVAL);
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return WindowsErrorFor(errno);
  // A start bit, the data bits, the parity bit and the stop bits.
  int bits = 1 + data_bits + (parity != Parity::kNone ? 1 : 0) + (stop_bits == 2 ? 2 : 1);
  char_time_ = std::chrono::nanoseconds(1'000'000'000LL * bits / baud);
  // DTR and RTS off; a pseudo-terminal has no modem lines and refuses this.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIC, &lines);
  return 0;
}

void PosixSerialDevice::Purge() {
  if (::tcflush(fd_, TCIOFLUSH) != 0) Failed(errno);
}

short PosixSerialDevice::Wait(short events, SteadyTime::time_point deadline) {
  for (;;) {
    auto left = deadline - SteadyTime::now();
    if (left.count() <= 0) return 0;
    // To the nanosecond: a timeout in whole milliseconds would end every window late. And
    // Linux lets every poll run 0.1 % over its timeout, so the timeout is that much
    // shorter: the wait ends at the deadline, not up to 55 us after it. Should it end a
    // little before, the loop waits the rest.
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left);
    struct timespec ts = WaitTime(ns - ns / 1001);
    struct pollfd pfd {
      fd_, events, 0
    };
    int r = ::ppoll(&pfd, 1, &ts, nullptr);
    if (r > 0) {
      if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL) && !(pfd.revents & events)) lost_ = true;
      return lost_ ? 0 : pfd.revents;
    }
    if (r < 0 && errno != EINTR) {
      lost_ = true;
      return 0;
    }
  }
}

void PosixSerialDevice::Write(std::string_view bytes) {
  // Bounded: a line that takes nothing (a stuck adapter) must not hang the program.
  written_at_ = SteadyTime::now();
  written_ = bytes.size();
  auto deadline = written_at_ + std::chrono::seconds(1);
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  while (n > 0 && !lost_) {
    ssize_t w = ::write(fd_, p, n);
    if (w > 0) {
      p += w;
      n -= static_cast<std::size_t>(w);
    } else if (w < 0 && errno == EAGAIN) {
      if (Wait(POLLOUT, deadline) == 0) return;
    } else if (w < 0 && errno != EINTR) {
      Failed(errno);
      return;
    }
  }
}

void PosixSerialDevice::Drain() {
  // write() returns once the bytes are in the kernel's buffer, long before they have
  // left at 9600 baud; a reply's window that opened then would close early. The window
  // opens when they have left: the next read's deadline counts from then, so the wait
  // for the sending is that read's own, without a wake-up of its own. What the kernel
  // still holds (a slow adapter) puts it later, by at most a second.
  const auto sent = written_at_ + char_time_ * static_cast<long>(written_);
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) queued = 0;
  const auto now = SteadyTime::now();
  window_opens_ = std::min(std::max(sent, now + char_time_ * std::max(queued, 0)),
                           sent + std::chrono::seconds(1));
}

std::size_t PosixSerialDevice::Read(char* buf, std::size_t count) {
  const auto deadline = std::max(SteadyTime::now(), window_opens_) + timeout_;
  window_opens_ = {};
  if (count != wake_count_ && count > 0 && count <= 255) {
    // With VMIN at the byte count (and VTIME 0) Linux reports the line readable only once
    // that many bytes are in: one wake-up at the window's end or when the read is full,
    // instead of one more for the first bytes of every reply. The descriptor does not
    // block, so a read still takes what there is.
    struct termios t {};
    if (::tcgetattr(fd_, &t) == 0) {
      t.c_cc[VMIN] = static_cast<cc_t>(count);
      t.c_cc[VTIME] = 0;
      ::tcsetattr(fd_, TCSANOW, &t);
    }
    wake_count_ = count;
  }
  std::size_t got = 0;
  while (got < count && !lost_) {
    bool ready = (Wait(POLLIN, deadline) & POLLIN) != 0;
    if (lost_) break;
    // Once ready, or once the window has passed: what there is.
    ssize_t n = ::read(fd_, buf + got, count - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n == 0) {
      lost_ = true;  // the line hung up
    } else if (errno != EINTR && errno != EAGAIN) {
      lost_ = true;
    }
    if (!ready) break;  // that was the window's last read
  }
  return got;
}

std::string PosixSerialPorts::Server(int port) const {
  const std::string path = PortPath(port);
  return netport::IsAddress(path) ? path : "";
}

std::unique_ptr<comLib3::SerialDevice> PosixSerialPorts::Open(int port, int& error) {
  const std::string path = PortPath(port);
  if (netport::IsAddress(path)) return netport::Open<PosixNetDevice>(path, error);
  auto dev = std::make_unique<PosixSerialDevice>(path);
  if (dev->fd() < 0) {
    error = WindowsErrorFor(dev->error());
    return nullptr;
  }
  error = 0;
  return dev;
}

}  // namespace platform::posix
