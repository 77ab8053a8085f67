#include "Pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {

Pty OpenPty(const std::string& link) {
  Pty p;
  p.master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (p.master < 0 || ::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0) {
    p.error = std::string("pseudo-terminal: ") + std::strerror(errno);
    return p;
  }
  p.path = ::ptsname(p.master);
  // Raw, so that nothing is echoed before a client sets it up.
  p.slave = ::open(p.path.c_str(), O_RDWR | O_NOCTTY);
  if (p.slave >= 0) {
    struct termios t {};
    ::tcgetattr(p.slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(p.slave, TCSANOW, &t);
  }
  ::fcntl(p.master, F_SETFL, ::fcntl(p.master, F_GETFL) | O_NONBLOCK);
  if (!link.empty()) {
    ::unlink(link.c_str());
    if (::symlink(p.path.c_str(), link.c_str()) != 0) {
      p.error = "link " + link + ": " + std::strerror(errno);
    }
  }
  return p;
}

void ClosePty(Pty& p, const std::string& link) {
  if (!link.empty()) ::unlink(link.c_str());
  if (p.slave >= 0) ::close(p.slave);
  if (p.master >= 0) ::close(p.master);
  p.slave = p.master = -1;
}

}  // namespace sim
