#include "serial/platform/Socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace platform {

TSocket::~TSocket() {
  if (F.Socket >= 0) ::close(F.Socket);
  if (F.WakeFd >= 0) ::close(F.WakeFd);
}

bool TSocket::Connect(const std::string& Host, const std::string& Port, int Milliseconds,
                      int& Error) {
  F.WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (F.WakeFd < 0) {
    Error = errno;
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
    const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) {
      Error = errno;
      continue;
    }
    int result = ::connect(s, a->ai_addr, a->ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
      // A signal (Ctrl+C in the terminal program) does not end the wait:
      // it goes on for the time left.
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
      pollfd p{s, POLLOUT, 0};
      int ready;
      do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
      } while (ready < 0 && errno == EINTR);
      int soError = ready == 0 ? ETIMEDOUT : ready < 0 ? errno : 0;
      socklen_t size = sizeof soError;
      if (ready > 0) ::getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &size);
      result = soError == 0 ? 0 : -1;
      errno = soError;
    }
    if (result == 0) {
      const int one = 1;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      F.Socket = s;
      break;
    }
    Error = errno;
    ::close(s);
  }
  ::freeaddrinfo(found);
  return F.Socket >= 0;
}

bool TSocket::SendAll(std::string_view Bytes, int Milliseconds, int& Error) {
  while (!Bytes.empty()) {
    const ssize_t put = ::send(F.Socket, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
    if (put > 0) {
      Bytes.remove_prefix(static_cast<std::size_t>(put));
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{F.Socket, POLLOUT, 0};
      if (::poll(&p, 1, Milliseconds) == 0) {
        Error = ETIMEDOUT;
        return false;
      }
      continue;
    }
    Error = errno;
    return false;
  }
  return true;
}

long TSocket::Receive(char* Buffer, std::size_t Size, int& Error) {
  for (;;) {
    pollfd fds[2] = {{F.Socket, POLLIN | POLLRDHUP, 0}, {F.WakeFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      Error = errno;
      return kFailed;
    }
    if (fds[1].revents & POLLIN) return kWoken;
    if (!(fds[0].revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR))) continue;
    const ssize_t got = ::recv(F.Socket, Buffer, Size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EINTR || errno == EAGAIN) continue;
    Error = errno;
    return kFailed;
  }
}

void TSocket::ShutdownSend() {
  if (F.Socket >= 0) ::shutdown(F.Socket, SHUT_WR);
}

void TSocket::Wake() {
  const std::uint64_t one = 1;
  while (::write(F.WakeFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

}  // namespace platform
