#pragma once

// What a handle of our own comm services stands for: on Linux every handle,
// a serial device (linux/SerialDevice.h) or a line behind a network server
// (network/NetworkLine.h); on Windows, where the system serves serial
// devices, a network line only. The comm functions check the handle and hand
// the call on. Both kinds keep their timeouts, event mask and wait,
// overlapped results and lost state alike, here.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "serial/platform/CommServices.h"

namespace platform {

#if defined(_WIN32)
class TKernelObject {
 public:
  virtual ~TKernelObject() = default;
};
#endif

class TCommDevice : public TKernelObject {
 public:
  using TClock = std::chrono::steady_clock;
  virtual BOOL Setup(DWORD InQueue, DWORD OutQueue) = 0;
  virtual BOOL GetState(DCB* Dcb) = 0;
  virtual BOOL SetState(const DCB* Dcb) = 0;
  BOOL GetTimeouts(COMMTIMEOUTS* Timeouts);
  BOOL SetTimeouts(const COMMTIMEOUTS* Timeouts);
  virtual BOOL SetMask(DWORD Mask) = 0;
  BOOL GetMask(DWORD* Mask);
  // Ends at once with the events of the mask that happened while no wait
  // was pending, or is pending until one happens.
  BOOL WaitEvent(DWORD* EventWord, OVERLAPPED* Overlapped);
  virtual BOOL Read(void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) = 0;
  virtual BOOL Write(const void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) = 0;
  // Waits for a pending operation when asked to; its outcome.
  BOOL Result(OVERLAPPED* Overlapped, DWORD* Transferred, BOOL Wait);
  virtual BOOL Purge(DWORD Flags) = 0;
  virtual BOOL ClearError(DWORD* Errors, COMSTAT* Stat) = 0;
  virtual BOOL ModemStatus(DWORD* Status) = 0;
  virtual BOOL LastArrival(TClock::time_point* Instant) = 0;

 protected:
  bool Failed(DWORD Code, int Errno);
  // The following run with FMutex held.
  // Ends an overlapped operation and wakes its waiters.
  void Complete(OVERLAPPED* Overlapped, DWORD Status, DWORD Bytes);
  // Events happened: those of the mask end the pending wait, or are kept
  // for the next.
  void SignalEvents(DWORD Events);
  // A new mask forgets what was kept and ends the pending wait (with no
  // event).
  void ReplaceMask(DWORD Mask);
  // Ends the pending wait, if any, with this event word.
  void EndWait(DWORD EventWord, DWORD Status = ERROR_SUCCESS);
  // Whether received bytes wait to be read: if not, a kept EV_RXCHAR was
  // read meanwhile and is no news.
  virtual bool InputWaiting() = 0;

  std::mutex FMutex;
  std::condition_variable FCompleted;
  COMMTIMEOUTS FTimeouts{};
  DWORD FMask = 0;
  DWORD FLatched = 0;  // events that happened while no wait was pending
  struct TPendingWait {
    DWORD* EventWord;
    OVERLAPPED* Overlapped;
  };
  std::optional<TPendingWait> FWait;
  bool FHungUp = false;  // the device or the connection has gone
  int FHangUpErrno = 0;
};

}  // namespace platform
