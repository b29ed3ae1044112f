#include "serial/platform/linux/SerialDevice.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/platform/linux/Errors.h"
#include "serial/platform/linux/EventObject.h"
#include "serial/platform/linux/LineSettings.h"

namespace platform {

namespace {

int ClosingFd(int Fd, int Errno) {
  ::close(Fd);
  return Errno;
}

// Longest time the release waits for queued output to leave.
constexpr auto kMaxDrain = std::chrono::seconds(5);
constexpr auto kDrainMargin = std::chrono::milliseconds(100);

}  // namespace

TSerialDevice* TSerialDevice::Open(const std::string& Path, bool Exclusive, int& Errno) {
  const int fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    Errno = errno;
    return nullptr;
  }
  if (!::isatty(fd)) {
    Errno = ClosingFd(fd, ENOTTY);
    return nullptr;
  }
  if (Exclusive) {
    // TIOCEXCL keeps other programs out, but not root; a lock keeps out
    // every program that locks as well, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      Errno = ClosingFd(fd, errno == EWOULDBLOCK ? EBUSY : errno);
      return nullptr;
    }
    ::ioctl(fd, TIOCEXCL);
  }
  // USB adapters otherwise hold received bytes for up to 16 ms; and close()
  // must not wait for queued output (the release bounds that itself). Both
  // are put back when the port is released.
  std::optional<serial_struct> saved;
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
    saved = serial;
    serial.flags |= ASYNC_LOW_LATENCY;
    serial.closing_wait = ASYNC_CLOSING_WAIT_NONE;
    ::ioctl(fd, TIOCSSERIAL, &serial);
  }
  if (const int e = MakeRaw(fd)) {
    if (saved) ::ioctl(fd, TIOCSSERIAL, &*saved);
    if (Exclusive) ::ioctl(fd, TIOCNXCL);
    Errno = ClosingFd(fd, e);
    return nullptr;
  }

  auto* device = new TSerialDevice();
  device->FFd = fd;
  device->FExclusive = Exclusive;
  device->FSavedSerial = saved;
  ReadLineSettings(fd, device->FDcb);
  device->FHaveCounters = ::ioctl(fd, TIOCGICOUNT, &device->FCounters) == 0;
  device->FEpollFd = ::epoll_create1(EPOLL_CLOEXEC);
  device->FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLET;  // EPOLLOUT only while a write waits for room
  ev.data.fd = fd;
  const bool ok = device->FEpollFd >= 0 && device->FWakeFd >= 0 &&
                  ::epoll_ctl(device->FEpollFd, EPOLL_CTL_ADD, fd, &ev) == 0;
  ev.events = EPOLLIN;
  ev.data.fd = device->FWakeFd;
  if (!ok || ::epoll_ctl(device->FEpollFd, EPOLL_CTL_ADD, device->FWakeFd, &ev) != 0) {
    Errno = errno;
    delete device;
    return nullptr;
  }
  device->FDriver = std::thread([device] { device->DriverLoop(); });
  return device;
}

TSerialDevice::~TSerialDevice() {
  FModem.reset();
  if (FDriver.joinable()) {
    {
      std::lock_guard lock(FMutex);
      FStopping = true;
      EndWait(0);
      EndRead(ERROR_OPERATION_ABORTED);
      EndWrite(ERROR_OPERATION_ABORTED);
    }
    Wake();
    FDriver.join();
  }
  if (FFd >= 0) {
    DrainBriefly();
    // The next program to open the device (this tool again, as a normal
    // user, or another) finds it as it was: not exclusive, its driver flags
    // and closing wait back. The output queue is empty by now.
    if (FSavedSerial) ::ioctl(FFd, TIOCSSERIAL, &*FSavedSerial);
    if (FExclusive) ::ioctl(FFd, TIOCNXCL);
    ::close(FFd);  // also drops the lock
  }
  if (FEpollFd >= 0) ::close(FEpollFd);
  if (FWakeFd >= 0) ::close(FWakeFd);
}

void TSerialDevice::DrainBriefly() {
  if (FHungUp) return;
  int queued = 0;
  if (::ioctl(FFd, TIOCOUTQ, &queued) != 0 || queued <= 0) return;
  const auto need = std::chrono::microseconds(long(queued) * CharacterMicroseconds(FFd));
  const auto limit = std::min<TClock::duration>(need + kDrainMargin, kMaxDrain);
  // tcdrain has no time limit of its own: it runs aside, and flushing the
  // output queue ends it when the time is up.
  std::mutex m;
  std::condition_variable done;
  bool drained = false;
  std::thread drainer([&] {
    ::tcdrain(FFd);
    std::lock_guard lock(m);
    drained = true;
    done.notify_all();
  });
  {
    std::unique_lock lock(m);
    if (!done.wait_for(lock, limit, [&] { return drained; })) {
      lock.unlock();
      ::tcflush(FFd, TCOFLUSH);
    }
  }
  drainer.join();
}

