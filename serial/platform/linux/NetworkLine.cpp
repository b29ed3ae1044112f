#include "serial/platform/linux/NetworkLine.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/platform/linux/Errors.h"

namespace platform {

namespace {

using namespace std::chrono_literals;
using namespace telnet;

constexpr int kConnectMilliseconds = 5000;
constexpr auto kAnswerWait = 3s;         // for the server's answers to the settings
constexpr auto kPurgeBarrier = 1s;       // longest wait for a purge's answer
constexpr int kSendMilliseconds = 5000;  // for room to send

// RFC 2217's numbers for the line settings.
std::uint8_t ParityCode(BYTE Parity) {
  switch (Parity) {
    case ODDPARITY:
      return 2;
    case EVENPARITY:
      return 3;
    case MARKPARITY:
      return 4;
    case SPACEPARITY:
      return 5;
    default:
      return 1;  // none
  }
}
std::uint8_t StopCode(BYTE StopBits) {
  return StopBits == TWOSTOPBITS ? 2 : StopBits == ONE5STOPBITS ? 3 : 1;
}

}  // namespace

HANDLE TNetworkLine::Open(const std::string& Name) {
  network::TNetworkAddress address;
  std::string error;
  if (!network::ParseNetworkAddress(Name, address, error)) {
    Fail(ERROR_INVALID_PARAMETER, EINVAL);
    return INVALID_HANDLE_VALUE;
  }
  auto* line = new TNetworkLine;
  line->FRfc2217 = address.Rfc2217;
  int errnum = 0;
  if (!line->Connect(address, errnum)) {
    delete line;
    FailErrno(errnum);
    return INVALID_HANDLE_VALUE;
  }
  line->FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (line->FWakeFd < 0 || (line->FRfc2217 && !line->SendAll(Greeting()))) {
    errnum = errno;
    delete line;
    FailErrno(errnum);
    return INVALID_HANDLE_VALUE;
  }
  line->FReader = std::thread([line] { line->ReaderLoop(); });
  SetLastError(ERROR_SUCCESS);
  return line;
}

bool TNetworkLine::Connect(const network::TNetworkAddress& Address, int& Errno) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(Address.Host.c_str(), Address.Port.c_str(), &hints, &found) != 0) {
    Errno = ENOENT;  // the name does not resolve
    return false;
  }
  Errno = EHOSTUNREACH;
  for (addrinfo* a = found; a; a = a->ai_next) {
    const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) {
      Errno = errno;
      continue;
    }
    int result = ::connect(s, a->ai_addr, a->ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
      pollfd p{s, POLLOUT, 0};
      const int ready = ::poll(&p, 1, kConnectMilliseconds);
      int soError = ready == 0 ? ETIMEDOUT : 0;
      socklen_t size = sizeof soError;
      if (ready > 0) ::getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &size);
      result = soError == 0 ? 0 : -1;
      errno = soError;
    }
    if (result == 0) {
      const int one = 1;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);  // a request is one frame
      FSocket = s;
      break;
    }
    Errno = errno;
    ::close(s);
  }
  ::freeaddrinfo(found);
  return FSocket >= 0;
}

