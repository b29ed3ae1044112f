#pragma once

// What a handle of our own comm services stands for: on Linux every handle,
// a serial device (linux/SerialDevice.h) or a line behind a network server
// (network/NetworkLine.h); on Windows, where the system serves serial
// devices, a network line only. The comm functions check the handle and hand
// the call on. Both kinds keep their timeouts, event mask, overlapped results
// and lost state alike, here.

#include <chrono>
#include <condition_variable>
#include <mutex>

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
  virtual BOOL WaitEvent(DWORD* EventWord, OVERLAPPED* Overlapped) = 0;
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
  // With FMutex held: ends an overlapped operation and wakes its waiters.
  void Complete(OVERLAPPED* Overlapped, DWORD Status, DWORD Bytes);

  std::mutex FMutex;
  std::condition_variable FCompleted;
  COMMTIMEOUTS FTimeouts{};
  DWORD FMask = 0;
  bool FHungUp = false;  // the device or the connection has gone
  int FHangUpErrno = 0;
};

}  // namespace platform
