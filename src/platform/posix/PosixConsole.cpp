#include "platform/posix/PosixConsole.h"

#include "platform/posix/SignalName.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>

namespace platform::posix {
namespace {

// What the signal handlers need, kept where they can reach it without locks.
struct termios g_saved, g_raw;
volatile sig_atomic_t g_have_saved = 0;
volatile sig_atomic_t g_active = 0;  // the terminal is ours: raw, to be restored
volatile sig_atomic_t g_last_row = 0;
volatile sig_atomic_t g_repaint = 0;  // set by a resize or a resumed stop
volatile sig_atomic_t g_resized = 0;
volatile sig_atomic_t g_stop_as_key = 0;  // stop requests taken: a signal ends the run as ESC
volatile sig_atomic_t g_stop_signal = 0;  // the signal that asked for that end
// How long a run may take to end as ESC ends it before the signal ends it at once.
constexpr unsigned kStopBoundSeconds = 5;

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Every signal the console takes, with what was there before: the way out puts it back.
constexpr int kTaken[] = {SIGINT, SIGTERM, SIGHUP,  SIGQUIT, SIGSEGV,  SIGBUS,  SIGFPE,
                          SIGILL, SIGABRT, SIGTSTP, SIGCONT, SIGWINCH, SIGPIPE, SIGALRM};
struct sigaction g_found[std::size(kTaken)];

const struct sigaction* Found(int sig) {
  for (std::size_t i = 0; i < std::size(kTaken); ++i) {
    if (kTaken[i] == sig) return &g_found[i];
  }
  return nullptr;
}

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

// The terminal as it was found; async-signal-safe.
void GiveBackTerminal() {
  char buf[64];
  std::size_t n = console::RestoreBytes(buf, g_last_row);
  // And the line below cleared: a shell's prompt lands on a clean row.
  for (const char* p = "\x1b[K"; *p != '\0'; ++p) buf[n++] = *p;
  WriteAll(STDOUT_FILENO, buf, n);
  if (g_have_saved) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
}

void RestoreTerminal() {
  if (!g_active) return;
  g_active = 0;
  GiveBackTerminal();
}

bool InForeground() {
  return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

void DieOf(int sig) {
  RestoreTerminal();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void OnEndSignal(int sig) {
  // Once stop requests are taken, the first ends the run as ESC does, so that the record
  // has its end; a second one, SIGQUIT, or a run that has not ended within the bound
  // ends the program at once.
  if (g_stop_as_key && g_stop_signal == 0 && sig != SIGQUIT) {
    g_stop_signal = sig;
    ::alarm(kStopBoundSeconds);
    return;
  }
  DieOf(sig);
}

void OnAlarm(int) {
  if (g_stop_signal != 0) DieOf(g_stop_signal);
}

void OnCrash(int sig) {
  RestoreTerminal();
  ::sigaction(sig, Found(sig), nullptr);
  // Delivered once this handler returns, to the handler that was there before (a
  // sanitizer's report, or the default: the process dies of it).
  ::raise(sig);
}

void OnStop(int) {
  int saved_errno = errno;
  if (g_active) GiveBackTerminal();
  ::signal(SIGTSTP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(SIGTSTP);  // stops here until SIGCONT
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTSTP, &sa, nullptr);
  errno = saved_errno;
}

void OnContinue(int) {
  int saved_errno = errno;
  // Only in the foreground: a background process that set the mode would stop again.
  if (g_active && g_have_saved && InForeground()) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_raw);
    g_repaint = 1;
  }
  errno = saved_errno;
}

void OnResize(int) {
  g_resized = 1;
  g_repaint = 1;
}

void Handle(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  ::sigaction(sig, &sa, nullptr);
}

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
    g_raw = g_saved;
    g_raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK);
    g_raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    // Ctrl-C still ends the program, as in a console window. Ctrl-Z is a key there, not
    // a stop, so it is not one here either; a stop sent from outside is handled.
    g_raw.c_lflag |= ISIG;
    g_raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    // Ctrl-\ is a key, as in a Windows console, not SIGQUIT; Ctrl-C stays the way out.
    g_raw.c_cc[VQUIT] = _POSIX_VDISABLE;
    g_raw.c_cc[VMIN] = 1;
    g_raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_raw);
    g_have_saved = 1;
  }
  g_last_row = 0;
  g_repaint = 0;
  g_resized = 0;
  g_stop_as_key = 0;
  g_stop_signal = 0;
  g_active = 1;
  for (std::size_t i = 0; i < std::size(kTaken); ++i) ::sigaction(kTaken[i], nullptr, &g_found[i]);
  for (int s : kEndSignals) Handle(s, OnEndSignal);
  for (int s : kCrashSignals) Handle(s, OnCrash);
  Handle(SIGTSTP, OnStop);
  Handle(SIGCONT, OnContinue);
  Handle(SIGWINCH, OnResize);
  Handle(SIGPIPE, SIG_IGN);
  Handle(SIGALRM, OnAlarm);
  if (::pipe(wake_) == 0) {
    // The thread takes no signal: the handlers run on the program's own thread.
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old);
    reader_ = std::thread([this] { TakeInput(); });
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }
}

