#include "platform/posix/PosixHeadless.h"

#include "platform/posix/SignalName.h"

namespace platform::posix {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile sig_atomic_t g_stop = 0;

void OnStop(int sig) {
  g_stop = sig;
}

}  // namespace

PosixHeadless::PosixHeadless() {
  g_stop = 0;
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  sigemptyset(&sa.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &sa, &old_[i]);
}

PosixHeadless::~PosixHeadless() {
  Restore();
}

void PosixHeadless::Restore() {
  if (restored_) return;
  restored_ = true;
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &old_[i], nullptr);
}

bool PosixHeadless::StopRequested() {
  return g_stop != 0;
}

std::string PosixHeadless::StopRequestedBy() const {
  return g_stop != 0 ? SignalName(g_stop) : "";
}

}  // namespace platform::posix
