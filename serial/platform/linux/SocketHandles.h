#pragma once

// What a TCP connection keeps on POSIX sockets (serial/platform/Socket.h),
// and its error numbers: errno values.

#include <cerrno>

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

struct TSocketHandles {
  int Socket = -1;
  int WakeFd = -1;  // an eventfd: readable once the reader is to stop waiting
};

}  // namespace platform