void TSerialDevice::Wake() {
  const std::uint64_t one = 1;
  while (::write(FWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool TSerialDevice::InputWaiting() {
  int waiting = 0;
  return ::ioctl(FFd, TIOCINQ, &waiting) != 0 || waiting > 0;
}

void TSerialDevice::EndRead(DWORD Status) {
  if (!FRead) return;
  Complete(FRead->Overlapped, Status, FRead->Done);
  FRead.reset();
}

void TSerialDevice::EndWrite(DWORD Status) {
  if (!FWrite) return;
  Complete(FWrite->Overlapped, Status, FWrite->Done);
  FWrite.reset();
}

void TSerialDevice::DriverLoop() {
  epoll_event events[4];
  for (;;) {
    int timeout = -1;
    {
      std::lock_guard lock(FMutex);
      if (FStopping) return;
      if (const auto next = NextDeadline()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - TClock::now());
        timeout = static_cast<int>(std::max<long>(0, left.count()));
      }
    }
    const int n = ::epoll_wait(FEpollFd, events, 4, timeout);
    std::lock_guard lock(FMutex);
    if (FStopping) return;
    for (int i = 0; i < n; ++i) {
      if (events[i].data.fd == FWakeFd) {
        std::uint64_t count;
        while (::read(FWakeFd, &count, sizeof count) < 0 && errno == EINTR) {
        }
        continue;
      }
      const auto e = events[i].events;
      // A hung-up terminal also reports "readable"; there is nothing to read.
      if (e & (EPOLLHUP | EPOLLERR)) {
        HangUp(EIO);
        continue;
      }
      if (e & EPOLLIN) {
        NoticeInput();
        SignalEvents(EV_RXCHAR);
        UpdateLineErrors(true);
        ProgressRead();
      }
      if (e & EPOLLOUT) ProgressWrite();
    }
    CheckDeadlines(TClock::now());
    WatchOutput();
  }
}

void TSerialDevice::WatchOutput() {
  // A write that went out whole needs no wake-up: the driver thread is not
  // woken for room in the output queue while nothing waits for it.
  const bool wanted = FWrite.has_value() && !FHungUp;
  if (wanted == FWatchingOutput) return;
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLET | (wanted ? EPOLLOUT : 0u);
  ev.data.fd = FFd;
  if (::epoll_ctl(FEpollFd, EPOLL_CTL_MOD, FFd, &ev) == 0) FWatchingOutput = wanted;
}

void TSerialDevice::HangUp(int Errno) {
  if (FHungUp) return;
  FHungUp = true;
  FHangUpErrno = Errno;
  // No more readiness reports: a hung-up device would report for ever.
  ::epoll_ctl(FEpollFd, EPOLL_CTL_DEL, FFd, nullptr);
  EndWait(0);
  EndRead(ERROR_ACCESS_DENIED);
  EndWrite(ERROR_ACCESS_DENIED);
}

void TSerialDevice::NoticeInput() {
  int waiting = 0;
  if (::ioctl(FFd, TIOCINQ, &waiting) != 0 || waiting <= 0) return;
  FNoticedUnread = static_cast<DWORD>(waiting);
  FNoticedAt = TClock::now();
}

void TSerialDevice::NoteArrival(DWORD Count) {
  // Bytes this thread saw waiting arrived before it saw them; bytes it has
  // not seen yet arrived just now, as far as anyone can tell.
  if (Count <= FNoticedUnread) {
    FNoticedUnread -= Count;
    FLastArrival = FNoticedAt;
  } else {
    FNoticedUnread = 0;
    FLastArrival = TClock::now();
  }
}

void TSerialDevice::ProgressRead() {
  if (!FRead) return;
  TPendingRead& r = *FRead;
  while (r.Done < r.Count) {
    const ssize_t got = ::read(FFd, r.Buffer + r.Done, r.Count - r.Done);
    if (got > 0) {
      r.Done += static_cast<DWORD>(got);
      NoteArrival(static_cast<DWORD>(got));
      if (r.Interval) r.IntervalDeadline = TClock::now() + std::chrono::milliseconds(r.Interval);
      if (r.ReturnOnFirstByte) break;
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && errno == EAGAIN) {
      return;
    } else {
      HangUp(got == 0 ? EIO : errno);
      return;
    }
  }
  EndRead(ERROR_SUCCESS);
}

void TSerialDevice::ProgressWrite() {
  if (!FWrite) return;
  TPendingWrite& w = *FWrite;
  while (w.Done < w.Data.size()) {
    const ssize_t put = ::write(FFd, w.Data.data() + w.Done, w.Data.size() - w.Done);
    if (put >= 0) {
      w.Done += static_cast<DWORD>(put);
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN) {
      return;
    } else {
      HangUp(errno);
      return;
    }
  }
  EndWrite(ERROR_SUCCESS);
}

std::optional<TSerialDevice::TClock::time_point> TSerialDevice::NextDeadline() const {
  std::optional<TClock::time_point> next;
  const auto consider = [&](const std::optional<TClock::time_point>& t) {
    if (t && (!next || *t < *next)) next = t;
  };
  if (FRead) {
    consider(FRead->TotalDeadline);
    consider(FRead->IntervalDeadline);
  }
  if (FWrite) consider(FWrite->Deadline);
  return next;
}

void TSerialDevice::CheckDeadlines(TClock::time_point Now) {
  if (FRead) {
    const auto expired = [&](const std::optional<TClock::time_point>& t) { return t && *t <= Now; };
    if (expired(FRead->TotalDeadline) || expired(FRead->IntervalDeadline)) {
      ProgressRead();  // take what has arrived meanwhile
      EndRead(ERROR_SUCCESS);
    }
  }
  if (FWrite && FWrite->Deadline && *FWrite->Deadline <= Now) EndWrite(ERROR_SUCCESS);
}

void TSerialDevice::UpdateLineErrors(bool Signal) {
  if (!FHaveCounters) return;
  serial_icounter_struct now{};
  if (::ioctl(FFd, TIOCGICOUNT, &now) != 0) return;
  DWORD flags = 0;
  if (now.frame != FCounters.frame) flags |= CE_FRAME;
  if (now.overrun != FCounters.overrun) flags |= CE_OVERRUN;
  if (now.parity != FCounters.parity) flags |= CE_RXPARITY;
  if (now.brk != FCounters.brk) flags |= CE_BREAK;
  if (now.buf_overrun != FCounters.buf_overrun) flags |= CE_RXOVER;
  FCounters = now;
  FErrors |= flags;
  if (Signal) {
    DWORD events = 0;
    if (flags & (CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER)) events |= EV_ERR;
    if (flags & CE_BREAK) events |= EV_BREAK;
    SignalEvents(events);
  }
}

// --- the services ------------------------------------------------------------

BOOL TSerialDevice::Setup(DWORD InQueue, DWORD OutQueue) {
  // The kernel's queues have fixed sizes; the recommendation is accepted.
  if (InQueue == 0 || OutQueue == 0) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  return TRUE;
}

BOOL TSerialDevice::GetState(DCB* Dcb) {
  std::lock_guard lock(FMutex);
  *Dcb = FDcb;
  return TRUE;
}

BOOL TSerialDevice::SetState(const DCB* Dcb) {
  std::lock_guard lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (const int e = WriteLineSettings(FFd, *Dcb)) return Failed(ErrorOfErrno(e), e);
  FDcb = *Dcb;
  return TRUE;
}

BOOL TSerialDevice::SetMask(DWORD Mask) {
  {
    std::lock_guard lock(FMutex);
    ReplaceMask(Mask);
  }
  constexpr DWORD modemEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD;
  std::lock_guard modemLock(FModemMutex);
  if ((Mask & modemEvents) && FHaveCounters && !FModem) {
    FModem = std::make_unique<TModemWatcher>(FFd, [this](DWORD Events) {
      std::lock_guard lock(FMutex);
      SignalEvents(Events);
    });
  } else if (!(Mask & modemEvents)) {
    FModem.reset();
  }
  return TRUE;
}

BOOL TSerialDevice::Read(void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) {
  std::unique_lock lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (FRead || !Overlapped) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  const COMMTIMEOUTS& t = FTimeouts;
  const bool returnAtOnce = t.ReadIntervalTimeout == MAXDWORD &&
                            t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
  const bool firstByte = t.ReadIntervalTimeout == MAXDWORD &&
                         t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                         t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD;
  TPendingRead r{static_cast<BYTE*>(Buffer), Count, 0, Overlapped, {}, 0, {}, firstByte};
  if (firstByte) {
    r.TotalDeadline = TClock::now() + std::chrono::milliseconds(t.ReadTotalTimeoutConstant);
  } else if (!returnAtOnce) {
    const auto total =
        std::uint64_t{t.ReadTotalTimeoutMultiplier} * Count + t.ReadTotalTimeoutConstant;
    if (total) r.TotalDeadline = TClock::now() + std::chrono::milliseconds(total);
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD)
      r.Interval = t.ReadIntervalTimeout;
  }
  Overlapped->Internal = STATUS_PENDING;
  Overlapped->InternalHigh = 0;
  if (Overlapped->hEvent) ResetEvent(Overlapped->hEvent);
  FRead = r;
  ProgressRead();
  if (FHungUp && !FRead) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (FRead && (returnAtOnce || (firstByte && FRead->Done > 0))) EndRead(ERROR_SUCCESS);
  if (!FRead) {
    if (Done) *Done = static_cast<DWORD>(Overlapped->InternalHigh);
    return TRUE;
  }
  lock.unlock();
  Wake();  // the driver recomputes its deadlines
  return Failed(ERROR_IO_PENDING, EINPROGRESS);
}

BOOL TSerialDevice::Write(const void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) {
  std::unique_lock lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (FWrite || !Overlapped) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  const auto* bytes = static_cast<const BYTE*>(Buffer);
  TPendingWrite w{std::vector<BYTE>(bytes, bytes + Count), 0, Overlapped, {}};
  const auto total = std::uint64_t{FTimeouts.WriteTotalTimeoutMultiplier} * Count +
                     FTimeouts.WriteTotalTimeoutConstant;
  if (total) w.Deadline = TClock::now() + std::chrono::milliseconds(total);
  Overlapped->Internal = STATUS_PENDING;
  Overlapped->InternalHigh = 0;
  if (Overlapped->hEvent) ResetEvent(Overlapped->hEvent);
  FWrite = std::move(w);
  ProgressWrite();
  if (FHungUp && !FWrite) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (!FWrite) {
    if (Done) *Done = static_cast<DWORD>(Overlapped->InternalHigh);
    lock.unlock();
    // Some drivers (pseudo-terminals among them) pass written bytes on in a
    // kernel worker. Give it the processor now rather than after whatever
    // this thread does next (the window's display work): on a busy machine
    // that held the request back from the line by a quarter millisecond.
    ::sched_yield();
    return TRUE;
  }
  WatchOutput();
  lock.unlock();
  Wake();
  return Failed(ERROR_IO_PENDING, EINPROGRESS);
}

BOOL TSerialDevice::Purge(DWORD Flags) {
  std::lock_guard lock(FMutex);
  if (Flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
    return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  if (Flags & PURGE_RXABORT) EndRead(ERROR_OPERATION_ABORTED);
  if (Flags & PURGE_TXABORT) EndWrite(ERROR_OPERATION_ABORTED);
  if (FHungUp) return TRUE;
  if (Flags & PURGE_RXCLEAR) {
    if (::tcflush(FFd, TCIFLUSH) != 0) return Failed(ErrorOfErrno(errno), errno);
    FNoticedUnread = 0;
  }
  if ((Flags & PURGE_TXCLEAR) && ::tcflush(FFd, TCOFLUSH) != 0)
    return Failed(ErrorOfErrno(errno), errno);
  return TRUE;
}

BOOL TSerialDevice::ClearError(DWORD* Errors, COMSTAT* Stat) {
  std::lock_guard lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  UpdateLineErrors(false);
  if (Errors) *Errors = FErrors;
  FErrors = 0;
  if (Stat) {
    int in = 0, out = 0;
    if (::ioctl(FFd, TIOCINQ, &in) != 0) return Failed(ErrorOfErrno(errno), errno);
    if (::ioctl(FFd, TIOCOUTQ, &out) != 0) out = 0;
    Stat->fFlags = 0;
    Stat->cbInQue = static_cast<DWORD>(std::max(in, 0));
    Stat->cbOutQue = static_cast<DWORD>(std::max(out, 0)) +
                     (FWrite ? static_cast<DWORD>(FWrite->Data.size() - FWrite->Done) : 0);
  }
  return TRUE;
}

BOOL TSerialDevice::LastArrival(TClock::time_point* Instant) {
  std::lock_guard lock(FMutex);
  if (!FLastArrival) return FALSE;  // a plain query: no error to leave behind
  *Instant = *FLastArrival;
  return TRUE;
}

BOOL TSerialDevice::ModemStatus(DWORD* Status) {
  std::lock_guard lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  int lines = 0;
  // Devices without modem lines (pseudo-terminals): all lines off.
  if (::ioctl(FFd, TIOCMGET, &lines) != 0) lines = 0;
  *Status = ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
            ((lines & TIOCM_RI) ? MS_RING_ON : 0) | ((lines & TIOCM_CD) ? MS_RLSD_ON : 0);
  return TRUE;
}

}  // namespace platform
