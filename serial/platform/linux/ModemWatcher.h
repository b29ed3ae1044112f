#pragma once

// Waits for changes of the modem-status lines (CTS, DSR, ring, carrier)
// where the driver can wait for them (TIOCMIWAIT, with the interrupt
// counters of TIOCGICOUNT), and reports them as comm events. Devices without
// modem lines (pseudo-terminals) have no such wait; nothing is reported then.

#include <linux/serial.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "serial/platform/linux/CommServices.h"

namespace platform {

// EV_CTS, EV_DSR, EV_RING, EV_RLSD for the lines whose counters moved.
DWORD ModemEvents(const serial_icounter_struct& Before, const serial_icounter_struct& After);

class TModemWatcher {
 public:
  // Starts waiting on Fd; OnEvents is called on the watcher's thread.
  TModemWatcher(int Fd, std::function<void(DWORD)> OnEvents);
  // Stops the wait (a signal interrupts it) and ends the thread.
  ~TModemWatcher();
  TModemWatcher(const TModemWatcher&) = delete;
  TModemWatcher& operator=(const TModemWatcher&) = delete;

 private:
  void Run();

  const int FFd;
  const std::function<void(DWORD)> FOnEvents;
  std::atomic<bool> FStop{false};
  std::mutex FMutex;
  std::condition_variable FEnded;
  bool FDone = false;
  std::thread FThread;
};

}  // namespace platform
