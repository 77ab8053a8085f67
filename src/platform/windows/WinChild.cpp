#include <windows.h>

#include <string>

#include "files/Child.h"
#include "platform/windows/WinText.h"

namespace files {
namespace {

class WinChild : public Child {
 public:
  WinChild(HANDLE process, HANDLE job) : process_(process), job_(job) {}
  ~WinChild() override {
    Kill();
    CloseHandle(process_);
    if (job_ != nullptr) CloseHandle(job_);
  }
  bool Ended(int& status, std::string& why) override {
    if (!ended_ && WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    ended_ = true;
    status = killed_ ? -1 : static_cast<int>(code);
    why = killed_ ? "killed" : "";
    return true;
  }
  void Kill() override {
    if (ended_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return;
    // The job: what it started goes too.
    if (job_ == nullptr || !TerminateJobObject(job_, 1)) TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    killed_ = true;
  }

 private:
  HANDLE process_, job_;
  bool ended_ = false, killed_ = false;
};

}  // namespace

std::unique_ptr<Child> StartChild(const std::string& program,
                                  const std::vector<std::pair<std::string, std::string>>& env,
                                  bool keep_errors, std::string& error) {
  // climon's environment with the event's variables in place: a block of NAME=VALUE\0, \0.
  std::wstring block;
  if (wchar_t* own = GetEnvironmentStringsW()) {
    for (const wchar_t* e = own; *e != L'\0'; e += wcslen(e) + 1) {
      std::wstring var = e;
      bool replaced = false;
      for (const auto& [name, value] : env) {
        std::wstring prefix = platform::windows::Wide(name) + L"=";
        replaced |= _wcsnicmp(var.c_str(), prefix.c_str(), prefix.size()) == 0;
      }
      if (!replaced) block += var + L'\0';
    }
    FreeEnvironmentStringsW(own);
  }
  for (const auto& [name, value] : env)
    block += platform::windows::Wide(name + "=" + value) + L'\0';
  block += L'\0';
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = nul;
  si.hStdError = keep_errors ? GetStdHandle(STD_ERROR_HANDLE) : nul;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + platform::windows::Wide(program) + L"\"";
  BOOL ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                           CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | CREATE_SUSPENDED,
                           block.data(), nullptr, &si, &pi);
  DWORD code = GetLastError();
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!ok) {
    error = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                ? "No such file"
                : "Windows error " + std::to_string(code);
    return nullptr;
  }
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job != nullptr && !AssignProcessToJobObject(job, pi.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  return std::make_unique<WinChild>(pi.hProcess, job);
}

}  // namespace files
