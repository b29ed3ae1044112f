#include "serial/platform/CommDevice.h"

#include <cerrno>

#include "serial/platform/Failure.h"

namespace platform {

bool TCommDevice::Failed(DWORD Code, int Errno) {
  Fail(Code, Errno);
  return false;
}

void TCommDevice::Complete(OVERLAPPED* Overlapped, DWORD Status, DWORD Bytes) {
  Overlapped->Internal = Status;
  Overlapped->InternalHigh = Bytes;
  if (Overlapped->hEvent) SetEvent(Overlapped->hEvent);
  FCompleted.notify_all();
}

BOOL TCommDevice::GetTimeouts(COMMTIMEOUTS* Timeouts) {
  std::lock_guard lock(FMutex);
  *Timeouts = FTimeouts;
  return TRUE;
}

BOOL TCommDevice::SetTimeouts(const COMMTIMEOUTS* Timeouts) {
  std::lock_guard lock(FMutex);
  FTimeouts = *Timeouts;
  return TRUE;
}

BOOL TCommDevice::GetMask(DWORD* Mask) {
  std::lock_guard lock(FMutex);
  *Mask = FMask;
  return TRUE;
}

BOOL TCommDevice::Result(OVERLAPPED* Overlapped, DWORD* Transferred, BOOL Wait) {
  std::unique_lock lock(FMutex);
  if (Overlapped->Internal == STATUS_PENDING) {
    if (!Wait) return Failed(ERROR_IO_INCOMPLETE, EINPROGRESS);
    FCompleted.wait(lock, [&] { return Overlapped->Internal != STATUS_PENDING; });
  }
  if (Transferred) *Transferred = static_cast<DWORD>(Overlapped->InternalHigh);
  const auto status = static_cast<DWORD>(Overlapped->Internal);
  if (status != ERROR_SUCCESS)
    return Failed(status, status == ERROR_ACCESS_DENIED && FHangUpErrno ? FHangUpErrno
                          : status == ERROR_OPERATION_ABORTED           ? ECANCELED
                                                                        : EIO);
  return TRUE;
}

}  // namespace platform
