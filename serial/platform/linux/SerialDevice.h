#pragma once

// One open serial device and its driver thread.
//
// The driver thread sleeps in epoll on the device (edge-triggered: every new
// arrival is reported, also while older bytes are unread) and on an eventfd
// that wakes it for new work or to stop. It completes pending event waits,
// reads and writes, tracks line errors and notices a hang-up. All state is
// under one mutex; callers of the comm services and the driver thread meet
// only there.

#include <linux/serial.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/platform/CommDevice.h"
#include "serial/platform/linux/CommServices.h"
#include "serial/platform/linux/ModemWatcher.h"

namespace platform {

class TSerialDevice : public TCommDevice {
 public:
  // nullptr and an errno on failure.
  static TSerialDevice* Open(const std::string& Path, bool Exclusive, int& Errno);
  // Stops the driver, lets queued output drain for the time it needs on the
  // line (bounded), discards the rest and closes.
  ~TSerialDevice() override;

  BOOL Setup(DWORD InQueue, DWORD OutQueue) override;
  BOOL GetState(DCB* Dcb) override;
  BOOL SetState(const DCB* Dcb) override;
  BOOL SetMask(DWORD Mask) override;
  BOOL Read(void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) override;
  BOOL Write(const void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) override;
  BOOL Purge(DWORD Flags) override;
  BOOL ClearError(DWORD* Errors, COMSTAT* Stat) override;
  BOOL ModemStatus(DWORD* Status) override;
  BOOL LastArrival(TClock::time_point* Instant) override;

 private:
  struct TPendingRead {
    BYTE* Buffer;
    DWORD Count;
    DWORD Done;
    OVERLAPPED* Overlapped;
    std::optional<TClock::time_point> TotalDeadline;
    DWORD Interval;  // ms between bytes once one arrived; 0: none
    std::optional<TClock::time_point> IntervalDeadline;
    bool ReturnOnFirstByte;
  };
  struct TPendingWrite {
    std::vector<BYTE> Data;  // its own copy
    DWORD Done;
    OVERLAPPED* Overlapped;
    std::optional<TClock::time_point> Deadline;
  };

  TSerialDevice() = default;
  void DriverLoop();
  void Wake();
  // The following run with FMutex held.
  // End the pending read or write, if any.
  void EndRead(DWORD Status);
  void EndWrite(DWORD Status);
  bool InputWaiting() override;
  void ProgressRead();
  // Driver thread, on new input: what is waiting has arrived by now.
  void NoticeInput();
  // A read took Count bytes from the head of the input queue.
  void NoteArrival(DWORD Count);
  void ProgressWrite();
  // Asks epoll for room in the output queue exactly while a write waits.
  void WatchOutput();
  void CheckDeadlines(TClock::time_point Now);
  std::optional<TClock::time_point> NextDeadline() const;
  void HangUp(int Errno);
  void UpdateLineErrors(bool Signal);
  void DrainBriefly();

  int FFd = -1;
  bool FExclusive = false;
  std::optional<serial_struct> FSavedSerial;  // driver settings before the open
  int FEpollFd = -1;
  int FWakeFd = -1;
  std::thread FDriver;

  bool FStopping = false;
  DCB FDcb{};
  DWORD FErrors = 0;   // CE_ flags since the last ClearCommError
  bool FWatchingOutput = false;
  std::optional<TPendingRead> FRead;
  std::optional<TPendingWrite> FWrite;
  // Bytes at the head of the input queue that were waiting at FNoticedAt,
  // and when the last byte read arrived (no earlier than it did).
  DWORD FNoticedUnread = 0;
  TClock::time_point FNoticedAt;
  std::optional<TClock::time_point> FLastArrival;
  bool FHaveCounters = false;
  serial_icounter_struct FCounters{};
  // Only while the mask asks for modem-line events; touched by the thread
  // that sets the mask (never under FMutex: its thread takes FMutex).
  // The event thread sets a mask too (to end its own wait) while the port
  // closes: the watcher is changed under a lock of its own (not FMutex, which
  // its callback takes while it is being stopped).
  std::mutex FModemMutex;
  std::unique_ptr<TModemWatcher> FModem;
};

}  // namespace platform
