#include "platform/windows/WinConsole.h"
#include "platform/windows/ControlEvents.h"
#include "platform/windows/WinText.h"

#include <cstdlib>
#include <cstring>

#include "console/Cp437.h"
#include "console/FatalError.h"
#include "console/KeyCodes.h"
#include "console/KeyRecordMap.h"

namespace platform::windows {
namespace {

// The console that the control handler and the crash filter give back. They run on other
// threads (or at a crash), so every flush and the restore hold the lock.
WinConsole* g_console = nullptr;
CRITICAL_SECTION g_lock;
LPTOP_LEVEL_EXCEPTION_FILTER g_found_filter = nullptr;  // chained after the restore

// Once stop requests are taken, the first control event ends the run as ESC does, so that the
// record has its end; the handler waits for that (Windows ends the process when a close, logoff or
// shutdown handler returns, 5 s at the most after the event). A second event, one before
// the run, or a run that has not ended within the bound ends the program at once.
volatile LONG g_stop_as_key = 0;
volatile LONG g_stop_event = -1;  // the event that asked for the end; -1: none
volatile LONG g_ended = 0;        // the console was given back: the run is over

LONG Load(volatile LONG& v) {
  return InterlockedCompareExchange(&v, 0, 0);
}

BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      if (Load(g_stop_as_key) != 0 &&
          InterlockedCompareExchange(&g_stop_event, static_cast<LONG>(event), -1) == -1) {
        for (int waited = 0; waited < 4500 && Load(g_ended) == 0; waited += 50) Sleep(50);
        if (Load(g_ended) != 0) return TRUE;
      }
      if (g_console != nullptr) g_console->Restore();
      // As the default handler ends a program on Ctrl-C.
      ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    default:
      return FALSE;
  }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* e) {
  if (g_console != nullptr) g_console->Restore();
  // On to the filter that was there before, or Windows' own report.
  return g_found_filter != nullptr ? g_found_filter(e) : EXCEPTION_CONTINUE_SEARCH;
}

// Wine's console garbles full-screen output written with virtual-terminal processing (its
// own renderer loses and misplaces text after long rows), while it shows written cells
// exactly; so under Wine the cells are the default.
bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void WriteText(HANDLE out, const std::wstring& text) {
  // One call: an escape sequence split over two writes is not understood everywhere.
  DWORD written = 0;
  if (!text.empty())
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

WinConsole::Measured WinConsole::MeasureWindow(HANDLE out) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(out, &info)) {
    return {info.srWindow.Right - info.srWindow.Left + 1,
            info.srWindow.Bottom - info.srWindow.Top + 1};
  }
  return {80, 25};
}

WinConsole::WinConsole() : WinConsole(MeasureWindow(GetStdHandle(STD_OUTPUT_HANDLE))) {}

WinConsole::WinConsole(Measured size)
    : Console(size.cols, size.rows),
      in_(GetStdHandle(STD_INPUT_HANDLE)),
      out_(GetStdHandle(STD_OUTPUT_HANDLE)) {
  InitializeCriticalSection(&g_lock);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(out_, &info)) {
    attributes_ = info.wAttributes;
    left_ = info.srWindow.Left;
    top_ = info.srWindow.Top;
  }
  have_modes_ = GetConsoleMode(in_, &in_mode_) && GetConsoleMode(out_, &out_mode_);
  output_cp_ = GetConsoleOutputCP();
  if (have_modes_) {
    // Keys one by one, not echoed; Ctrl-C still ends the program; resizes reported.
    SetConsoleMode(in_, ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT);
    // No wrap at the last column: the renderer never relies on one, and a wrap at the
    // bottom right would scroll the screen.
    DWORD base =
        (out_mode_ | ENABLE_PROCESSED_OUTPUT) & ~static_cast<DWORD>(ENABLE_WRAP_AT_EOL_OUTPUT);
    const char* force = std::getenv("CLIMON_CONSOLE");
    bool cells = force != nullptr ? std::strcmp(force, "cells") == 0 : UnderWine();
    vt_ = !cells && SetConsoleMode(out_, base | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    if (!vt_) SetConsoleMode(out_, base);
  }
  SetConsoleOutputCP(437);
  renderer_.SetViewport(size.cols, size.rows);
  g_stop_as_key = 0;
  g_stop_event = -1;
  g_ended = 0;
  g_console = this;
  SetConsoleCtrlHandler(OnControl, TRUE);
  g_found_filter = SetUnhandledExceptionFilter(OnCrash);
}

WinConsole::~WinConsole() {
  Restore();
  SetConsoleCtrlHandler(OnControl, FALSE);
  SetUnhandledExceptionFilter(g_found_filter);
  g_console = nullptr;
  DeleteCriticalSection(&g_lock);
}

void WinConsole::Restore() {
  EnterCriticalSection(&g_lock);
  if (!restored_) {
    restored_ = true;
    // The rows the cell path wrote are known from its last frame.
    int row = vt_           ? renderer_.LastWrittenRow()
              : have_shown_ ? console::LastWrittenRow(shown_, screen().Cols(), screen().Rows())
                            : 0;
    // The prompt goes on the row below the last written one.
    if (vt_) {
      char buf[32];
      WriteText(out_, Wide(std::string(buf, console::RestoreBytes(buf, row))));
    } else {
      SetConsoleTextAttribute(out_, attributes_);
      SetConsoleCursorPosition(
          out_, COORD{left_, static_cast<SHORT>(top_ + (row < screen().Rows() ? row : row - 1))});
    }
    if (have_modes_) {
      SetConsoleMode(in_, in_mode_);
      SetConsoleMode(out_, out_mode_);
    }
    if (output_cp_ != 0) SetConsoleOutputCP(output_cp_);
  }
  InterlockedExchange(&g_ended, 1);
  LeaveCriticalSection(&g_lock);
}

