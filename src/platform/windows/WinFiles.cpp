#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>

#include <string>

#include "files/Files.h"
#include "platform/windows/WinText.h"

namespace files {
namespace {

// The volume and file index that name a file on Windows (st_ino is always 0 there).
bool Identity(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
  return h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info) != 0;
}

// File names are in the system's code page, as fopen takes them.
std::wstring Path(const std::string& s) {
  return platform::windows::Wide(s, CP_ACP);
}

}  // namespace

bool StillNamed(std::FILE* f, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION open_file, named;
  HANDLE mine = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  if (!Identity(mine, open_file)) return false;
  // Deleted while open: the name stays until the last handle closes, but it is gone.
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(mine, FileStandardInfo, &standard, sizeof standard) != 0 &&
      standard.DeletePending) {
    return false;
  }
  HANDLE other =
      CreateFileW(Path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool same = Identity(other, named) &&
              open_file.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
              open_file.nFileIndexHigh == named.nFileIndexHigh &&
              open_file.nFileIndexLow == named.nFileIndexLow;
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  return same;
}

std::FILE* OpenAppend(const std::string& path, std::string& error) {
  // fopen shares no delete: a rotation could not rename or delete the open log.
  HANDLE h = CreateFileW(Path(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    error = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? "No such file or directory"
            : e == ERROR_ACCESS_DENIED                             ? "Permission denied"
                                                                   : "error " + std::to_string(e);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_APPEND | _O_BINARY);
  std::FILE* f = fd < 0 ? nullptr : _fdopen(fd, "a+b");
  if (f == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(h);
    }
    error = "cannot open it as a stream";
  }
  return f;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  if (MoveFileExW(Path(from).c_str(), Path(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  error = "error " + std::to_string(GetLastError());
  return false;
}

bool SeekTo(std::FILE* f, std::uint64_t at) {
  return _fseeki64(f, static_cast<__int64>(at), SEEK_SET) == 0;
}

std::uint64_t SizeOf(std::FILE* f) {
  __int64 n = _filelengthi64(_fileno(f));
  return n > 0 ? static_cast<std::uint64_t>(n) : 0;
}

bool IsTerminal(std::FILE* f) {
  return _isatty(_fileno(f)) != 0;
}

std::string LoginName() {
  wchar_t name[257];
  DWORD n = 257;
  if (GetUserNameW(name, &n) == 0 || n == 0) return "unknown";
  return platform::windows::Narrow(std::wstring_view(name, n - 1));
}

bool WriteNew(const std::string& path, std::string_view bytes, std::string& why) {
  // CREATE_NEW: an existing name (a link included) is refused, never opened.
  HANDLE h = CreateFileW(platform::windows::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = "Windows error " + std::to_string(GetLastError());
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  if (!ok) why = "Windows error " + std::to_string(GetLastError());
  CloseHandle(h);
  if (!ok) DeleteFileW(platform::windows::Wide(path).c_str());
  return ok;
}

std::string ServicesFolder() {
  wchar_t data[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  std::string base = n > 0 && n < MAX_PATH ? platform::windows::Narrow(std::wstring_view(data, n))
                                           : std::string("C:\\ProgramData");
  return base + "\\climon";
}

std::string OwnerOf(const std::string& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  std::wstring wide = platform::windows::Wide(path);
  if (GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS)
    return "";
  wchar_t name[257], domain[257];
  DWORD n = 257, d = 257;
  SID_NAME_USE use;
  std::string out;
  if (LookupAccountSidW(nullptr, owner, name, &n, domain, &d, &use))
    out = platform::windows::Narrow(std::wstring_view(name, n));
  LocalFree(sd);
  return out;
}

}  // namespace files
