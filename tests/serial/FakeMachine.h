#pragma once

// A made-up machine: /sys/class/tty and /dev under a temporary folder, so
// that port lists are tested without reading the real /dev, which other
// tests and programs change while they run.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "serial/platform/PortEnumeration.h"

class TFakeMachine {
 public:
  TFakeMachine() {
    char pattern[] = "/tmp/kalmet-ports-XXXXXX";
    Root = ::mkdtemp(pattern);
    std::filesystem::create_directories(Root / "sys/class/tty");
    std::filesystem::create_directories(Root / "sys/devices/pnp0");
    std::filesystem::create_directories(Root / "dev/pts");
    std::filesystem::create_directories(Root / "user");
    Roots.Sys = (Root / "sys").string();
    Roots.Dev = (Root / "dev").string();
    Roots.User = (Root / "user").string();
  }
  ~TFakeMachine() {
    std::error_code ec;
    std::filesystem::remove_all(Root, ec);
  }
  TFakeMachine(const TFakeMachine&) = delete;
  TFakeMachine& operator=(const TFakeMachine&) = delete;

  // A class entry; with a device link when Device, with a type file when Type >= 0.
  void Tty(const std::string& Name, bool Device, int Type = -1, bool Node = true,
           const std::string& DeviceDir = "sys/devices/pnp0") {
    const std::filesystem::path entry = Root / "sys/class/tty" / Name;
    std::filesystem::create_directories(entry);
    std::filesystem::create_directories(Root / DeviceDir);
    if (Device) std::filesystem::create_directory_symlink(Root / DeviceDir, entry / "device");
    if (Type >= 0) std::ofstream(entry / "type") << Type << "\n";
    if (Node) File("dev/" + Name);
  }
  void File(const std::string& Path, const std::string& Text = "") {
    std::filesystem::create_directories((Root / Path).parent_path());
    std::ofstream(Root / Path) << Text;
  }
  void Link(const std::string& Name, const std::filesystem::path& Target,
            const std::string& Folder = "dev") {
    std::filesystem::create_symlink(Target, Root / Folder / Name);
  }
  void Remove(const std::string& Path) { std::filesystem::remove_all(Root / Path); }

  std::filesystem::path Root;
  platform::TDeviceRoots Roots;
};