PosixConsole::~PosixConsole() {
  Restore();
}

void PosixConsole::TakeInput() {
  for (;;) {
    struct pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;
    char buf[256];
    ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    TimePoint at = Now();
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    std::lock_guard<std::mutex> lock(input_mutex_);
    if (n <= 0) {
      input_ended_ = true;
      input_came_.notify_all();
      return;
    }
    input_.push_back({at, std::string(buf, static_cast<std::size_t>(n))});
    input_came_.notify_all();
  }
}

void PosixConsole::StopInput() {
  if (!reader_.joinable()) return;
  char end = 0;
  while (::write(wake_[1], &end, 1) < 0 && errno == EINTR) {
  }
  reader_.join();
  ::close(wake_[0]);
  ::close(wake_[1]);
  std::lock_guard<std::mutex> lock(input_mutex_);
  input_ended_ = true;  // nothing more is taken from the terminal
}

void PosixConsole::Restore() {
  if (restored_) return;
  restored_ = true;
  StopInput();
  RestoreTerminal();
  if (g_stop_signal != 0) ::alarm(0);
  for (std::size_t i = 0; i < std::size(kTaken); ++i) ::sigaction(kTaken[i], &g_found[i], nullptr);
  g_have_saved = 0;
}

void PosixConsole::Send(const std::string& bytes) {
  if (!bytes.empty()) WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

void PosixConsole::Show(bool place_cursor) {
  cursor_placed_ = place_cursor;
  Send(renderer_.Update(screen(), place_cursor));
  g_last_row = renderer_.LastWrittenRow();
}

void PosixConsole::RepaintIfAsked() {
  if (!g_repaint || restored_) return;
  g_repaint = 0;
  if (g_resized) {
    g_resized = 0;
    TermSize now = MeasureTerminal();
    renderer_.SetViewport(now.cols, now.rows);
  }
  renderer_.Invalidate();
  Show(cursor_placed_);
}

void PosixConsole::Flush() {
  RepaintIfAsked();
  Show(false);
}

bool PosixConsole::KeyPressed() {
  return g_stop_signal != 0 ? stop_.Pressed() : keys_.KeyPressed();
}

bool PosixConsole::StopPending() {
  return g_stop_signal != 0 || keys_.StopPending();
}

std::uint8_t PosixConsole::ReadKey() {
  // The operator waits on this key: show where the cursor is.
  RepaintIfAsked();
  Show(true);
  // In short waits: a signal only sets a flag, and it ends the wait as the ESC key.
  for (;;) {
    if (g_stop_signal != 0) return stop_.Read();
    if (keys_.KeyPressed() || !WaitForInput()) return keys_.ReadKey();
  }
}

bool PosixConsole::WaitForInput() {
  std::unique_lock<std::mutex> lock(input_mutex_);
  input_came_.wait_for(lock, std::chrono::milliseconds(50),
                       [this] { return !input_.empty() || input_ended_; });
  return !input_.empty() || !input_ended_;
}

void PosixConsole::TakeStopRequests() {
  g_stop_as_key = 1;
}

std::string PosixConsole::StopRequestedBy() const {
  return g_stop_signal != 0 ? SignalName(g_stop_signal) : "";
}

int PosixConsole::StopSignal() const {
  return g_stop_signal;
}

PosixConsole::TimePoint PosixConsole::Now() {
  return std::chrono::steady_clock::now();
}

bool PosixConsole::Read(std::vector<Chunk>& chunks, TimePoint until) {
  RepaintIfAsked();
  std::unique_lock<std::mutex> lock(input_mutex_);
  // In short steps: a resize or a resumed stop, which only sets a flag, is drawn while a
  // prompt waits for its key.
  constexpr std::chrono::milliseconds kStep{50};
  while (input_.empty() && !input_ended_ && Now() < until) {
    TimePoint step = Now() + kStep;
    input_came_.wait_until(lock, until < step ? until : step);
    if (g_repaint) {
      lock.unlock();
      RepaintIfAsked();
      lock.lock();
    }
  }
  chunks.insert(chunks.end(), input_.begin(), input_.end());
  input_.clear();
  return !(input_ended_ && chunks.empty());
}

}  // namespace platform::posix
