#include "platform/windows/WinSerial.h"

#include <cstdlib>

#include "platform/windows/WinNet.h"

namespace platform::windows {

std::string PortName(int port) {
  return "\\\\.\\COM" + std::to_string(port);
}

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

WinSerialDevice::WinSerialDevice(HANDLE handle, HANDLE claim)
    : handle_(handle),
      claim_(claim),
      done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      timer_(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                    TIMER_ALL_ACCESS)) {
  // Older systems: an ordinary timer.
  if (timer_ == nullptr) timer_ = CreateWaitableTimerW(nullptr, TRUE, nullptr);
}

WinSerialDevice::~WinSerialDevice() {
  CloseHandle(handle_);
  if (claim_ != nullptr) CloseHandle(claim_);
  if (done_ != nullptr) CloseHandle(done_);
  if (timer_ != nullptr) CloseHandle(timer_);
}

DWORD WinSerialDevice::Finish(OVERLAPPED& o) {
  DWORD moved = 0;
  if (!GetOverlappedResult(handle_, &o, &moved, TRUE) &&
      GetLastError() != ERROR_OPERATION_ABORTED) {
    lost_ = true;  // a pulled adapter fails its calls: the device is gone
  }
  return moved;
}

int WinSerialDevice::Configure(unsigned baud, int data_bits, comLib3::Parity parity,
                               int stop_bits) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  // A block that could not be read is not written back zeroed: its error is reported, as
  // a refused SetCommState's is.
  if (!GetCommState(handle_, &dcb)) return static_cast<int>(GetLastError());
  {
    dcb.BaudRate = baud;
    dcb.ByteSize = static_cast<BYTE>(data_bits);
    dcb.Parity = parity == comLib3::Parity::kEven  ? EVENPARITY
                 : parity == comLib3::Parity::kOdd ? ODDPARITY
                                                   : NOPARITY;
    dcb.StopBits = stop_bits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    // The whole word of flags is 0: binary, no parity check of what comes in, no flow
    // control of any kind, DTR and RTS off, no error character, no abort on errors.
    dcb.fBinary = dcb.fParity = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = dcb.fTXContinueOnXoff = dcb.fOutX = dcb.fInX = 0;
    dcb.fErrorChar = dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.fDummy2 = 0;
  }
  if (!SetCommState(handle_, &dcb)) return static_cast<int>(GetLastError());
  return 0;
}

void WinSerialDevice::SetReadTimeout(std::chrono::milliseconds total) {
  // The driver's read waits for its count; the window of `total` is the read's own timer.
  // The write time-outs stay as they were.
  timeout_ = total;
  COMMTIMEOUTS t{};
  GetCommTimeouts(handle_, &t);
  t.ReadIntervalTimeout = 0;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 0;
  SetCommTimeouts(handle_, &t);
}

void WinSerialDevice::Purge() {
  PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void WinSerialDevice::Write(std::string_view bytes) {
  OVERLAPPED o{};
  o.hEvent = done_;
  ResetEvent(done_);
  DWORD written = 0;
  if (WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &o)) return;
  if (GetLastError() != ERROR_IO_PENDING) {
    lost_ = true;  // a pulled adapter fails its writes and reads: the device is gone
    return;
  }
  Finish(o);
}

void WinSerialDevice::Drain() {
  FlushFileBuffers(handle_);
}

std::size_t WinSerialDevice::Read(char* buf, std::size_t count) {
  // Relative due times are negative, in 100 ns units.
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<LONGLONG>(timeout_.count()) * 10000;
  bool timed = timer_ != nullptr && SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE);
  OVERLAPPED o{};
  o.hEvent = done_;
  ResetEvent(done_);
  DWORD got = 0;
  if (ReadFile(handle_, buf, static_cast<DWORD>(count), &got, &o)) return got;
  if (GetLastError() != ERROR_IO_PENDING) {
    lost_ = true;
    return 0;
  }
  HANDLE either[2] = {done_, timer_};
  DWORD waited = timed ? WaitForMultipleObjects(2, either, FALSE, INFINITE)
                       : WaitForSingleObject(done_, static_cast<DWORD>(timeout_.count()));
  if (waited != WAIT_OBJECT_0) CancelIoEx(handle_, &o);  // the window has passed
  return Finish(o);
}

std::string WinSerialPorts::Server(int port) const {
  const char* named = std::getenv(("CLIMON_COM" + std::to_string(port)).c_str());
  return named != nullptr && netport::IsAddress(named) ? named : "";
}

std::unique_ptr<comLib3::SerialDevice> WinSerialPorts::Open(int port, int& error) {
  // CLIMON_COMn, where set, names the port: a serial device server's address, or a device.
  const std::string var = "CLIMON_COM" + std::to_string(port);
  const char* named = std::getenv(var.c_str());
  if (named != nullptr && netport::IsAddress(named))
    return netport::Open<WinNetDevice>(named, error);
  // Share mode 0 keeps out every other program on Windows. Wine does not enforce it, so a
  // name of the session claims the port for this climon too: a second one is refused
  // before it touches the device, as Windows refuses it (access denied).
  std::string name = named != nullptr && *named != '\0' ? named : PortName(port);
  std::string claim_name = "Local\\climon-COM" + std::to_string(port);
  HANDLE claim = CreateMutexA(nullptr, FALSE, claim_name.c_str());
  if (claim != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(claim);
    error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    if (claim != nullptr) CloseHandle(claim);
    return nullptr;
  }
  error = 0;
  return std::make_unique<WinSerialDevice>(h, claim);
}

}  // namespace platform::windows
