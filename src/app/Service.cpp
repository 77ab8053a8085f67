#include "app/Service.h"

namespace app {
namespace {

// The monitor ends within a failing transaction's time of a stop; the hint leaves room.
constexpr std::uint32_t kStopHintMs = 5000;
constexpr std::uint32_t kStartHintMs = 3000;

}  // namespace

ServiceStatus ServiceStates::Starting() {
  s_ = ServiceStatus{};
  s_.state = ServiceStatus::kStartPending;
  s_.checkpoint = 1;
  s_.wait_hint_ms = kStartHintMs;
  return s_;
}

ServiceStatus ServiceStates::Running() {
  if (s_.state != ServiceStatus::kStartPending) return s_;  // a stop came first
  s_ = ServiceStatus{};
  s_.state = ServiceStatus::kRunning;
  s_.controls = kAcceptStop | kAcceptShutdown | kAcceptPreshutdown;
  return s_;
}

ServiceStatus ServiceStates::Control(std::uint32_t control, bool& stop) {
  stop = false;
  bool ending =
      control == kControlStop || control == kControlShutdown || control == kControlPreshutdown;
  if (!ending || s_.state == ServiceStatus::kStopped) return s_;
  stop = true;
  if (s_.state != ServiceStatus::kStopPending) {
    s_ = ServiceStatus{};
    s_.state = ServiceStatus::kStopPending;
  }
  ++s_.checkpoint;  // a second stop is progress too
  s_.wait_hint_ms = kStopHintMs;
  return s_;
}

ServiceStatus ServiceStates::Stopped(int exit_status) {
  s_ = ServiceStatus{};
  s_.state = ServiceStatus::kStopped;
  if (exit_status != 0) {
    s_.win32_exit = kServiceSpecificError;
    s_.specific_exit = static_cast<std::uint32_t>(exit_status);
  }
  return s_;
}

}  // namespace app
