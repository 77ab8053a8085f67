#include "platform/windows/WinSerial.h"

namespace platform::windows {

std::string PortName(int port) {
  return "\\\\.\\COM" + std::to_string(port);
}

WinSerialDevice::~WinSerialDevice() {
  CloseHandle(handle_);
  if (claim_ != nullptr) CloseHandle(claim_);
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
  // A read returns when its count is in or `total` after it began; the write time-outs
  // stay as they were.
  COMMTIMEOUTS t{};
  GetCommTimeouts(handle_, &t);
  t.ReadIntervalTimeout = 0;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(total.count());
  SetCommTimeouts(handle_, &t);
}

void WinSerialDevice::Purge() {
  PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void WinSerialDevice::Write(std::string_view bytes) {
  DWORD written = 0;
  // A pulled adapter fails its writes and reads: the device is gone.
  if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    lost_ = true;
  }
}

void WinSerialDevice::Drain() {
  FlushFileBuffers(handle_);
}

std::size_t WinSerialDevice::Read(char* buf, std::size_t count) {
  DWORD got = 0;
  if (!ReadFile(handle_, buf, static_cast<DWORD>(count), &got, nullptr)) {
    lost_ = true;
    return 0;
  }
  return got;
}

std::unique_ptr<comLib3::SerialDevice> WinSerialPorts::Open(int port, int& error) {
  // Share mode 0 keeps out every other program on Windows. Wine does not enforce it, so a
  // name of the session claims the port for this climon too: a second one is refused
  // before it touches the device, as Windows refuses it (access denied).
  std::string name = PortName(port);
  std::string claim_name = "Local\\climon-COM" + std::to_string(port);
  HANDLE claim = CreateMutexA(nullptr, FALSE, claim_name.c_str());
  if (claim != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(claim);
    error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    if (claim != nullptr) CloseHandle(claim);
    return nullptr;
  }
  error = 0;
  return std::make_unique<WinSerialDevice>(h, claim);
}

}  // namespace platform::windows
