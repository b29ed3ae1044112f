#include "serial/platform/PortEnumeration.h"

#include "serial/platform/linux/CommServices.h"
#include "serial/platform/network/NetworkAddress.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SortedEntries(const fs::path& Dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Dir, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The UART type the kernel found; nothing when the port does not say.
std::optional<int> UartTypeAttribute(const fs::path& ClassEntry) {
  std::ifstream in(ClassEntry / "type");
  int type = 0;
  if (in >> type) return type;
  return std::nullopt;
}

// Asks the driver; opening a port toggles its lines, so only as a last resort.
bool DriverReportsUart(const fs::path& Node) {
  const int fd = ::open(Node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;  // not ours to judge: busy or not permitted, but there
  serial_struct serial{};
  const bool unknown = ::ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.type == PORT_UNKNOWN;
  ::close(fd);
  return !unknown;
}

bool IsRealPort(const std::string& Name, const TDeviceRoots& Roots) {
  const fs::path entry = fs::path(Roots.Sys) / "class" / "tty" / Name;
  std::error_code ec;
  if (!fs::exists(entry / "device", ec)) return false;  // virtual consoles, ptmx, ...
  const fs::path node = fs::path(Roots.Dev) / Name;
  if (!fs::exists(node, ec)) return false;
  if (const auto type = UartTypeAttribute(entry)) return *type != 0;
  if (Name.rfind("ttyS", 0) == 0) return DriverReportsUart(node);
  return true;
}

bool IsPseudoTerminalLink(const fs::path& Folder, const std::string& Name,
                          const TDeviceRoots& Roots) {
  if (Name.rfind("tty", 0) != 0) return false;
  const fs::path link = Folder / Name;
  std::error_code ec;
  if (!fs::is_symlink(link, ec)) return false;
  const fs::path target = fs::canonical(link, ec);
  if (ec) return false;  // dangling
  const fs::path pts = fs::weakly_canonical(fs::path(Roots.Dev) / "pts", ec);
  if (ec) return false;
  return target.parent_path() == pts;
}

}  // namespace

namespace {

std::string FirstLine(const fs::path& File) {
  std::ifstream in(File);
  std::string line;
  std::getline(in, line);
  return line;
}

// The /dev/serial/by-id link that leads to Device, if any.
std::string ByIdLink(const fs::path& Device, const TDeviceRoots& Roots) {
  std::error_code ec;
  const fs::path target = fs::canonical(Device, ec);
  if (ec) return "";
  const fs::path dir = fs::path(Roots.Dev) / "serial" / "by-id";
  for (const auto& entry : SortedEntries(dir)) {
    const fs::path link = dir / entry;
    if (fs::canonical(link, ec) == target && !ec) return link.string();
  }
  return "";
}

// Manufacturer and product of the USB device above the port in sysfs.
std::string UsbDescription(const std::string& Name, const TDeviceRoots& Roots) {
  std::error_code ec;
  const fs::path sys = fs::canonical(Roots.Sys, ec);
  fs::path dir = fs::canonical(fs::path(Roots.Sys) / "class" / "tty" / Name / "device", ec);
  const auto insideSys = [&] {
    const auto rel = dir.lexically_relative(sys);
    return !rel.empty() && *rel.begin() != "..";
  };
  for (int up = 0; !ec && up < 6 && insideSys(); ++up, dir = dir.parent_path()) {
    const std::string product = FirstLine(dir / "product");
    const std::string maker = FirstLine(dir / "manufacturer");
    if (product.empty() && maker.empty()) continue;
    return maker.empty() ? product : product.empty() ? maker : maker + " " + product;
  }
  return "";
}

}  // namespace

std::vector<TPortDetails> SerialPortDetails(const TDeviceRoots& Roots) {
  std::vector<TPortDetails> ports;
  for (const std::string& name : SerialPortNames(Roots)) {
    std::error_code ec;
    const fs::path inDev = fs::path(Roots.Dev) / name;
    const fs::path device =
        fs::exists(fs::symlink_status(inDev, ec)) ? inDev : fs::path(Roots.User) / name;
    ports.push_back({name, device.string(), ByIdLink(device, Roots), UsbDescription(name, Roots)});
  }
  return ports;
}

bool IsOwnFolder(const std::string& Path) {
  struct stat st {};
  return ::lstat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string UserPortFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/kalmet-ports";
  return "/tmp/kalmet-ports-" + std::to_string(::getuid());
}

TPortAccess PortAccess(const std::string& DeviceName) {
  // A server is only known by connecting to it.
  if (network::IsNetworkAddress(DeviceName)) return TPortAccess::Available;
  const std::string path = DevicePathOf(DeviceName);
  if (::access(path.c_str(), F_OK) != 0) return TPortAccess::Missing;
  if (::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) return TPortAccess::NoPermission;
  return TPortAccess::Available;
}

std::vector<std::string> SerialPortNames(const TDeviceRoots& Roots) {
  std::vector<std::string> names;
  for (const auto& name : SortedEntries(fs::path(Roots.Sys) / "class" / "tty"))
    if (IsRealPort(name, Roots)) names.push_back(name);
  for (const auto& name : SortedEntries(Roots.Dev))
    if (IsPseudoTerminalLink(Roots.Dev, name, Roots)) names.push_back(name);
  // The user's own virtual ports, by name like those in /dev (which win).
  if (!IsOwnFolder(Roots.User)) return names;
  for (const auto& name : SortedEntries(Roots.User))
    if (IsPseudoTerminalLink(Roots.User, name, Roots) &&
        std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(name);
  return names;
}

}  // namespace platform
