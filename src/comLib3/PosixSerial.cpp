#include "comLib3/PosixSerial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace comLib3 {
namespace {

using SteadyTime = std::chrono::steady_clock;

speed_t SpeedFor(unsigned baud) {
  switch (baud) {
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    default:
      return B0;
  }
}

int RemainingMs(SteadyTime::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyTime::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

std::string PosixPortPath(int port) {
  std::string var = "CLIMON_COM" + std::to_string(port);
  if (const char* p = std::getenv(var.c_str()); p != nullptr && *p != '\0') return p;
  return "/dev/ttyS" + std::to_string(port - 1);
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

int PosixSerialDevice::Configure(unsigned baud, int data_bits, Parity parity, int stop_bits) {
  struct termios t {};
  if (::tcgetattr(fd_, &t) != 0) return errno;
  ::cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP);
  t.c_iflag |= IGNBRK;
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CLOCAL | CREAD;
  switch (data_bits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }
  if (parity != Parity::kNone) t.c_cflag |= PARENB;
  if (parity == Parity::kOdd) t.c_cflag |= PARODD;
  if (stop_bits == 2) t.c_cflag |= CSTOPB;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  speed_t speed = SpeedFor(baud);
  if (speed == B0) return EINVAL;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
  // DTR and RTS off; a pseudo-terminal has no modem lines and refuses this.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIC, &lines);
  return 0;
}

void PosixSerialDevice::Purge() {
  ::tcflush(fd_, TCIOFLUSH);
}

void PosixSerialDevice::Write(std::string_view bytes) {
  // Bounded: a line that takes nothing (a stuck adapter) must not hang the program.
  auto deadline = SteadyTime::now() + std::chrono::milliseconds(1000);
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w > 0) {
      p += w;
      n -= static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) return;
    int left = RemainingMs(deadline);
    if (left == 0) return;
    struct pollfd pfd {
      fd_, POLLOUT, 0
    };
    ::poll(&pfd, 1, left);
  }
}

std::size_t PosixSerialDevice::Read(char* buf, std::size_t count) {
  auto deadline = SteadyTime::now() + timeout_;
  std::size_t got = 0;
  bool dead = false;
  while (got < count) {
    int left = RemainingMs(deadline);
    if (left == 0) break;
    if (dead) {
      // Hung up or failing: wait out the window instead of spinning.
      std::this_thread::sleep_until(deadline);
      break;
    }
    struct pollfd pfd {
      fd_, POLLIN, 0
    };
    int r = ::poll(&pfd, 1, left);
    if (r < 0) {
      if (errno == EINTR) continue;
      dead = true;
      continue;
    }
    if (r == 0) continue;
    if (pfd.revents & POLLIN) {
      ssize_t n = ::read(fd_, buf + got, count - got);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      dead = true;
      continue;
    }
    dead = true;  // POLLHUP, POLLERR or POLLNVAL without data
  }
  return got;
}

std::unique_ptr<SerialDevice> PosixSerialPorts::Open(int port, int& error) {
  auto dev = std::make_unique<PosixSerialDevice>(PosixPortPath(port));
  if (dev->fd() < 0) {
    error = dev->error();
    return nullptr;
  }
  error = 0;
  return dev;
}

}  // namespace comLib3
