#pragma once

// A TCP connection for a line behind a network server (network/NetworkLine.h),
// with a wake-up for its reader. One declaration; each system implements it
// on its own sockets (Socket.cpp: POSIX sockets in serial/platform/linux/,
// Winsock in serial/platform/windows/), whose SocketHandles.h gives the
// handles it keeps and the error numbers for the cases a technician is told
// about (neterror::).

#include <cstddef>
#include <string>
#include <string_view>

#if defined(_WIN32)
#include "serial/platform/windows/SocketHandles.h"
#else
#include "serial/platform/linux/SocketHandles.h"
#endif

namespace platform {

class TSocket {
 public:
  TSocket() = default;
  ~TSocket();
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  // Connects to Host:Port (a numeric port) within Milliseconds, with
  // Nagle's delay off (a request is one frame); false with Error set.
  bool Connect(const std::string& Host, const std::string& Port, int Milliseconds, int& Error);
  // Sends all of Bytes, waiting at most Milliseconds for room each time.
  bool SendAll(std::string_view Bytes, int Milliseconds, int& Error);
  // Waits until bytes arrive or Wake() is called. The bytes' count; 0 when
  // the server closed the connection; kWoken; kFailed with Error set.
  static constexpr long kWoken = -1, kFailed = -2;
  long Receive(char* Buffer, std::size_t Size, int& Error);
  // Ends the reader's current and every later Receive with kWoken.
  void Wake();
  // No more bytes to send: the server learns it after the last ones.
  void ShutdownSend();

 private:
  TSocketHandles F;
};

}  // namespace platform
