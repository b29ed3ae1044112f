#include "serial/PortProblem.h"

#include "serial/platform/CommServices.h"
#include "serial/platform/PortEnumeration.h"

std::string PortNotAvailableReason(const std::string& DeviceName) {
  switch (platform::PortAccess(DeviceName)) {
    case platform::TPortAccess::Missing:
      return "The port is gone: its adapter was unplugged. Plug it in again and pick the port.";
    case platform::TPortAccess::NoPermission:
      return "You may not use this port. Add yourself to the group \"dialout\" (sudo usermod -aG "
             "dialout $USER), then log out and in again.";
    case platform::TPortAccess::Available:
      break;
  }
  return "Another program is using this port. Close that program and pick the port again; "
         "\"fuser -v " +
         platform::DevicePathOf(DeviceName) + "\" shows which program it is.";
}
