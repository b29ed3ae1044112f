#include "serial/platform/linux/ModemWatcher.h"

#include <pthread.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <csignal>

namespace platform {

namespace {

// Interrupts a thread waiting in the driver; its handler does nothing.
int WakeSignal() {
  static const int signal = [] {
    const int s = SIGRTMIN + 3;
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: the wait returns with EINTR
    ::sigaction(s, &action, nullptr);
    return s;
  }();
  return signal;
}

}  // namespace

DWORD ModemEvents(const serial_icounter_struct& Before, const serial_icounter_struct& After) {
  DWORD events = 0;
  if (After.cts != Before.cts) events |= EV_CTS;
  if (After.dsr != Before.dsr) events |= EV_DSR;
  if (After.rng != Before.rng) events |= EV_RING;
  if (After.dcd != Before.dcd) events |= EV_RLSD;
  return events;
}

TModemWatcher::TModemWatcher(int Fd, std::function<void(DWORD)> OnEvents)
    : FFd(Fd), FOnEvents(std::move(OnEvents)) {
  WakeSignal();
  FThread = std::thread([this] { Run(); });
}

TModemWatcher::~TModemWatcher() {
  FStop = true;
  // The signal may come just before the thread enters the wait; then the
  // next one ends it.
  std::unique_lock lock(FMutex);
  while (!FDone) {
    ::pthread_kill(FThread.native_handle(), WakeSignal());
    FEnded.wait_for(lock, std::chrono::milliseconds(20), [this] { return FDone; });
  }
  lock.unlock();
  FThread.join();
}

void TModemWatcher::Run() {
  serial_icounter_struct last{};
  bool waiting = ::ioctl(FFd, TIOCGICOUNT, &last) == 0;
  while (waiting && !FStop) {
    if (::ioctl(FFd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD) != 0) {
      waiting = errno == EINTR;  // anything else: no modem wait, or hung up
      continue;
    }
    serial_icounter_struct now{};
    if (::ioctl(FFd, TIOCGICOUNT, &now) != 0) break;
    const DWORD events = ModemEvents(last, now);
    last = now;
    if (events && !FStop) FOnEvents(events);
  }
  std::lock_guard lock(FMutex);
  FDone = true;
  FEnded.notify_all();
}

}  // namespace platform
