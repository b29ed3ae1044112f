// The comm functions on Windows for lines behind network servers; every
// other handle goes to the system's function of the same name.

#include "serial/platform/windows/NetworkHandles.h"

#include <map>
#include <memory>
#include <mutex>

#include "serial/platform/Failure.h"
#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/NetworkLine.h"

namespace platform {

namespace {

std::mutex LinesMutex;
std::map<HANDLE, std::unique_ptr<TCommDevice>> Lines;

}  // namespace

TCommDevice* NetworkLineOf(HANDLE Handle) {
  std::lock_guard lock(LinesMutex);
  const auto it = Lines.find(Handle);
  return it == Lines.end() ? nullptr : it->second.get();
}

HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode,
                   SECURITY_ATTRIBUTES* Security, DWORD CreationDisposition, DWORD Flags,
                   HANDLE Template) {
  ForgetFailureDetail();  // each open tells its own
  if (!FileName || !network::IsNetworkAddress(FileName))
    return ::CreateFileA(FileName, DesiredAccess, ShareMode, Security, CreationDisposition, Flags,
                         Template);
  std::unique_ptr<TCommDevice> line(TNetworkLine::Open(FileName));
  if (!line) return INVALID_HANDLE_VALUE;
  const HANDLE key = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!key) return INVALID_HANDLE_VALUE;
  std::lock_guard lock(LinesMutex);
  Lines.emplace(key, std::move(line));
  ::SetLastError(ERROR_SUCCESS);
  return key;
}

BOOL CloseHandle(HANDLE Object) {
  std::unique_ptr<TCommDevice> line;
  {
    std::lock_guard lock(LinesMutex);
    if (const auto it = Lines.find(Object); it != Lines.end()) {
      line = std::move(it->second);
      Lines.erase(it);
    }
  }
  line.reset();  // the connection ends here, outside the lock
  return ::CloseHandle(Object);
}

BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->Setup(InQueue, OutQueue);
  return ::SetupComm(File, InQueue, OutQueue);
}

BOOL GetCommState(HANDLE File, DCB* Dcb) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->GetState(Dcb);
  return ::GetCommState(File, Dcb);
}

BOOL SetCommState(HANDLE File, DCB* Dcb) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->SetState(Dcb);
  return ::SetCommState(File, Dcb);
}

BOOL GetCommTimeouts(HANDLE File, COMMTIMEOUTS* Timeouts) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->GetTimeouts(Timeouts);
  return ::GetCommTimeouts(File, Timeouts);
}

BOOL SetCommTimeouts(HANDLE File, COMMTIMEOUTS* Timeouts) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->SetTimeouts(Timeouts);
  return ::SetCommTimeouts(File, Timeouts);
}

BOOL GetCommMask(HANDLE File, DWORD* EventMask) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->GetMask(EventMask);
  return ::GetCommMask(File, EventMask);
}

BOOL SetCommMask(HANDLE File, DWORD EventMask) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->SetMask(EventMask);
  return ::SetCommMask(File, EventMask);
}

BOOL WaitCommEvent(HANDLE File, DWORD* EventWord, OVERLAPPED* Overlapped) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->WaitEvent(EventWord, Overlapped);
  return ::WaitCommEvent(File, EventWord, Overlapped);
}

BOOL WriteFile(HANDLE File, const void* Buffer, DWORD Count, DWORD* Written,
               OVERLAPPED* Overlapped) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->Write(Buffer, Count, Written, Overlapped);
  return ::WriteFile(File, Buffer, Count, Written, Overlapped);
}

BOOL GetOverlappedResult(HANDLE File, OVERLAPPED* Overlapped, DWORD* Transferred, BOOL Wait) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->Result(Overlapped, Transferred, Wait);
  return ::GetOverlappedResult(File, Overlapped, Transferred, Wait);
}

BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) {
  if (TCommDevice* d = NetworkLineOf(File)) return d->ModemStatus(ModemStat);
  return ::GetCommModemStatus(File, ModemStat);
}

}  // namespace platform
