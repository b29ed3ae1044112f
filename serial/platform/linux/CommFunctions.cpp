// The comm services on a handle: checks of the handle and hand-off to the
// device.

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/platform/PortEnumeration.h"
#include "serial/platform/linux/CommServices.h"
#include "serial/platform/linux/Errors.h"
#include "serial/platform/linux/SerialDevice.h"
#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/NetworkLine.h"

namespace platform {

namespace {

TCommDevice* DeviceOf(HANDLE File) {
  auto* device = File == INVALID_HANDLE_VALUE ? nullptr : dynamic_cast<TCommDevice*>(File);
  if (!device) Fail(ERROR_INVALID_HANDLE, EBADF);
  return device;
}

bool IsComNumber(const std::string& Text, unsigned& Number) {
  if (Text.size() < 4 || Text.compare(0, 3, "COM") != 0) return false;
  Number = 0;
  for (std::size_t i = 3; i < Text.size(); ++i) {
    if (Text[i] < '0' || Text[i] > '9' || Number > 1000) return false;
    Number = Number * 10 + static_cast<unsigned>(Text[i] - '0');
  }
  return Number >= 1;
}

class TProcessObject : public TKernelObject {};

}  // namespace

std::string DevicePathOf(const std::string& DeviceName) {
  std::string name = DeviceName;
  if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
  if (!name.empty() && name[0] == '/') return name;
  unsigned number = 0;
  if (IsComNumber(name, number)) return "/dev/ttyS" + std::to_string(number - 1);
  // A virtual port of the user's own goes by its name as one in /dev does.
  const std::string dev = "/dev/" + name;
  const std::string folder = UserPortFolder();
  const std::string user = folder + "/" + name;
  if (::access(dev.c_str(), F_OK) != 0 && IsOwnFolder(folder) && ::access(user.c_str(), F_OK) == 0)
    return user;
  return dev;
}

HANDLE CreateFileA(const char* FileName, DWORD DesiredAccess, DWORD ShareMode, void*,
                   DWORD CreationDisposition, DWORD, HANDLE) {
  if (!FileName || CreationDisposition != OPEN_EXISTING ||
      (DesiredAccess & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE)) {
    Fail(ERROR_INVALID_PARAMETER, EINVAL);
    return INVALID_HANDLE_VALUE;
  }
  if (network::IsNetworkAddress(FileName)) {
    TNetworkLine* line = TNetworkLine::Open(FileName);
    return line ? line : INVALID_HANDLE_VALUE;
  }
  const std::string path = DevicePathOf(FileName);
  // A name that leaves /dev by way of ".." is no device name.
  if (path.find("/../") != std::string::npos || path.ends_with("/..")) {
    Fail(ERROR_FILE_NOT_FOUND, ENOENT);
    return INVALID_HANDLE_VALUE;
  }
  int error = 0;
  TSerialDevice* device = TSerialDevice::Open(path, ShareMode == 0, error);
  if (!device) {
    FailErrno(error);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return device;
}

BOOL SetupComm(HANDLE File, DWORD InQueue, DWORD OutQueue) {
  auto* d = DeviceOf(File);
  return d ? d->Setup(InQueue, OutQueue) : FALSE;
}

BOOL GetCommState(HANDLE File, DCB* Dcb) {
  auto* d = DeviceOf(File);
  return d ? d->GetState(Dcb) : FALSE;
}

BOOL SetCommState(HANDLE File, const DCB* Dcb) {
  auto* d = DeviceOf(File);
  return d ? d->SetState(Dcb) : FALSE;
}

BOOL GetCommTimeouts(HANDLE File, COMMTIMEOUTS* Timeouts) {
  auto* d = DeviceOf(File);
  return d ? d->GetTimeouts(Timeouts) : FALSE;
}

BOOL SetCommTimeouts(HANDLE File, const COMMTIMEOUTS* Timeouts) {
  auto* d = DeviceOf(File);
  return d ? d->SetTimeouts(Timeouts) : FALSE;
}

BOOL SetCommMask(HANDLE File, DWORD EventMask) {
  auto* d = DeviceOf(File);
  return d ? d->SetMask(EventMask) : FALSE;
}

BOOL GetCommMask(HANDLE File, DWORD* EventMask) {
  auto* d = DeviceOf(File);
  return d ? d->GetMask(EventMask) : FALSE;
}

BOOL WaitCommEvent(HANDLE File, DWORD* EventWord, OVERLAPPED* Overlapped) {
  auto* d = DeviceOf(File);
  return d ? d->WaitEvent(EventWord, Overlapped) : FALSE;
}

BOOL ReadFile(HANDLE File, void* Buffer, DWORD Count, DWORD* Read, OVERLAPPED* Overlapped) {
  auto* d = DeviceOf(File);
  return d ? d->Read(Buffer, Count, Read, Overlapped) : FALSE;
}

BOOL WriteFile(HANDLE File, const void* Buffer, DWORD Count, DWORD* Written,
               OVERLAPPED* Overlapped) {
  auto* d = DeviceOf(File);
  return d ? d->Write(Buffer, Count, Written, Overlapped) : FALSE;
}

BOOL GetOverlappedResult(HANDLE File, OVERLAPPED* Overlapped, DWORD* Transferred, BOOL Wait) {
  auto* d = DeviceOf(File);
  return d ? d->Result(Overlapped, Transferred, Wait) : FALSE;
}

BOOL PurgeComm(HANDLE File, DWORD Flags) {
  auto* d = DeviceOf(File);
  return d ? d->Purge(Flags) : FALSE;
}

BOOL ClearCommError(HANDLE File, DWORD* Errors, COMSTAT* Stat) {
  auto* d = DeviceOf(File);
  return d ? d->ClearError(Errors, Stat) : FALSE;
}

BOOL GetCommModemStatus(HANDLE File, DWORD* ModemStat) {
  auto* d = DeviceOf(File);
  return d ? d->ModemStatus(ModemStat) : FALSE;
}

BOOL GetCommArrivalTime(HANDLE File, std::chrono::steady_clock::time_point* Instant) {
  auto* d = DeviceOf(File);
  return d ? d->LastArrival(Instant) : FALSE;
}

// --- priorities ----------------------------------------------------------------

HANDLE GetCurrentProcess() {
  static TProcessObject process;
  return &process;
}

DWORD GetPriorityClass(HANDLE Process) {
  if (Process != GetCurrentProcess()) {
    Fail(ERROR_INVALID_HANDLE, EBADF);
    return 0;
  }
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, 0);
  if (nice == -1 && errno != 0) {
    FailErrno(errno);
    return 0;
  }
  return PRIORITY_CLASS_NICE | static_cast<DWORD>(static_cast<std::uint8_t>(nice));
}

BOOL SetPriorityClass(HANDLE Process, DWORD PriorityClass) {
  if (Process != GetCurrentProcess()) {
    Fail(ERROR_INVALID_HANDLE, EBADF);
    return FALSE;
  }
  int nice;
  switch (PriorityClass) {
    case IDLE_PRIORITY_CLASS:
      nice = 19;
      break;
    case NORMAL_PRIORITY_CLASS:
      nice = 0;
      break;
    case HIGH_PRIORITY_CLASS:
      nice = -10;
      break;
    case REALTIME_PRIORITY_CLASS:
      nice = -20;
      break;
    default:
      if (!(PriorityClass & PRIORITY_CLASS_NICE)) {
        Fail(ERROR_INVALID_PARAMETER, EINVAL);
        return FALSE;
      }
      nice = static_cast<std::int8_t>(PriorityClass & 0xFF);
  }
  if (::setpriority(PRIO_PROCESS, 0, nice) != 0) {
    FailErrno(errno);
    return FALSE;
  }
  return TRUE;
}

pid_t GetCurrentThreadId() {
  return static_cast<pid_t>(::syscall(SYS_gettid));
}

BOOL SetThreadPriority(pid_t Thread, int Priority) {
  if (Priority < THREAD_PRIORITY_IDLE || Priority > THREAD_PRIORITY_TIME_CRITICAL) {
    Fail(ERROR_INVALID_PARAMETER, EINVAL);
    return FALSE;
  }
  // -15..15 onto nice 19..-20: idle is the lowest, time-critical the highest.
  int nice;
  switch (Priority) {
    case THREAD_PRIORITY_IDLE:
      nice = 19;
      break;
    case THREAD_PRIORITY_TIME_CRITICAL:
      nice = -20;
      break;
    default:
      nice = -5 * Priority;
      break;
  }
  if (::setpriority(PRIO_PROCESS, static_cast<id_t>(Thread), nice) != 0) {
    FailErrno(errno);
    return FALSE;
  }
  return TRUE;
}

}  // namespace platform
