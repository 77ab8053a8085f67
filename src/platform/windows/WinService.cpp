#include "platform/windows/WinService.h"

#include <aclapi.h>
#include <lm.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <vector>

#include "app/Acknowledge.h"
#include "app/Service.h"
#include "climon_messages.h"  // MSG_JOURNAL, made by windmc from climon.mc
#include "platform/windows/WinClock.h"
#include "platform/windows/WinHeadless.h"
#include "platform/windows/WinSerial.h"
#include "platform/windows/WinText.h"
#include "seal/Chain.h"

namespace platform::windows {
namespace {

static_assert(app::ServiceStatus::kRunning == SERVICE_RUNNING &&
              app::ServiceStatus::kStopPending == SERVICE_STOP_PENDING &&
              app::kControlPreshutdown == SERVICE_CONTROL_PRESHUTDOWN &&
              app::kAcceptPreshutdown == SERVICE_ACCEPT_PRESHUTDOWN &&
              app::kServiceSpecificError == ERROR_SERVICE_SPECIFIC_ERROR);

constexpr const wchar_t* kPrefix = L"climon-";
constexpr const wchar_t* kEventKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\climon";
// As the systemd unit: started again 10 s after a failure; the count starts afresh after
// a day without one.
constexpr DWORD kRestartDelayMs = 10000;
constexpr DWORD kResetAfterS = 86400;

std::wstring ExePath() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  return path;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "climon: %s\n", why.c_str());
  return 2;
}

// The service's life, as the manager is told it.
struct Running {
  std::mutex lock;
  app::ServiceStates states;
  SERVICE_STATUS_HANDLE handle = nullptr;
  std::wstring name;
  int exit_status = 0;
  DWORD dispatch_error = 0;
  HANDLE started = nullptr, ended = nullptr;  // ServiceMain has reported; the run is over

  void Report(const app::ServiceStatus& s) {
    SERVICE_STATUS st{};
    st.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    st.dwCurrentState = s.state;
    st.dwControlsAccepted = s.controls;
    st.dwWin32ExitCode = s.win32_exit;
    st.dwServiceSpecificExitCode = s.specific_exit;
    st.dwCheckPoint = s.checkpoint;
    st.dwWaitHint = s.wait_hint_ms;
    SetServiceStatus(handle, &st);
  }
};
Running g_service;

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
  std::lock_guard<std::mutex> hold(g_service.lock);
  bool stop = false;
  app::ServiceStatus s = g_service.states.Control(control, stop);
  if (stop) WinHeadless::RequestStop();  // as ESC: the monitor's last work, no "CQ"
  g_service.Report(s);
  return NO_ERROR;
}

// The manager's thread for the service: it reports the start at once, then waits for the
// run (on the process's main thread, where a console program runs it) to end.
void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_service.handle = RegisterServiceCtrlHandlerExW(g_service.name.c_str(), Control, nullptr);
  if (g_service.handle != nullptr) {
    std::lock_guard<std::mutex> hold(g_service.lock);
    g_service.Report(g_service.states.Starting());
  }
  SetEvent(g_service.started);
  if (g_service.handle == nullptr) return;
  WaitForSingleObject(g_service.ended, INFINITE);
  std::lock_guard<std::mutex> hold(g_service.lock);
  g_service.Report(g_service.states.Stopped(g_service.exit_status));
}

