#include <winsock2.h>
#include <ws2tcpip.h>

#include "serial/platform/Socket.h"

#include <mutex>

namespace platform {

namespace {

constexpr SOCKET kNoSocket = INVALID_SOCKET;

// Winsock is started once for the program and left running.
bool StartWinsock(int& Error) {
  static std::once_flag once;
  static int startError = 0;
  std::call_once(once, [] {
    WSADATA data;
    startError = ::WSAStartup(MAKEWORD(2, 2), &data);
  });
  Error = startError;
  return startError == 0;
}

// Waits until S can take bytes (or, when connecting, has failed).
int WaitWritable(SOCKET S, int Milliseconds) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(S, &writable);
  FD_SET(S, &failed);
  timeval limit{Milliseconds / 1000, (Milliseconds % 1000) * 1000};
  return ::select(0, nullptr, &writable, &failed, &limit);
}

}  // namespace

TSocket::~TSocket() {
  if (F.Socket != kNoSocket) ::closesocket(F.Socket);
  if (F.Readable) ::WSACloseEvent(F.Readable);
  if (F.Wake) ::CloseHandle(F.Wake);
}

bool TSocket::Connect(const std::string& Host, const std::string& Port, int Milliseconds,
                      int& Error) {
  if (!StartWinsock(Error)) return false;
  F.Wake = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  F.Readable = ::WSACreateEvent();
  if (!F.Wake || F.Readable == WSA_INVALID_EVENT) {
    Error = static_cast<int>(::GetLastError());
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(Host.c_str(), Port.c_str(), &hints, &found) != 0) {
    Error = neterror::kUnknownHost;
    return false;
  }
  Error = neterror::kHostUnreachable;
  for (addrinfo* a = found; a; a = a->ai_next) {
    const SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == kNoSocket) {
      Error = ::WSAGetLastError();
      continue;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    int result = ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen));
    if (result != 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      const int ready = WaitWritable(s, Milliseconds);
      int soError = ready == 0 ? WSAETIMEDOUT : ready < 0 ? ::WSAGetLastError() : 0;
      int size = sizeof soError;
      if (ready > 0)
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &size);
      result = soError == 0 ? 0 : -1;
      ::WSASetLastError(soError);
    }
    if (result == 0 && ::WSAEventSelect(s, F.Readable, FD_READ | FD_CLOSE) == 0) {
      const BOOL one = TRUE;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      F.Socket = s;
      break;
    }
    Error = ::WSAGetLastError();
    ::closesocket(s);
  }
  ::freeaddrinfo(found);
  return F.Socket != kNoSocket;
}

bool TSocket::SendAll(std::string_view Bytes, int Milliseconds, int& Error) {
  while (!Bytes.empty()) {
    const int put = ::send(F.Socket, Bytes.data(), static_cast<int>(Bytes.size()), 0);
    if (put > 0) {
      Bytes.remove_prefix(static_cast<std::size_t>(put));
      continue;
    }
    Error = ::WSAGetLastError();
    if (put < 0 && Error == WSAEWOULDBLOCK) {
      const int ready = WaitWritable(F.Socket, Milliseconds);
      if (ready > 0) continue;
      Error = ready == 0 ? WSAETIMEDOUT : ::WSAGetLastError();
    }
    return false;
  }
  return true;
}

long TSocket::Receive(char* Buffer, std::size_t Size, int& Error) {
  for (;;) {
    if (::WaitForSingleObject(F.Wake, 0) == WAIT_OBJECT_0) return kWoken;
    const int got = ::recv(F.Socket, Buffer, static_cast<int>(Size), 0);
    if (got >= 0) return got;
    Error = ::WSAGetLastError();
    if (Error != WSAEWOULDBLOCK) return kFailed;
    const HANDLE events[2] = {F.Wake, F.Readable};
    const DWORD woke = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) return kWoken;
    if (woke != WAIT_OBJECT_0 + 1) {
      Error = static_cast<int>(::GetLastError());
      return kFailed;
    }
    WSANETWORKEVENTS seen;
    ::WSAEnumNetworkEvents(F.Socket, F.Readable, &seen);  // resets F.Readable
  }
}

void TSocket::ShutdownSend() {
  if (F.Socket != kNoSocket) ::shutdown(F.Socket, SD_SEND);
}

void TSocket::Wake() {
  if (F.Wake) ::SetEvent(F.Wake);
}

}  // namespace platform
