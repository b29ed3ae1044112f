#pragma once

// A TCP connection on POSIX sockets, with a wake-up for its reader
// (serial/platform/Socket.h). Error numbers are errno values.

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

namespace neterror {
inline constexpr int kBadAddress = EINVAL;
inline constexpr int kUnknownHost = ENOENT;
inline constexpr int kRefused = ECONNREFUSED;
inline constexpr int kTimedOut = ETIMEDOUT;
inline constexpr int kHostUnreachable = EHOSTUNREACH;
inline constexpr int kNetUnreachable = ENETUNREACH;
inline constexpr int kNotRfc2217 = EPROTO;        // the server never negotiated
inline constexpr int kSettingsRefused = ENOTSUP;  // it set its line otherwise
inline constexpr int kReset = ECONNRESET;
inline constexpr int kAborted = EPIPE;
}  // namespace neterror

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
  int FSocket = -1;
  int FWakeFd = -1;
};

}  // namespace platform