DWORD WINAPI Dispatch(LPVOID) {
  SERVICE_TABLE_ENTRYW table[] = {{g_service.name.data(), ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return 0;
  g_service.dispatch_error = GetLastError();
  SetEvent(g_service.started);
  return 1;
}

// Lets the service's account (LOCAL SERVICE) read and write in the folder of `file`.
std::string GrantFolder(const std::string& file) {
  std::wstring folder =
      std::filesystem::absolute(std::filesystem::path(Wide(file, CP_ACP))).parent_path().wstring();
  PSID sid = nullptr;
  DWORD size = SECURITY_MAX_SID_SIZE;
  std::vector<BYTE> buffer(size);
  sid = buffer.data();
  if (!CreateWellKnownSid(WinLocalServiceSid, nullptr, sid, &size)) return "no LOCAL SERVICE";
  PACL old_acl = nullptr, new_acl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  DWORD e = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, &old_acl, nullptr, &sd);
  if (e != ERROR_SUCCESS) return "error " + std::to_string(e);
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = GENERIC_READ | GENERIC_WRITE | DELETE;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
  e = SetEntriesInAclW(1, &access, old_acl, &new_acl);
  if (e == ERROR_SUCCESS) {
    e = SetNamedSecurityInfoW(folder.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, new_acl, nullptr);
  }
  LocalFree(new_acl);
  LocalFree(sd);
  return e == ERROR_SUCCESS ? "" : "error " + std::to_string(e);
}

// The seals' key readable by the service's account (LOCAL SERVICE), SYSTEM and the
// administrators only: no inherited entry lets a user who reads the logs read it.
std::string ProtectKey(const std::string& file) {
  std::wstring path =
      std::filesystem::absolute(std::filesystem::path(Wide(file, CP_ACP))).wstring();
  BYTE sids[3][SECURITY_MAX_SID_SIZE];
  const WELL_KNOWN_SID_TYPE types[3] = {WinLocalServiceSid, WinLocalSystemSid,
                                        WinBuiltinAdministratorsSid};
  EXPLICIT_ACCESSW access[3] = {};
  for (int i = 0; i < 3; ++i) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    if (!CreateWellKnownSid(types[i], nullptr, sids[i], &size)) return "no well-known account";
    access[i].grfAccessPermissions = i == 0 ? GENERIC_READ : GENERIC_ALL;
    access[i].grfAccessMode = SET_ACCESS;
    access[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access[i].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids[i]);
  }
  PACL acl = nullptr;
  DWORD e = SetEntriesInAclW(3, access, nullptr, &acl);
  if (e == ERROR_SUCCESS) {
    e = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr);
  }
  LocalFree(acl);
  return e == ERROR_SUCCESS ? "" : "error " + std::to_string(e);
}

// Who may acknowledge the rooms' alarms: the members of this local group.
constexpr wchar_t kAckGroup[] = L"climon-ack";

// The folder where `climon --acknowledge NAME` leaves its requests: SYSTEM and the
// administrators have it whole, the service's account (LOCAL SERVICE) and the members
// of climon-ack (made here when missing) read, write and delete there, no one else. The
// files left there inherit that, so the service reads each request and its sender the
// answer.
std::string MakeAckFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(Wide(folder)), ec);
  if (ec) return ec.message();
  LOCALGROUP_INFO_1 group{const_cast<LPWSTR>(kAckGroup),
                          const_cast<LPWSTR>(L"May acknowledge the climon rooms' alarms")};
  NET_API_STATUS made = NetLocalGroupAdd(nullptr, 1, reinterpret_cast<LPBYTE>(&group), nullptr);
  BYTE sids[4][SECURITY_MAX_SID_SIZE];
  const WELL_KNOWN_SID_TYPE types[3] = {WinLocalSystemSid, WinBuiltinAdministratorsSid,
                                        WinLocalServiceSid};
  EXPLICIT_ACCESSW access[4] = {};
  int n = 0;
  for (; n < 3; ++n) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    if (!CreateWellKnownSid(types[n], nullptr, sids[n], &size)) return "no well-known account";
  }
  DWORD sid_size = SECURITY_MAX_SID_SIZE, domain_size = 256;
  wchar_t domain[256];
  SID_NAME_USE use;
  const bool group_known =
      LookupAccountNameW(nullptr, kAckGroup, sids[3], &sid_size, domain, &domain_size, &use);
  if (group_known) ++n;
  for (int i = 0; i < n; ++i) {
    access[i].grfAccessPermissions = i < 2 ? GENERIC_ALL : GENERIC_READ | GENERIC_WRITE | DELETE;
    access[i].grfAccessMode = SET_ACCESS;
    access[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access[i].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids[i]);
  }
  PACL acl = nullptr;
  DWORD e = SetEntriesInAclW(static_cast<ULONG>(n), access, nullptr, &acl);
  std::wstring path = Wide(folder);
  if (e == ERROR_SUCCESS) {
    e = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr);
  }
  LocalFree(acl);
  if (e != ERROR_SUCCESS) return "error " + std::to_string(e);
  if (!group_known) {
    return "the group climon-ack could not be made or found (" + std::to_string(made) +
           "): only the administrators may acknowledge";
  }
  return "";
}

