#include "platform/windows/WinHeadless.h"

#include <windows.h>

#include "platform/windows/ControlEvents.h"

namespace platform::windows {
namespace {

// What asked for the stop: a console control event, or the service manager; 0: nothing.
constexpr LONG kServiceStop = 1;
volatile LONG g_stop = 0;

BOOL WINAPI OnControl(DWORD event) {
  InterlockedCompareExchange(&g_stop, static_cast<LONG>(event) + 2, 0);
  // For close, logoff and shutdown, Windows ends the process when the handler returns:
  // give the monitor the time of a failing transaction to stop as ESC does.
  Sleep(500);
  return TRUE;
}

}  // namespace

WinHeadless::WinHeadless() {
  g_stop = 0;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

WinHeadless::~WinHeadless() {
  Restore();
}

void WinHeadless::Restore() {
  if (restored_) return;
  restored_ = true;
  SetConsoleCtrlHandler(OnControl, FALSE);
}

void WinHeadless::RequestStop() {
  InterlockedCompareExchange(&g_stop, kServiceStop, 0);
}

bool WinHeadless::StopRequested() {
  return InterlockedCompareExchange(&g_stop, 0, 0) != 0;
}

std::string WinHeadless::StopRequestedBy() const {
  const LONG stop = InterlockedCompareExchange(&g_stop, 0, 0);
  if (stop == 0) return "";
  return stop == kServiceStop ? "service stop" : ControlEventName(static_cast<DWORD>(stop - 2));
}

}  // namespace platform::windows
