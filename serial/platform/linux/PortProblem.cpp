#include "serial/PortProblem.h"

#include <cerrno>
#include <cstring>

#include "serial/platform/PortEnumeration.h"
#include "serial/platform/linux/CommServices.h"
#include "serial/platform/network/NetworkAddress.h"

namespace {

constexpr const char* kMissing =
    "The port is not there: its adapter is unplugged, or the name is wrong. Plug the adapter in "
    "and pick the port again.";
constexpr const char* kNoPermission =
    "You may not use this port. Add yourself to the group \"dialout\" (as root: usermod -aG "
    "dialout USERNAME), then log out and in again.";

std::string Busy(const std::string& DeviceName) {
  return "Another program is using this port. Close that program and pick the port again; "
         "\"fuser -v " +
         platform::DevicePathOf(DeviceName) + "\" shows which program it is.";
}

// A line behind a serial device server (rfc2217:// or socket://).
std::string NetworkProblem(int Errno) {
  switch (Errno) {
    case EINVAL:
      return "The address is not valid: write rfc2217://HOST:PORT or socket://HOST:PORT.";
    case ENOENT:
      return "The server's name is not known: check the host name.";
    case ECONNREFUSED:
      return "The server refused the connection: check the port number and that the server "
             "runs.";
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
      return "The server cannot be reached: check the network and the address.";
    case EPROTO:
      return "This is not an RFC 2217 server: it does not negotiate. For a raw TCP port write "
             "socket://HOST:PORT.";
    case ENOTSUP:
      return "The server does not set its serial line to 1200 baud, 8 data bits, no parity, "
             "1 stop bit.";
    case ECONNRESET:
    case EPIPE:
      return "The server closed the connection: another client may be using its serial line.";
    default:
      return "The connection to the server failed (" + std::string(std::strerror(Errno)) + ").";
  }
}

}  // namespace

std::string PortNotAvailableReason(const std::string& DeviceName, int Errno) {
  if (platform::network::IsNetworkAddress(DeviceName)) return NetworkProblem(Errno);
  switch (Errno) {
    case 0:
      break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return kMissing;
    case EACCES:
    case EPERM:
      return kNoPermission;
    case EBUSY:
    case EWOULDBLOCK:
      return Busy(DeviceName);
    default:
      return "The device does not work as a serial port (" + std::string(std::strerror(Errno)) +
             "). Check that it is the adapter's port.";
  }
  switch (platform::PortAccess(DeviceName)) {
    case platform::TPortAccess::Missing:
      return kMissing;
    case platform::TPortAccess::NoPermission:
      return kNoPermission;
    case platform::TPortAccess::Available:
      break;
  }
  return Busy(DeviceName);
}
