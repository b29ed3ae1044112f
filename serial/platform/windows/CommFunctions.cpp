// What the serial layer needs on Windows beyond the system's functions.

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "serial/platform/Failure.h"
#include "serial/platform/windows/CommServices.h"
#include "serial/platform/windows/NetworkHandles.h"

namespace platform {

namespace {

thread_local DWORD LastFailure = 0;
// The detail of the last failure of a network line's (Fail), for its code.
thread_local DWORD DetailCode = 0;
thread_local int Detail = 0;

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
  return static_cast<int>(LastFailure);
}

void NoteLastError(DWORD Code) {
  LastFailure = Code != ERROR_SUCCESS && Code == DetailCode && Detail != 0
                    ? static_cast<DWORD>(Detail)
                    : Code;
}

void Fail(DWORD Code, int FailureDetail) {
  ::SetLastError(Code);
  DetailCode = Code;
  Detail = FailureDetail;
}

void FailErrno(int FailureDetail) {
  Fail(static_cast<DWORD>(FailureDetail), FailureDetail);
}

void ForgetFailureDetail() {
  DetailCode = 0;
  Detail = 0;
}

bool IsLostDevice(DWORD Code) {
  switch (Code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case 433:  // ERROR_NO_SUCH_DEVICE, which the headers here lack
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

std::string DevicePathOf(const std::string& DeviceName) {
  return DeviceName;
}

namespace {

// What the event thread noted of a device, and what was read since.
struct TArrivals {
  DWORD Noted = 0;  // bytes waiting when the event was seen
  std::chrono::steady_clock::time_point NotedAt;
  DWORD Read = 0;    // bytes read since
  DWORD Errors = 0;  // line errors that noting cleared, for the next ClearCommError
  std::optional<std::chrono::steady_clock::time_point> LastByte;
};

std::mutex ArrivalsMutex;
std::map<HANDLE, TArrivals> Arrivals;

}  // namespace

void NoteCommEvent(HANDLE File, DWORD EventWord) {
  if (!(EventWord & EV_RXCHAR) || NetworkLineOf(File)) return;  // a line knows by itself
  std::lock_guard lock(ArrivalsMutex);
  COMSTAT stat{};
  DWORD errors = 0;
  if (!::ClearCommError(File, &errors, &stat)) return;
  const auto now = std::chrono::steady_clock::now();  // after the count: never early
  TArrivals& a = Arrivals[File];
  a.Errors |= errors;
  a.Noted = stat.cbInQue;
  a.NotedAt = now;
  a.Read = 0;
}

BOOL ReadFile(HANDLE File, void* Buffer, DWORD Count, DWORD* Read, OVERLAPPED* Overlapped) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->Read(Buffer, Count, Read, Overlapped);
  const BOOL ok = ::ReadFile(File, Buffer, Count, Read, Overlapped);
  const DWORD error = ::GetLastError();
  if (ok || error == ERROR_IO_PENDING) {
    std::lock_guard lock(ArrivalsMutex);
    TArrivals& a = Arrivals[File];
    a.Read += Count;
    // Bytes that were noted waiting were there by then, also for a read that
    // the system completes later; a read that waits for bytes not yet there
    // is not dated at all.
    if (a.Read <= a.Noted)
      a.LastByte = a.NotedAt;
    else if (ok)
      a.LastByte = std::chrono::steady_clock::now();
    else
      a.LastByte.reset();
  }
  ::SetLastError(error);
  return ok;
}

BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->ClearError(Errors, Stat);
  std::lock_guard lock(ArrivalsMutex);
  DWORD errors = 0;
  const BOOL ok = ::ClearCommError(File, &errors, Stat);
  if (const auto it = Arrivals.find(File); it != Arrivals.end()) {
    errors |= it->second.Errors;
    it->second.Errors = 0;
  }
  if (Errors) *Errors = errors;
  return ok;
}

BOOL PurgeComm(HANDLE File, DWORD Flags) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->Purge(Flags);
  // Under the lock: no event may be noted between the purge and the reset.
  std::lock_guard lock(ArrivalsMutex);
  const BOOL ok = ::PurgeComm(File, Flags);
  // What was noted is gone with the bytes. (Every open purges, so a handle
  // value used again starts afresh.)
  if (Flags & PURGE_RXCLEAR) Arrivals.erase(File);
  return ok;
}

BOOL GetCommArrivalTime(HANDLE File, std::chrono::steady_clock::time_point* Instant) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->LastArrival(Instant);
  std::lock_guard lock(ArrivalsMutex);
  const auto it = Arrivals.find(File);
  if (it == Arrivals.end() || !it->second.LastByte) return FALSE;
  *Instant = *it->second.LastByte;
  return TRUE;
}

BOOL SetThreadPriority(TThreadId Thread, int Priority) {
  const HANDLE thread = ::OpenThread(THREAD_SET_INFORMATION, FALSE, Thread);
  if (!thread) return FALSE;
  const BOOL ok = ::SetThreadPriority(thread, Priority);
  ::CloseHandle(thread);
  return ok;
}

}  // namespace platform
