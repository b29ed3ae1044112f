#pragma once

// Why a serial port is not available, in a technician's words with what to
// do about it: shown by the window under "The selected COM Port is not
// available!" and by the terminal program.

#include <string>

#include "serial/platform/network/NetworkAddress.h"

// For a device that could not be opened (DeviceName as set on the port),
// from the system's error number; without one (0), from a look at the
// device (without opening it again).
std::string PortNotAvailableReason(const std::string& DeviceName, int Errno);

// For a port that went away while it was open.
inline constexpr const char* kPortUnpluggedReason =
    "The adapter was unplugged (the port is gone). Plug it in again: the tool opens the port "
    "again by itself.";

// For a line behind a serial device server whose connection ended while open.
inline constexpr const char* kServerLostReason =
    "The connection to the server was lost (the server stopped, or the network failed). The "
    "tool connects again by itself once the server is back.";

// Why the open port DeviceName went away.
inline std::string PortLostReason(const std::string& DeviceName) {
  return platform::network::IsNetworkAddress(DeviceName) ? kServerLostReason : kPortUnpluggedReason;
}