// The port's name in the installer's environment (CLIMON_COMn: a device, or a serial
// device server's address) goes with the service: the service manager sets a service's
// "Environment" value for its process, and the service has no other.
bool KeepPortName(const std::wstring& service, const std::string& port) {
  const std::string var = "CLIMON_COM" + port;
  const char* value = std::getenv(var.c_str());
  if (value == nullptr || *value == '\0') return true;
  std::wstring entry = Wide(var + "=" + value, CP_ACP);
  entry.push_back(L'\0');  // REG_MULTI_SZ: each string ended, then the list
  entry.push_back(L'\0');
  const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + service;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok =
      RegSetValueExW(key, L"Environment", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(entry.data()),
                     static_cast<DWORD>(entry.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

// Event Viewer finds the text of climon's events in climon.exe's message table.
bool RegisterEventSource() {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring exe = ExePath();
  DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  bool ok =
      RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                     reinterpret_cast<const BYTE*>(exe.c_str()),
                     static_cast<DWORD>((exe.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
      RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                     sizeof types) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

std::wstring Quoted(const std::wstring& s) {
  return L"\"" + s + L"\"";
}

// Stops a service and waits (30 s at most) until it has; then removes it.
bool StopAndDelete(SC_HANDLE svc) {
  SERVICE_STATUS st{};
  ControlService(svc, SERVICE_CONTROL_STOP, &st);
  for (int i = 0; i < 150 && QueryServiceStatus(svc, &st) && st.dwCurrentState != SERVICE_STOPPED;
       ++i) {
    Sleep(200);
  }
  return DeleteService(svc) != 0 || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

SC_HANDLE Manager(DWORD access, std::string& error) {
  SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, access);
  if (scm == nullptr) {
    error = GetLastError() == ERROR_ACCESS_DENIED
                ? "this needs an administrator: run it from a command prompt opened with "
                  "\"Run as administrator\""
                : "cannot reach the service manager: error " + std::to_string(GetLastError());
  }
  return scm;
}

}  // namespace

EventLog::EventLog() : source_(RegisterEventSourceW(nullptr, L"climon")) {}

EventLog::~EventLog() {
  if (source_ != nullptr) DeregisterEventSource(static_cast<HANDLE>(source_));
}

void EventLog::Write(const std::string& line, monitor::Severity severity) {
  if (source_ == nullptr) return;
  std::wstring text = Wide(line);
  LPCWSTR strings[1] = {text.c_str()};
  WORD type = severity == monitor::Severity::kError     ? EVENTLOG_ERROR_TYPE
              : severity == monitor::Severity::kWarning ? EVENTLOG_WARNING_TYPE
                                                        : EVENTLOG_INFORMATION_TYPE;
  ReportEventW(static_cast<HANDLE>(source_), type, 0, MSG_JOURNAL, nullptr, 1, 0, strings, nullptr);
}

int RunService(const app::Parsed& parsed) {
  const std::string& name = parsed.options.service;
  g_service.name = kPrefix + Wide(name);
  g_service.started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_service.ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE dispatcher = CreateThread(nullptr, 0, Dispatch, nullptr, 0, nullptr);
  HANDLE either[2] = {g_service.started, dispatcher};
  WaitForMultipleObjects(2, either, FALSE, INFINITE);
  if (g_service.handle == nullptr) {
    WaitForSingleObject(dispatcher, INFINITE);
    if (g_service.dispatch_error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
      return Fail("--service runs under the service manager: start the room with sc start " +
                  Narrow(kPrefix) + name + " (or try its options with --headless)");
    }
    return Fail("cannot reach the service manager: error " +
                std::to_string(g_service.dispatch_error));
  }
  EventLog events;
  app::Journal journal = [&events](const std::string& line, monitor::Severity s) {
    events.Write(line, s);
  };
  app::Start start;
  std::optional<int> status = app::Main(parsed, start, journal);
  if (!status) {
    // Running at once: the start-up reads may take long on a dead line, and the manager
    // waits for no more than this report.
    {
      std::lock_guard<std::mutex> hold(g_service.lock);
      g_service.Report(g_service.states.Running());
    }
    WinClock clock;
    WinSerialPorts ports;
    WinHeadless con;
    status = app::Run(start, con, clock, ports, journal);
  }
  g_service.exit_status = *status;
  SetEvent(g_service.ended);
  WaitForSingleObject(dispatcher, INFINITE);  // the manager has the stop
  return *status;
}

int InstallService(const app::Options& o) {
  std::string error;
  SC_HANDLE scm = Manager(SC_MANAGER_CREATE_SERVICE, error);
  if (scm == nullptr) return Fail("cannot install the service: " + error);
  // The service starts in System32: every file by its full name.
  auto full = [](const std::string& file) {
    return std::filesystem::absolute(std::filesystem::path(Wide(file, CP_ACP))).wstring();
  };
  std::wstring name = kPrefix + Wide(o.install_service);
  std::wstring cmd = Quoted(ExePath()) + L" --service " + Wide(o.install_service) + L" --port " +
                     Wide(*o.port) + L" --room " + Quoted(Wide(o.room)) + L" --metrics " +
                     Quoted(full(o.metrics));
  if (!o.log.empty()) cmd += L" --log " + Quoted(full(o.log));
  if (!o.audit.empty()) cmd += L" --audit " + Quoted(full(o.audit));
  if (!o.seal_key.empty()) {
    // A key that cannot be read, or kept from the logs' readers, is not installed.
    std::string key, why;
    if (!seal::ReadKey(o.seal_key, key, why)) {
      CloseServiceHandle(scm);
      return Fail(why);
    }
    why = ProtectKey(o.seal_key);
    if (!why.empty()) {
      CloseServiceHandle(scm);
      return Fail("cannot restrict the seal key " + o.seal_key + " to the service (" + why + ")");
    }
    cmd += L" --seal-key " + Quoted(full(o.seal_key));
  }
  std::string ack_folder;
  if (o.alarms) {
    cmd += L" --alarms";
    for (const std::string& a : o.alarm_args) cmd += L" " + Quoted(Wide(a));
    if (!o.notify.empty()) cmd += L" --notify " + Quoted(full(o.notify));
    ack_folder = o.ack_folder.empty() ? app::AckFolderOf(o.install_service) : o.ack_folder;
    cmd += L" --ack-folder " + Quoted(full(ack_folder));
  }
  std::wstring display = L"climon room " + Wide(o.room);
  // LOCAL SERVICE: the least account that can open a COM port (the ports are open to
  // every signed-in account) and has no rights on the network or other users' files; it
  // is given the files' folders below.
  SC_HANDLE svc = CreateServiceW(scm, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                 SERVICE_ERROR_NORMAL, cmd.c_str(), nullptr, nullptr, nullptr,
                                 L"NT AUTHORITY\\LocalService", nullptr);
  if (svc == nullptr) {
    DWORD e = GetLastError();
    CloseServiceHandle(scm);
    if (e == ERROR_SERVICE_EXISTS || e == ERROR_DUPLICATE_SERVICE_NAME) {
      return Fail("a service named " + Narrow(kPrefix) + o.install_service +
                  " exists already: remove it first (climon --remove-service " + o.install_service +
                  ")");
    }
    return Fail("cannot install the service: error " + std::to_string(e));
  }
  std::wstring about = L"The climate room " + Wide(o.room) + L" on COM" + Wide(*o.port) +
                       L": its metrics, value log and audit trail (climon).";
  SERVICE_DESCRIPTIONW description{about.data()};
  SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
  SC_ACTION restart[3] = {{SC_ACTION_RESTART, kRestartDelayMs},
                          {SC_ACTION_RESTART, kRestartDelayMs},
                          {SC_ACTION_RESTART, kRestartDelayMs}};
  SERVICE_FAILURE_ACTIONSW failure{kResetAfterS, nullptr, nullptr, 3, restart};
  // A failure is also a stop with an exit code (the port could not be opened), not
  // only a crash.
  SERVICE_FAILURE_ACTIONS_FLAG on_exit_code{TRUE};
  SERVICE_PRESHUTDOWN_INFO preshutdown{10000};
  ChangeServiceConfig2W(svc, SERVICE_CONFIG_DESCRIPTION, &description);
  ChangeServiceConfig2W(svc, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
  ChangeServiceConfig2W(svc, SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
  ChangeServiceConfig2W(svc, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &on_exit_code);
  ChangeServiceConfig2W(svc, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown);
  CloseServiceHandle(svc);
  CloseServiceHandle(scm);
  if (!KeepPortName(name, *o.port)) {
    std::fprintf(stderr, "climon: CLIMON_COM%s could not be given to the service\n",
                 o.port->c_str());
  }
  if (!RegisterEventSource()) {
    std::fprintf(stderr,
                 "climon: the event log's source could not be registered: its events "
                 "show without their text\n");
  }
  if (!ack_folder.empty()) {
    if (std::string why = MakeAckFolder(ack_folder); !why.empty())
      std::fprintf(stderr, "climon: the acknowledgements' folder %s: %s\n", ack_folder.c_str(),
                   why.c_str());
  }
  for (const std::string* file : {&o.metrics, &o.log, &o.audit}) {
    if (file->empty()) continue;
    std::string why = GrantFolder(*file);
    if (!why.empty()) {
      std::fprintf(stderr, "climon: LOCAL SERVICE could not be given the folder of %s (%s)\n",
                   file->c_str(), why.c_str());
    }
  }
  std::printf(
      "installed climon-%s: it starts with Windows; start it now with sc start "
      "climon-%s\n",
      o.install_service.c_str(), o.install_service.c_str());
  return 0;
}

int RemoveService(const std::string& name) {
  std::string error;
  SC_HANDLE scm = Manager(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE, error);
  if (scm == nullptr) return Fail("cannot remove the service: " + error);
  std::vector<std::wstring> names;
  if (name != "*") {
    names.push_back(kPrefix + Wide(name));
  } else {
    DWORD bytes = 0, count = 0, resume = 0;
    EnumServicesStatusExW(scm, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0,
                          &bytes, &count, &resume, nullptr);
    std::vector<BYTE> buffer(bytes + 4096);
    resume = 0;
    if (EnumServicesStatusExW(scm, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                              buffer.data(), static_cast<DWORD>(buffer.size()), &bytes, &count,
                              &resume, nullptr)) {
      auto* each = reinterpret_cast<ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
      for (DWORD i = 0; i < count; ++i) {
        std::wstring n = each[i].lpServiceName;
        if (n.rfind(kPrefix, 0) == 0) names.push_back(n);
      }
    }
  }
  int status = 0;
  for (const std::wstring& n : names) {
    SC_HANDLE svc = OpenServiceW(scm, n.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (svc == nullptr) {
      status =
          Fail(GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST
                   ? "there is no service named " + Narrow(n)
                   : "cannot remove " + Narrow(n) + ": error " + std::to_string(GetLastError()));
      continue;
    }
    if (StopAndDelete(svc)) {
      // Its acknowledgements' folder goes with it (requests left there have no one to
      // answer them).
      std::error_code ec;
      std::filesystem::remove_all(
          std::filesystem::path(Wide(app::AckFolderOf(Narrow(n.substr(std::wcslen(kPrefix)))))),
          ec);
      std::printf("removed %s\n", Narrow(n).c_str());
    } else {
      status = Fail("cannot remove " + Narrow(n) + ": error " + std::to_string(GetLastError()));
    }
    CloseServiceHandle(svc);
  }
  CloseServiceHandle(scm);
  return status;
}

}  // namespace platform::windows
