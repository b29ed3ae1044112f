#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "serial/ComPort.h"
#include "serial/platform/PortEnumeration.h"
#include "tests/serial/PtyFixture.h"

namespace {

namespace fs = std::filesystem;

// A made-up machine: /sys/class/tty and /dev under a temporary folder.
class FakeMachine {
 public:
  FakeMachine() {
    char pattern[] = "/tmp/kalmet-ports-XXXXXX";
    Root = ::mkdtemp(pattern);
    fs::create_directories(Root / "sys/class/tty");
    fs::create_directories(Root / "sys/devices/pnp0");
    fs::create_directories(Root / "dev/pts");
    Roots.Sys = (Root / "sys").string();
    Roots.Dev = (Root / "dev").string();
  }
  ~FakeMachine() { fs::remove_all(Root); }

  // A class entry; with a device link when Device, with a type file when Type >= 0.
  void Tty(const std::string& Name, bool Device, int Type = -1, bool Node = true) {
    const fs::path entry = Root / "sys/class/tty" / Name;
    fs::create_directories(entry);
    if (Device) fs::create_directory_symlink(Root / "sys/devices/pnp0", entry / "device");
    if (Type >= 0) std::ofstream(entry / "type") << Type << "\n";
    if (Node) File("dev/" + Name);
  }
  void File(const std::string& Path) { std::ofstream(Root / Path) << ""; }
  void Link(const std::string& Name, const fs::path& Target) {
    fs::create_symlink(Target, Root / "dev" / Name);
  }

  fs::path Root;
  platform::TDeviceRoots Roots;
};

TEST(PortEnumeration, RealDevicesWithoutPhantomsThenPseudoTerminalLinks) {
  FakeMachine m;
  m.Tty("ttyS0", true, 4);
  m.Tty("ttyS1", true, 0);         // phantom UART
  m.Tty("ttyS2", true, 4, false);  // no node under /dev
  m.Tty("ttyUSB0", true);          // no type attribute: USB adapter
  m.Tty("ttyACM0", true);
  m.Tty("ttyAMA0", true, 83);
  m.Tty("tty0", false);  // virtual console
  m.Tty("ptmx", false);
  m.Tty("console", false);
  m.File("dev/pts/3");
  m.File("dev/pts/4");
  m.Link("ttyV0", "pts/3");                    // relative
  m.Link("ttyKALMET0", m.Root / "dev/pts/4");  // absolute
  m.Link("ttyGone", "pts/9");                  // dangling
  m.Link("vport0", "pts/3");                   // not a tty name
  m.Link("ttyAlias", "ttyS0");                 // not a pseudo-terminal
  EXPECT_EQ(
      platform::SerialPortNames(m.Roots),
      (std::vector<std::string>{"ttyACM0", "ttyAMA0", "ttyS0", "ttyUSB0", "ttyKALMET0", "ttyV0"}));
}

TEST(PortEnumeration, EmptyOrMissingTreesGiveNothing) {
  FakeMachine m;
  EXPECT_TRUE(platform::SerialPortNames(m.Roots).empty());
  EXPECT_TRUE(platform::SerialPortNames({"/nonexistent/sys", "/nonexistent/dev"}).empty());
}

TEST(PortEnumeration, ThisMachineListsOnlyUsablePorts) {
  for (const std::string& name : platform::SerialPortNames()) {
    EXPECT_FALSE(std::regex_match(name, std::regex("tty[0-9]+"))) << name << ": virtual console";
    EXPECT_NE(name, "ptmx");
    EXPECT_NE(name, "console");
    struct stat st {};
    ASSERT_EQ(::stat(("/dev/" + name).c_str(), &st), 0) << name;
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << name;
    if (name.rfind("ttyS", 0) == 0) {
      std::ifstream type("/sys/class/tty/" + name + "/type");
      int t = -1;
      if (type >> t) {
        EXPECT_NE(t, 0) << name << " is a phantom UART";
      }
    }
  }
}

TEST(PortEnumeration, PseudoTerminalWithALinkInDevIsListed) {
  if (::access("/dev", W_OK) != 0) GTEST_SKIP() << "needs write access to /dev";
  TPty pty;
  ASSERT_TRUE(pty.Ok());
  const std::string link = "/dev/ttyKALMETtest" + std::to_string(::getpid());
  ASSERT_EQ(::symlink(pty.SlavePath().c_str(), link.c_str()), 0);
  const auto names = platform::SerialPortNames();
  ::unlink(link.c_str());
  EXPECT_NE(std::find(names.begin(), names.end(), link.substr(5)), names.end());
  const std::string pts = pty.SlavePath().substr(5);  // "pts/N" itself is never listed
  EXPECT_EQ(std::find(names.begin(), names.end(), pts), names.end());
}

TEST(PortEnumeration, ListPortsAppendsAndNeverClears) {
  TComPort port(nullptr);
  TStringList list;
  list.Add("keep");
  port.ListPorts(list);
  const auto once = list.Items.size();
  port.ListPorts(list);
  EXPECT_EQ(list.Items.front(), "keep");
  EXPECT_EQ(list.Items.size(), 1 + 2 * (once - 1)) << "every name appended again";
  EXPECT_EQ(std::vector<std::string>(list.Items.begin() + 1, list.Items.begin() + once),
            platform::SerialPortNames());
}

}  // namespace