void WinConsole::Resized() {
  Measured now = MeasureWindow(out_);
  renderer_.SetViewport(now.cols, now.rows);
  renderer_.Invalidate();
  have_shown_ = false;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(out_, &info)) {
    left_ = info.srWindow.Left;
    top_ = info.srWindow.Top;
  }
}

void WinConsole::ShowCells(bool place_cursor) {
  const console::Screen& s = screen();
  if (!have_shown_ || s.Version() != shown_version_) {
    Measured view = MeasureWindow(out_);
    int cols = view.cols < s.Cols() ? view.cols : s.Cols();
    int rows = view.rows < s.Rows() ? view.rows : s.Rows();
    console::CellRect r = console::ChangedRect(have_shown_ ? &shown_ : nullptr, s, cols, rows,
                                               have_shown_ ? shown_version_ : 0);
    if (!r.empty()) {
      int w = r.x2 - r.x1 + 1, h = r.y2 - r.y1 + 1;
      std::vector<CHAR_INFO> buf(static_cast<std::size_t>(w * h));
      for (int y = r.y1; y <= r.y2; ++y) {
        for (int x = r.x1; x <= r.x2; ++x) {
          const console::Cell& c = s.At(x, y);
          CHAR_INFO& ci = buf[static_cast<std::size_t>((y - r.y1) * w + (x - r.x1))];
          ci.Char.UnicodeChar = static_cast<WCHAR>(console::Cp437ToUnicode(c.ch));
          ci.Attributes = c.attr;  // the PC's colour bits are the console's
        }
      }
      SMALL_RECT region{static_cast<SHORT>(left_ + r.x1 - 1), static_cast<SHORT>(top_ + r.y1 - 1),
                        static_cast<SHORT>(left_ + r.x2 - 1), static_cast<SHORT>(top_ + r.y2 - 1)};
      WriteConsoleOutputW(out_, buf.data(), COORD{static_cast<SHORT>(w), static_cast<SHORT>(h)},
                          COORD{0, 0}, &region);
    }
    shown_ = s.Cells();
    shown_version_ = s.Version();
    have_shown_ = true;
  }
  if (place_cursor) {
    SetConsoleCursorPosition(out_, COORD{static_cast<SHORT>(left_ + s.CursorScreenX() - 1),
                                         static_cast<SHORT>(top_ + s.CursorScreenY() - 1)});
  }
}

void WinConsole::Show(bool place_cursor) {
  EnterCriticalSection(&g_lock);
  if (!restored_) {
    if (vt_) {
      WriteText(out_, Wide(renderer_.Update(screen(), place_cursor)));
    } else {
      ShowCells(place_cursor);
    }
  }
  LeaveCriticalSection(&g_lock);
}

void WinConsole::Flush() {
  Show(false);
}

void WinConsole::Bell() {
  WriteText(out_, L"\a");  // the console's own bell
}

bool WinConsole::TakeInput() {
  // Not _kbhit or PeekConsoleInput: under Wine they never see input. The handle is
  // signalled while records wait, so this read does not block.
  while (WaitForSingleObject(in_, 0) == WAIT_OBJECT_0) {
    INPUT_RECORD records[32];
    DWORD got = 0;
    if (!ReadConsoleInputW(in_, records, 32, &got) || got == 0) {
      input_gone_ = true;
      return false;
    }
    for (DWORD i = 0; i < got; ++i) {
      const INPUT_RECORD& r = records[i];
      if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
        Resized();
      } else if (r.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
        console::KeyRecord kr{k.bKeyDown != FALSE, k.wVirtualKeyCode,
                              k.wVirtualScanCode,  static_cast<char16_t>(k.uChar.UnicodeChar),
                              k.dwControlKeyState, k.wRepeatCount};
        for (std::uint8_t code : console::KeyCodesFor(kr)) keys_.push_back(code);
      }
    }
  }
  return true;
}

bool WinConsole::KeyPressed() {
  if (Load(g_stop_event) != -1) return stop_.Pressed();
  if (keys_.empty() && !input_gone_) TakeInput();
  return !keys_.empty();
}

bool WinConsole::StopPending() {
  if (Load(g_stop_event) != -1) return true;
  if (!input_gone_) TakeInput();
  return console::HoldsEscKey(keys_);
}

std::uint8_t WinConsole::ReadKey() {
  Show(true);  // the operator waits on this key: show where the cursor is
  // In short waits: a control event comes on another thread, and ends the wait as ESC.
  while (keys_.empty()) {
    if (Load(g_stop_event) != -1) return stop_.Read();
    DWORD waited = input_gone_ ? WAIT_FAILED : WaitForSingleObject(in_, 50);
    if (waited == WAIT_TIMEOUT) continue;
    if (waited != WAIT_OBJECT_0 || !TakeInput()) {
      throw console::FatalError(console::kInputClosed, "console input closed");
    }
    if (keys_.empty()) Show(true);  // a resize repaints
  }
  if (Load(g_stop_event) != -1) return stop_.Read();
  std::uint8_t k = keys_.front();
  keys_.pop_front();
  return k;
}

void WinConsole::TakeStopRequests() {
  InterlockedExchange(&g_stop_as_key, 1);
}

std::string WinConsole::StopRequestedBy() const {
  LONG event = Load(g_stop_event);
  return event == -1 ? "" : ControlEventName(static_cast<DWORD>(event));
}

}  // namespace platform::windows
