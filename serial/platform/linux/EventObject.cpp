#include "serial/platform/linux/EventObject.h"

#include <chrono>

#include "serial/platform/linux/Errors.h"

namespace platform {

void TEventObject::Set() {
  std::lock_guard lock(FMutex);
  FSignalled = true;
  if (FManualReset)
    FChanged.notify_all();
  else
    FChanged.notify_one();
}

void TEventObject::Reset() {
  std::lock_guard lock(FMutex);
  FSignalled = false;
}

bool TEventObject::Wait(DWORD Milliseconds) {
  std::unique_lock lock(FMutex);
  const auto signalled = [this] { return FSignalled; };
  if (Milliseconds == INFINITE)
    FChanged.wait(lock, signalled);
  else if (!FChanged.wait_for(lock, std::chrono::milliseconds(Milliseconds), signalled))
    return false;
  if (!FManualReset) FSignalled = false;
  return true;
}

HANDLE CreateEventA(void*, BOOL ManualReset, BOOL InitialState, const char*) {
  return new TEventObject(ManualReset != FALSE, InitialState != FALSE);
}

BOOL SetEvent(HANDLE Event) {
  auto* e = dynamic_cast<TEventObject*>(Event == INVALID_HANDLE_VALUE ? nullptr : Event);
  if (!e) {
    Fail(ERROR_INVALID_HANDLE, EBADF);
    return FALSE;
  }
  e->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE Event) {
  auto* e = dynamic_cast<TEventObject*>(Event == INVALID_HANDLE_VALUE ? nullptr : Event);
  if (!e) {
    Fail(ERROR_INVALID_HANDLE, EBADF);
    return FALSE;
  }
  e->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE Object, DWORD Milliseconds) {
  auto* e = dynamic_cast<TEventObject*>(Object == INVALID_HANDLE_VALUE ? nullptr : Object);
  if (!e) {
    Fail(ERROR_INVALID_HANDLE, EBADF);
    return WAIT_FAILED;
  }
  return e->Wait(Milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE Object) {
  if (!Object || Object == INVALID_HANDLE_VALUE || Object == GetCurrentProcess()) {
    Fail(ERROR_INVALID_HANDLE, EBADF);
    return FALSE;
  }
  delete Object;
  return TRUE;
}

}  // namespace platform
