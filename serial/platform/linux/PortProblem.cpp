#include "serial/PortProblem.h"

#include <cerrno>
#include <cstring>

#include "serial/platform/PortEnumeration.h"
#include "serial/platform/linux/CommServices.h"
#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/NetworkProblem.h"

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

}  // namespace

std::string PortNotAvailableReason(const std::string& DeviceName, int Errno) {
  if (platform::network::IsNetworkAddress(DeviceName))
    return platform::network::NetworkProblem(Errno, std::strerror(Errno));
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
