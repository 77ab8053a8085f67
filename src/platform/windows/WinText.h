// Text between the program's bytes and Windows' UTF-16: file names in the system's code
// page, everything else (room names, the console, the event log) in UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform::windows {

inline std::wstring Wide(std::string_view s, UINT code_page = CP_UTF8) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

inline std::string Narrow(std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
  }
  return s;
}

}  // namespace platform::windows
