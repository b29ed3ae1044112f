// What the serial layer needs on Windows beyond the system's functions.

#include <algorithm>

#include "serial/platform/windows/CommServices.h"

namespace platform {

namespace {

thread_local DWORD LastOpenError = 0;

}  // namespace

std::string SysErrorMessage(DWORD Code) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, Code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n && text ? std::string(text, n) : "Error " + std::to_string(Code);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

int LastErrno() {
  return static_cast<int>(LastOpenError);
}

bool IsLostDevice(DWORD Code) {
  switch (Code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
    case ERROR_OPERATION_ABORTED:
      return true;
    default:
      return false;
  }
}

HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode, void* Security,
                   DWORD CreationDisposition, DWORD FlagsAndAttributes, HANDLE TemplateFile) {
  const HANDLE file = ::CreateFileA(FileName, DesiredAccess, ShareMode,
                                    static_cast<SECURITY_ATTRIBUTES*>(Security),
                                    CreationDisposition, FlagsAndAttributes, TemplateFile);
  LastOpenError = file == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  if (file == INVALID_HANDLE_VALUE) ::SetLastError(LastOpenError);
  return file;
}

std::string DevicePathOf(const std::string& DeviceName) {
  return DeviceName;
}

BOOL GetCommArrivalTime(HANDLE, std::chrono::steady_clock::time_point*) {
  return FALSE;
}

BOOL SetThreadPriority(TThreadId Thread, int Priority) {
  const HANDLE thread = ::OpenThread(THREAD_SET_INFORMATION, FALSE, Thread);
  if (!thread) return FALSE;
  const BOOL ok = ::SetThreadPriority(thread, Priority);
  ::CloseHandle(thread);
  return ok;
}

}  // namespace platform
