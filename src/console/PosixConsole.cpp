#include "console/PosixConsole.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "console/TextInput.h"

namespace console {
namespace {

// What the signal handler needs, kept where it can reach it without locks.
struct termios g_saved;
volatile sig_atomic_t g_have_saved = 0;
volatile sig_atomic_t g_active = 0;
volatile sig_atomic_t g_last_row = 0;

void WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        struct pollfd pfd {
          fd, POLLOUT, 0
        };
        if (::poll(&pfd, 1, 1000) <= 0) return;
        continue;
      }
      return;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

// Builds the restoring bytes with async-signal-safe means only.
std::size_t RestoreBytes(char* buf, int last_row) {
  std::size_t n = 0;
  auto put = [&](const char* s) {
    while (*s) buf[n++] = *s++;
  };
  put("\x1b[0m\x1b[?25h");
  if (last_row > 0) {
    char digits[12];
    int k = 0;
    for (int v = last_row; v > 0; v /= 10) digits[k++] = static_cast<char>('0' + v % 10);
    put("\x1b[");
    while (k > 0) buf[n++] = digits[--k];
    put("H");
  }
  put("\r\n\x1b[K");
  return n;
}

void RestoreTerminal() {
  if (!g_active) return;
  g_active = 0;
  char buf[64];
  std::size_t n = RestoreBytes(buf, g_last_row);
  WriteAll(STDOUT_FILENO, buf, n);
  if (g_have_saved) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
}

void OnSignal(int sig) {
  RestoreTerminal();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

}  // namespace

TermSize MeasureTerminal() {
  struct winsize ws {};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    return {ws.ws_col, ws.ws_row};
  }
  return {80, 25};
}

PosixConsole::PosixConsole() : PosixConsole(MeasureTerminal()) {}

PosixConsole::PosixConsole(TermSize size) : Console(size.cols, size.rows) {
  if (::tcgetattr(STDIN_FILENO, &g_saved) == 0) {
    g_have_saved = 1;
    struct termios raw = g_saved;
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    // Ctrl-C still ends the program, as in a console window; Ctrl-Z would leave the
    // terminal raw behind a stopped program, so it is switched off.
    raw.c_lflag |= ISIG;
    raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw);
  }
  g_last_row = 0;
  g_active = 1;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  for (int s : kSignals) ::sigaction(s, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

PosixConsole::~PosixConsole() {
  Restore();
}

void PosixConsole::Restore() {
  if (restored_) return;
  restored_ = true;
  RestoreTerminal();
  for (int s : kSignals) ::signal(s, SIG_DFL);
  g_have_saved = 0;
}

void PosixConsole::Send(const std::string& bytes) {
  if (!bytes.empty()) WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

void PosixConsole::Flush() {
  Send(renderer_.Update(screen(), false));
  g_last_row = renderer_.LastWrittenRow();
}

bool PosixConsole::Pump(std::chrono::milliseconds wait) {
  if (input_closed_) return false;
  struct pollfd pfd {
    STDIN_FILENO, POLLIN, 0
  };
  int r = ::poll(&pfd, 1, static_cast<int>(wait.count()));
  if (r <= 0) return true;
  unsigned char buf[256];
  ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    input_closed_ = true;
    return false;
  }
  auto now = std::chrono::steady_clock::now();
  for (ssize_t i = 0; i < n; ++i) decoder_.Feed(buf[i], now);
  return true;
}

bool PosixConsole::KeyPressed() {
  Pump(std::chrono::milliseconds(0));
  return decoder_.Ready(std::chrono::steady_clock::now());
}

std::uint8_t PosixConsole::ReadKey() {
  // The operator waits on this key: show where the cursor is.
  Send(renderer_.Update(screen(), true));
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (auto k = decoder_.Next(now)) return *k;
    auto wait = std::chrono::milliseconds(1000);
    if (auto d = decoder_.Deadline()) {
      wait = std::chrono::duration_cast<std::chrono::milliseconds>(*d - now) +
             std::chrono::milliseconds(1);
      if (wait.count() < 1) wait = std::chrono::milliseconds(1);
    }
    if (!Pump(wait)) {
      // Input has ended: a lone ESC still in the decoder counts once its wait is over.
      if (!decoder_.Deadline()) throw FatalError(1, "console input closed");
      std::this_thread::sleep_for(wait);
    }
  }
}

}  // namespace console
