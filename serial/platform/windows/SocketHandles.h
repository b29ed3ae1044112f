#pragma once

// What a TCP connection keeps on Winsock (serial/platform/Socket.h), and its
// error numbers: Winsock's, and two of the system's own where Winsock has
// none.

#include <cstdint>

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

struct TSocketHandles {
  std::uintptr_t Socket = ~std::uintptr_t{0};  // INVALID_SOCKET
  HANDLE Readable = nullptr;                   // set by Winsock when bytes or the close arrive
  HANDLE Wake = nullptr;
};

}  // namespace platform
