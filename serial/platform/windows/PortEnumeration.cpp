// The COM ports of this machine: the MS-DOS device names COMn that the
// system knows (QueryDosDeviceA), USB adapters and virtual ports included.

#include "serial/platform/PortEnumeration.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/windows/CommServices.h"

namespace platform {

namespace {

bool IsComName(const std::string& Name) {
  return Name.size() > 3 && Name.compare(0, 3, "COM") == 0 &&
         std::all_of(Name.begin() + 3, Name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// Every MS-DOS device name; the buffer grows until the list fits.
std::vector<std::string> DosDeviceNames() {
  std::vector<char> buffer(16384);
  for (;;) {
    const DWORD n = ::QueryDosDeviceA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n != 0) {
      std::vector<std::string> names;
      for (const char* p = buffer.data(); *p; p += std::strlen(p) + 1) names.emplace_back(p);
      return names;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() > (1u << 24)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// "\\.\COM12" and "COM12" name the same port.
std::string PortName(const std::string& DeviceName) {
  return DeviceName.rfind("\\\\.\\", 0) == 0 ? DeviceName.substr(4) : DeviceName;
}

}  // namespace

std::string UserPortFolder() {
  return "";
}

bool IsOwnFolder(const std::string&) {
  return false;
}

std::vector<std::string> SerialPortNames(const TDeviceRoots&) {
  std::vector<std::string> names;
  for (const std::string& name : DosDeviceNames())
    if (IsComName(name)) names.push_back(name);
  // COM2 before COM10.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return names;
}

std::vector<TPortDetails> SerialPortDetails(const TDeviceRoots& Roots) {
  std::vector<TPortDetails> details;
  for (const std::string& name : SerialPortNames(Roots))
    details.push_back({name, name.size() == 4 ? name : "\\\\.\\" + name, "", ""});
  return details;
}

TPortAccess PortAccess(const std::string& DeviceName) {
  // A server is only known by connecting to it.
  if (network::IsNetworkAddress(DeviceName)) return TPortAccess::Available;
  char target[1024];
  return ::QueryDosDeviceA(PortName(DeviceName).c_str(), target, sizeof target) != 0
             ? TPortAccess::Available
             : TPortAccess::Missing;
}

}  // namespace platform
