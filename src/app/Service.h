// What a Windows service tells the service control manager at each step of its life, apart
// from the Windows calls so that its transitions are tested on any platform. The numbers
// are the manager's own (SERVICE_RUNNING, SERVICE_ACCEPT_STOP...).
#pragma once

#include <cstdint>

namespace app {

struct ServiceStatus {
  enum State : std::uint32_t {
    kStopped = 1,
    kStartPending = 2,
    kStopPending = 3,
    kRunning = 4
  } state = kStopped;
  std::uint32_t controls = 0;       // the controls accepted now
  std::uint32_t win32_exit = 0;     // 0, or kServiceSpecificError
  std::uint32_t specific_exit = 0;  // the program's exit status, when it failed
  std::uint32_t checkpoint = 0, wait_hint_ms = 0;
};

inline constexpr std::uint32_t kControlStop = 1, kControlInterrogate = 4, kControlShutdown = 5,
                               kControlPreshutdown = 0xF;
inline constexpr std::uint32_t kAcceptStop = 0x1, kAcceptShutdown = 0x4, kAcceptPreshutdown = 0x100;
inline constexpr std::uint32_t kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR

class ServiceStates {
 public:
  // At once, before anything that may take time: the manager waits at most 30 s for it.
  ServiceStatus Starting();
  // The monitor is about to run; stop, shutdown and preshutdown are taken from now on.
  ServiceStatus Running();
  // A control from the manager: what to report, and whether the program is to end now
  // (stop, shutdown, preshutdown: as ESC ends the monitor).
  ServiceStatus Control(std::uint32_t control, bool& stop);
  // The program ended with `exit_status`: a failure is a service-specific code, so that
  // the manager's recovery starts the room again.
  ServiceStatus Stopped(int exit_status);

 private:
  ServiceStatus s_;
};

}  // namespace app
