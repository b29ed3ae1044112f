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

void TCommDevice::SignalEvents(DWORD Events) {
  Events &= FMask;
  // Input noticed before the lock may have been read under it meanwhile:
  // no event for bytes that are gone (the dispatch would find nothing).
  if ((Events & EV_RXCHAR) && !InputWaiting()) Events &= ~EV_RXCHAR;
  if (!Events) return;
  if (FWait) {
    EndWait(Events | FLatched);
    FLatched = 0;
  } else {
    FLatched |= Events;
  }
}

void TCommDevice::ReplaceMask(DWORD Mask) {
  FMask = Mask;
  FLatched = 0;
  EndWait(0);
}

void TCommDevice::EndWait(DWORD EventWord, DWORD Status) {
  if (!FWait) return;
  *FWait->EventWord = EventWord;
  Complete(FWait->Overlapped, Status, 0);
  FWait.reset();
}

BOOL TCommDevice::WaitEvent(DWORD* EventWord, OVERLAPPED* Overlapped) {
  std::lock_guard lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (FMask == 0 || FWait || !Overlapped) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  if ((FLatched & EV_RXCHAR) && !InputWaiting()) FLatched &= ~EV_RXCHAR;
  if (FLatched & FMask) {
    *EventWord = FLatched & FMask;
    FLatched = 0;
    Overlapped->Internal = ERROR_SUCCESS;
    return TRUE;
  }
  Overlapped->Internal = STATUS_PENDING;
  Overlapped->InternalHigh = 0;
  if (Overlapped->hEvent) ResetEvent(Overlapped->hEvent);
  FWait = TPendingWait{EventWord, Overlapped};
  return Failed(ERROR_IO_PENDING, EINPROGRESS);
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
