#pragma once

// A TCP connection on Winsock, with a wake-up for its reader
// (serial/platform/Socket.h). Error numbers are the system's: Winsock's, and
// two of the system's own where Winsock has none.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/platform/windows/CommServices.h"

namespace platform {

// The numbers themselves: <winsock2.h> must not meet a <windows.h> that
// came without WIN32_LEAN_AND_MEAN.
namespace neterror {
inline constexpr int kBadAddress = ERROR_INVALID_NAME;
inline constexpr int kUnknownHost = 11001;                    // WSAHOST_NOT_FOUND
inline constexpr int kRefused = 10061;                        // WSAECONNREFUSED
inline constexpr int kTimedOut = 10060;                       // WSAETIMEDOUT
inline constexpr int kHostUnreachable = 10065;                // WSAEHOSTUNREACH
inline constexpr int kNetUnreachable = 10051;                 // WSAENETUNREACH
inline constexpr int kNotRfc2217 = ERROR_BAD_NET_RESP;        // the server never negotiated
inline constexpr int kSettingsRefused = ERROR_NOT_SUPPORTED;  // it set its line otherwise
inline constexpr int kReset = 10054;                          // WSAECONNRESET
inline constexpr int kAborted = 10053;                        // WSAECONNABORTED
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
  std::uintptr_t FSocket = ~std::uintptr_t{0};  // INVALID_SOCKET
  HANDLE FReadable = nullptr;                   // set by Winsock when bytes or the close arrive
  HANDLE FWake = nullptr;
};

}  // namespace platform
