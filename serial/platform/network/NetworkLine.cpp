#include "serial/platform/network/NetworkLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/platform/Failure.h"

namespace platform {

namespace {

using namespace std::chrono_literals;
using namespace telnet;

constexpr int kConnectMilliseconds = 5000;
constexpr auto kAnswerWait = 3s;         // for the server's answers to the settings
constexpr auto kPurgeBarrier = 1s;       // longest wait for a purge's answer
constexpr auto kCloseWait = 500ms;       // for the server's close after ours
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

namespace {

// The connection made ahead, the name and the attempt it was made for. Never
// destroyed: an attempt's thread may still end after the program's statics.
struct TAhead {
  std::mutex Mutex;
  std::string Name;
  unsigned Attempt = 0;
  std::unique_ptr<TSocket> Socket;
};
TAhead& Ahead() {
  static TAhead* const ahead = new TAhead;
  return *ahead;
}

std::unique_ptr<TSocket> TakeConnectionAhead(const std::string& Name) {
  TAhead& ahead = Ahead();
  std::lock_guard lock(ahead.Mutex);
  if (!ahead.Socket || ahead.Name != Name) return nullptr;
  return std::move(ahead.Socket);
}

}  // namespace

bool TNetworkLine::ConnectAhead(const std::string& Name, unsigned Attempt, int& Detail) {
  network::TNetworkAddress address;
  std::string error;
  if (!network::ParseNetworkAddress(Name, address, error)) {
    Detail = neterror::kBadAddress;
    return false;
  }
  auto socket = std::make_unique<TSocket>();
  if (!socket->Connect(address.Host, address.Port, kConnectMilliseconds, Detail)) return false;
  TAhead& ahead = Ahead();
  std::lock_guard lock(ahead.Mutex);
  // A later attempt's connection stays; one made before is closed (after
  // the lock).
  if (ahead.Socket && ahead.Attempt > Attempt) return true;
  ahead.Name = Name;
  ahead.Attempt = Attempt;
  std::swap(ahead.Socket, socket);
  return true;
}

void TNetworkLine::DropConnectionAhead(unsigned Attempt) {
  std::unique_ptr<TSocket> dropped;
  TAhead& ahead = Ahead();
  std::lock_guard lock(ahead.Mutex);
  if (ahead.Attempt == Attempt) dropped = std::move(ahead.Socket);
}

TNetworkLine* TNetworkLine::Open(const std::string& Name) {
  network::TNetworkAddress address;
  std::string error;
  if (!network::ParseNetworkAddress(Name, address, error)) {
    FailErrno(neterror::kBadAddress);
    return nullptr;
  }
  auto* line = new TNetworkLine;
  line->FRfc2217 = address.Rfc2217;
  int failure = 0;
  // A connection made ahead for this name is taken as it is.
  std::unique_ptr<TSocket> ahead = TakeConnectionAhead(Name);
  const bool connected = ahead != nullptr;
  if (connected) line->FSocket = std::move(ahead);
  if ((!connected &&
       !line->FSocket->Connect(address.Host, address.Port, kConnectMilliseconds, failure)) ||
      (line->FRfc2217 && !line->SendAll(Greeting(), failure))) {
    delete line;
    FailErrno(failure);
    return nullptr;
  }
  line->FReader = std::thread([line] { line->ReaderLoop(); });
  SetLastError(ERROR_SUCCESS);
  return line;
}

TNetworkLine::~TNetworkLine() {
  // The last bytes written must reach the server's line: a connection closed
  // with input unread is reset, and a server may drop what it had not read
  // yet (a current-loop probe's closing request). So the server is told that
  // nothing follows, and its close is awaited, briefly.
  if (FReader.joinable()) {
    FSocket->ShutdownSend();
    std::unique_lock lock(FMutex);
    FCompleted.wait_for(lock, kCloseWait, [this] { return FHungUp; });
  }
  FSocket->Wake();
  if (FReader.joinable()) FReader.join();
}

bool TNetworkLine::SendAll(std::string_view Bytes, int& Error) {
  std::lock_guard lock(FSendMutex);
  return FSocket->SendAll(Bytes, kSendMilliseconds, Error);
}

// --- the reader thread ------------------------------------------------------------------

void TNetworkLine::ReaderLoop() {
  char buffer[4096];
  for (;;) {
    int failure = 0;
    const long got = FSocket->Receive(buffer, sizeof buffer, failure);
    if (got == TSocket::kWoken) return;
    std::string replies;
    {
      std::lock_guard lock(FMutex);
      if (got <= 0) {
        // Closed by the server (or reset): the line is lost.
        HangUp(got == 0 ? neterror::kReset : failure);
        return;
      }
      Received(std::string_view(buffer, static_cast<std::size_t>(got)), replies);
    }
    if (!replies.empty() && !SendAll(replies, failure)) {
      std::lock_guard lock(FMutex);
      HangUp(failure);
      return;
    }
  }
}

void TNetworkLine::Received(std::string_view Bytes, std::string& Replies) {
  const auto now = TClock::now();
  // Bytes that come before the server's answer to the last purge were on
  // their way before it: a late reply to an earlier request, never this one's.
  const auto barred = [&] {
    return FPurgesUnanswered > 0 && FAnswersPurges && now < FBarrierUntil;
  };
  std::string data;
  if (FRfc2217) {
    // A byte at a time: what came before an answer, and what after, in one
    // piece from the server.
    for (const char byte : Bytes) {
      std::string piece;
      FDecoder.Feed(std::string_view(&byte, 1), piece);
      if (!barred()) data += piece;
      for (const TComPortMessage& m : FDecoder.TakeMessages()) {
        if (m.Command == cpPurgeData) {
          FAnswersPurges = true;
          FPurgesUnanswered = std::max(FPurgesUnanswered - 1, 0);
        } else if (m.Command != cpNotifyLinestate && m.Command != cpNotifyModemstate) {
          FAnswers.push_back(m);
        }
      }
    }
    Replies = FDecoder.TakeReplies();
  } else if (!barred()) {
    data.assign(Bytes);
  }
  FCompleted.notify_all();
  if (data.empty()) return;
  FInput += data;
  FArrived = now;
  SignalEvents(EV_RXCHAR);
}

void TNetworkLine::HangUp(int Error) {
  if (FHungUp) return;
  FHungUp = true;
  FHangUpErrno = Error ? Error : neterror::kReset;
  EndWait(0, ERROR_ACCESS_DENIED);
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
  int failure = 0;
  if (!SendAll(commands, failure)) {
    lock.lock();
    HangUp(failure);
    return Failed(ERROR_ACCESS_DENIED, failure);
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
  // A raw port passes the negotiation down the line and never answers; a
  // Telnet server without Com Port Control answers Telnet only.
  if (!all) {
    FailErrno(neterror::kNotRfc2217);
    return FALSE;
  }
  for (const auto& w : wanted) {
    const auto m = std::find_if(FAnswers.begin(), FAnswers.end(),
                                [&](const TComPortMessage& a) { return a.Command == w.first; });
    if (m->Value != w.second) {
      FailErrno(neterror::kSettingsRefused);
      return FALSE;
    }
  }
  return TRUE;
}

BOOL TNetworkLine::SetMask(DWORD Mask) {
  std::lock_guard lock(FMutex);
  ReplaceMask(Mask);
  return TRUE;
}

bool TNetworkLine::InputWaiting() { return !FInput.empty(); }

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
  int failure = 0;
  const bool sent = SendAll(FRfc2217 ? Escaped(bytes) : std::string(bytes), failure);
  std::lock_guard lock(FMutex);
  if (!sent) {
    HangUp(failure);
    return Failed(ERROR_ACCESS_DENIED, failure);
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
  int failure = 0;
  if (!SendAll(ComPortCommand(cpPurgeData, kPurgeReceiveBuffer, 1), failure)) {
    lock.lock();
    HangUp(failure);
  }
  return TRUE;
}

BOOL TNetworkLine::ClearError(DWORD* Errors, COMSTAT* Stat) {
  // Also once the connection has ended: what came before it is read to its
  // last byte, and the end is told once, by the event wait.
  std::lock_guard lock(FMutex);
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
