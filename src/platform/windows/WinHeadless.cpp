#include "platform/windows/WinHeadless.h"

#include <windows.h>

namespace platform::windows {
namespace {

volatile LONG g_stop = 0;

BOOL WINAPI OnControl(DWORD) {
  InterlockedExchange(&g_stop, 1);
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
  InterlockedExchange(&g_stop, 1);
}

bool WinHeadless::StopRequested() {
  return InterlockedCompareExchange(&g_stop, 0, 0) != 0;
}

}  // namespace platform::windows