TNetworkLine::~TNetworkLine() {
  {
    std::lock_guard lock(FMutex);
    FStopping = true;
  }
  if (FWakeFd >= 0) {
    const std::uint64_t one = 1;
    while (::write(FWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
  if (FReader.joinable()) FReader.join();
  if (FSocket >= 0) ::close(FSocket);
  if (FWakeFd >= 0) ::close(FWakeFd);
}

bool TNetworkLine::SendAll(std::string_view Bytes) {
  std::lock_guard lock(FSendMutex);
  while (!Bytes.empty()) {
    const ssize_t put = ::send(FSocket, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
    if (put > 0) {
      Bytes.remove_prefix(static_cast<std::size_t>(put));
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{FSocket, POLLOUT, 0};
      if (::poll(&p, 1, kSendMilliseconds) == 0) {
        errno = ETIMEDOUT;
        return false;
      }
      continue;
    }
    return false;
  }
  return true;
}

// --- the reader thread ------------------------------------------------------------------

void TNetworkLine::ReaderLoop() {
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{FSocket, POLLIN | POLLRDHUP, 0}, {FWakeFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::lock_guard lock(FMutex);
      HangUp(errno);
      return;
    }
    {
      std::lock_guard lock(FMutex);
      if (FStopping) return;
    }
    if (!(fds[0].revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR))) continue;
    const ssize_t got = ::recv(FSocket, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    std::string replies;
    {
      std::lock_guard lock(FMutex);
      if (got <= 0) {
        // Closed by the server (or reset): the line is lost.
        HangUp(got == 0 ? ECONNRESET : errno);
        return;
      }
      Received(std::string_view(buffer, static_cast<std::size_t>(got)), replies);
    }
    if (!replies.empty() && !SendAll(replies)) {
      std::lock_guard lock(FMutex);
      HangUp(errno);
      return;
    }
  }
}

void TNetworkLine::Received(std::string_view Bytes, std::string& Replies) {
  std::string data;
  if (FRfc2217) {
    FDecoder.Feed(Bytes, data);
    Replies = FDecoder.TakeReplies();
    for (const TComPortMessage& m : FDecoder.TakeMessages()) {
      if (m.Command == cpPurgeData) {
        FAnswersPurges = true;
        FPurgesUnanswered = std::max(FPurgesUnanswered - 1, 0);
      } else if (m.Command != cpNotifyLinestate && m.Command != cpNotifyModemstate) {
        FAnswers.push_back(m);
      }
    }
  } else {
    data.assign(Bytes);
  }
  const auto now = TClock::now();
  // Bytes that came before the server's answer to the last purge were on
  // their way before it: a late reply to an earlier request, never this one's.
  if (FPurgesUnanswered > 0 && FAnswersPurges && now < FBarrierUntil) data.clear();
  FCompleted.notify_all();
  if (data.empty()) return;
  FInput += data;
  FArrived = now;
  FLatched |= EV_RXCHAR;
  if (FWaitOverlapped && (FMask & EV_RXCHAR)) {
    *FWaitWord = FLatched & FMask;
    FLatched = 0;
    Complete(*FWaitOverlapped, ERROR_SUCCESS, 0);
    FWaitOverlapped.reset();
  }
}

void TNetworkLine::HangUp(int Errno) {
  if (FHungUp) return;
  FHungUp = true;
  FHangUpErrno = Errno ? Errno : ECONNRESET;
  if (FWaitOverlapped) {
    Complete(*FWaitOverlapped, ERROR_ACCESS_DENIED, 0);
    FWaitOverlapped.reset();
  }
  FCompleted.notify_all();
}

// --- the comm services ----------------------------------------------------------------------

BOOL TNetworkLine::Setup(DWORD, DWORD) {
  return TRUE;
}

BOOL TNetworkLine::GetState(DCB* Dcb) {
  std::lock_guard lock(FMutex);
  *Dcb = FDcb;
  Dcb->DCBlength = sizeof(DCB);
  return TRUE;
}

BOOL TNetworkLine::SetState(const DCB* Dcb) {
  std::unique_lock lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  FDcb = *Dcb;
  if (!FRfc2217) return TRUE;  // the server's own settings apply
  FAnswers.clear();
  const std::vector<std::pair<TComPortCommand, std::uint32_t>> wanted = {
      {cpSetBaudrate, Dcb->BaudRate},
      {cpSetDatasize, Dcb->ByteSize},
      {cpSetParity, ParityCode(Dcb->Parity)},
      {cpSetStopsize, StopCode(Dcb->StopBits)}};
  std::string commands;
  for (const auto& [command, value] : wanted)
    commands += ComPortCommand(command, value, command == cpSetBaudrate ? 4 : 1);
  // No flow control; its answer is not waited for (a server may not give it).
  commands += ComPortCommand(cpSetControl, 1, 1);
  lock.unlock();
  if (!SendAll(commands)) {
    const int e = errno;
    lock.lock();
    HangUp(e);
    return Failed(ERROR_ACCESS_DENIED, e);
  }
  lock.lock();
  const auto answered = [&](TComPortCommand Command) {
    return std::find_if(FAnswers.begin(), FAnswers.end(), [&](const TComPortMessage& m) {
             return m.Command == Command;
           }) != FAnswers.end();
  };
  const bool all = FCompleted.wait_for(lock, kAnswerWait, [&] {
    if (FHungUp) return true;
    for (const auto& w : wanted)
      if (!answered(w.first)) return false;
    return true;
  });
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  // A raw port passes the negotiation down the line and never answers.
  if (!all) return Failed(ERROR_GEN_FAILURE, FDecoder.Negotiated() ? ETIMEDOUT : EPROTO);
  for (const auto& w : wanted) {
    const auto m = std::find_if(FAnswers.begin(), FAnswers.end(),
                                [&](const TComPortMessage& a) { return a.Command == w.first; });
    if (m->Value != w.second) return Failed(ERROR_NOT_SUPPORTED, ENOTSUP);
  }
  return TRUE;
}

BOOL TNetworkLine::SetMask(DWORD Mask) {
  std::lock_guard lock(FMutex);
  FMask = Mask;
  FLatched = 0;
  if (FWaitOverlapped) {  // a new mask ends the pending wait
    *FWaitWord = 0;
    Complete(*FWaitOverlapped, ERROR_SUCCESS, 0);
    FWaitOverlapped.reset();
  }
  return TRUE;
}

BOOL TNetworkLine::WaitEvent(DWORD* EventWord, OVERLAPPED* Overlapped) {
  std::lock_guard lock(FMutex);
  if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (FMask == 0 || FWaitOverlapped || !Overlapped) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  if (FInput.empty()) FLatched &= ~EV_RXCHAR;  // read meanwhile: no news
  if (FLatched & FMask) {
    *EventWord = FLatched & FMask;
    FLatched = 0;
    Overlapped->Internal = ERROR_SUCCESS;
    return TRUE;
  }
  Overlapped->Internal = STATUS_PENDING;
  Overlapped->InternalHigh = 0;
  if (Overlapped->hEvent) ResetEvent(Overlapped->hEvent);
  FWaitOverlapped = Overlapped;
  FWaitWord = EventWord;
  return Failed(ERROR_IO_PENDING, EINPROGRESS);
}

BOOL TNetworkLine::Read(void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) {
  std::lock_guard lock(FMutex);
  if (FHungUp && FInput.empty()) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (!Overlapped) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  const auto n = static_cast<DWORD>(std::min<std::size_t>(Count, FInput.size()));
  std::memcpy(Buffer, FInput.data(), n);
  FInput.erase(0, n);
  if (n > 0) FLastArrival = FArrived;
  Complete(Overlapped, ERROR_SUCCESS, n);
  if (Done) *Done = n;
  return TRUE;
}

BOOL TNetworkLine::Write(const void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) {
  {
    std::lock_guard lock(FMutex);
    if (FHungUp) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
    if (!Overlapped) return Failed(ERROR_INVALID_PARAMETER, EINVAL);
  }
  const std::string_view bytes(static_cast<const char*>(Buffer), Count);
  const bool sent = SendAll(FRfc2217 ? Escaped(bytes) : std::string(bytes));
  const int e = errno;
  std::lock_guard lock(FMutex);
  if (!sent) {
    HangUp(e);
    return Failed(ERROR_ACCESS_DENIED, e);
  }
  Complete(Overlapped, ERROR_SUCCESS, Count);
  if (Done) *Done = Count;
  return TRUE;
}

BOOL TNetworkLine::Purge(DWORD Flags) {
  std::unique_lock lock(FMutex);
  if (FHungUp) return TRUE;
  if (!(Flags & PURGE_RXCLEAR)) return TRUE;
  FInput.clear();
  FLatched &= ~EV_RXCHAR;
  if (!FRfc2217) return TRUE;
  // Not waited for: the request that follows goes out at once.
  ++FPurgesUnanswered;
  FBarrierUntil = TClock::now() + kPurgeBarrier;
  lock.unlock();
  if (!SendAll(ComPortCommand(cpPurgeData, kPurgeReceiveBuffer, 1))) {
    const int e = errno;
    lock.lock();
    HangUp(e);
  }
  return TRUE;
}

BOOL TNetworkLine::ClearError(DWORD* Errors, COMSTAT* Stat) {
  std::lock_guard lock(FMutex);
  if (FHungUp && FInput.empty()) return Failed(ERROR_ACCESS_DENIED, FHangUpErrno);
  if (Errors) *Errors = 0;
  if (Stat) {
    *Stat = {};
    Stat->cbInQue = static_cast<DWORD>(FInput.size());
  }
  return TRUE;
}

BOOL TNetworkLine::ModemStatus(DWORD* Status) {
  *Status = 0;  // the server's modem lines are not asked for
  return TRUE;
}

BOOL TNetworkLine::LastArrival(TClock::time_point* Instant) {
  std::lock_guard lock(FMutex);
  if (!FLastArrival) return FALSE;
  *Instant = *FLastArrival;
  return TRUE;
}

}  // namespace platform
