#pragma once

// The serial ports of this machine, by their names under /dev.
//
// Real devices come from /sys/class/tty: the entries with a device link
// (USB adapters ttyUSB*, ttyACM*, on-board ttyS*, ttyAMA* ...), without the
// phantom ttyS* entries a PC kernel creates for UARTs that are not there
// (UART type 0). Virtual ports are symbolic links in /dev whose name begins
// with "tty" and that point to a pseudo-terminal (what socat and the probe
// simulator make), and such links in the user's own folder of virtual ports,
// which a user without root can make. Only names with a node are listed.

#include <string>
#include <vector>

namespace platform {

// The folder where a user without root makes virtual ports:
// $XDG_RUNTIME_DIR/kalmet-ports, or /tmp/kalmet-ports-UID without it. It
// counts only while it is this user's own (a folder that nobody else may
// write to); else nothing is found there.
std::string UserPortFolder();
bool IsOwnFolder(const std::string& Path);

struct TDeviceRoots {
  std::string Sys = "/sys";
  std::string Dev = "/dev";
  std::string User = UserPortFolder();
};

// Real devices first, then virtual ones, each in name order.
std::vector<std::string> SerialPortNames(const TDeviceRoots& Roots = {});

// A listed port as a technician finds it on the adapter and in /dev.
struct TPortDetails {
  std::string Name;         // as listed: "ttyUSB0"
  std::string Device;       // its node or link: "/dev/ttyUSB0"
  std::string ById;         // the /dev/serial/by-id link to it; empty if none
  std::string Description;  // the adapter's manufacturer and product; empty if unknown
};
// The ports SerialPortNames lists, in its order, with their details.
std::vector<TPortDetails> SerialPortDetails(const TDeviceRoots& Roots = {});

// What stands between this user and the device of a port name ("ttyUSB0",
// "\\.\ttyUSB0", a path), told without opening it (opening a serial port
// toggles its modem lines): it is missing, this user may not open it, or it
// is there for this user (and may still be held by another program).
enum class TPortAccess { Missing, NoPermission, Available };
TPortAccess PortAccess(const std::string& DeviceName);

}  // namespace platform
