#pragma once

// Tells when the machine's serial ports may have changed, so that the port
// list follows the machine and a lost port is opened again when it is back.
// Linux: inotify on the device folders (platform/linux/PortWatch.cpp);
// Windows: the system's device-change notices (platform/windows/PortWatch.cpp).
// The notice comes on the main loop; nothing is polled.

#include <functional>
#include <memory>
#include <string>

#include "serial/platform/PortEnumeration.h"

namespace platform {

class TPortWatch {
 public:
  TPortWatch(const TDeviceRoots& Roots, std::function<void()> OnChange);
  ~TPortWatch();
  TPortWatch(const TPortWatch&) = delete;
  TPortWatch& operator=(const TPortWatch&) = delete;

  // Watches also for the device of DeviceName to come back where it was.
  void WatchFor(const std::string& DeviceName);
  // Only the machine's ports again.
  void StopWatchingFor();

  struct TImpl;  // per system

 private:
  std::unique_ptr<TImpl> F;
};

}  // namespace platform
