// Why a COM port or a line behind a network server is not available on
// Windows, from the system's error number.

#include "serial/PortProblem.h"

#include "serial/platform/PortEnumeration.h"
#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/NetworkProblem.h"
#include "serial/platform/windows/CommServices.h"

namespace {

constexpr const char* kMissing =
    "The port is not there: its adapter is unplugged, or the name is wrong. Plug the adapter in "
    "and pick the port again.";
constexpr const char* kBusy =
    "Another program is using this port. Close that program and pick the port again.";

}  // namespace

std::string PortNotAvailableReason(const std::string& DeviceName, int Errno) {
  if (platform::network::IsNetworkAddress(DeviceName))
    return platform::network::NetworkProblem(Errno,
                                             platform::SysErrorMessage(static_cast<DWORD>(Errno)));
  switch (Errno) {
    case 0:
      // No error number of the system's: nothing says another program holds it.
      return platform::PortAccess(DeviceName) == platform::TPortAccess::Missing
                 ? kMissing
                 : "The device does not work as a serial port. Check that it is the adapter's "
                   "port.";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return kBusy;
    default:
      return "The device does not work as a serial port (" +
             platform::SysErrorMessage(static_cast<DWORD>(Errno)) +
             "). Check that it is the adapter's port.";
  }
}
