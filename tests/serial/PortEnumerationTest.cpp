#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "serial/ComPort.h"
#include "serial/platform/PortEnumeration.h"
#include "tests/serial/FakeMachine.h"
#include "tests/serial/PtyFixture.h"

namespace {

TEST(PortEnumeration, RealDevicesWithoutPhantomsThenPseudoTerminalLinks) {
  TFakeMachine m;
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
  m.Link("ttyV0", "pts/3");                          // relative
  m.Link("ttyKALMET0", m.Root / "dev/pts/4");        // absolute
  m.Link("ttyGone", "pts/9");                        // dangling
  m.Link("vport0", "pts/3");                         // not a tty name
  m.Link("ttyAlias", "ttyS0");                       // not a pseudo-terminal
  m.Link("ttyMINE0", m.Root / "dev/pts/3", "user");  // the user's own
  m.Link("ttyV0", m.Root / "dev/pts/4", "user");     // named as one in /dev
  EXPECT_EQ(platform::SerialPortNames(m.Roots),
            (std::vector<std::string>{"ttyACM0", "ttyAMA0", "ttyS0", "ttyUSB0", "ttyKALMET0",
                                      "ttyV0", "ttyMINE0"}));
}

TEST(PortEnumeration, DetailsOfAUsbAdapter) {
  TFakeMachine m;
  m.Tty("ttyUSB0", true, -1, true, "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0");
  m.File("sys/devices/usb1/1-1/manufacturer", "FTDI\n");
  m.File("sys/devices/usb1/1-1/product", "USB-RS485 Cable\n");
  m.Tty("ttyS0", true, 4);
  m.File("dev/pts/5");
  m.Link("ttyMINE0", m.Root / "dev/pts/5", "user");
  std::filesystem::create_directories(m.Root / "dev/serial/by-id");
  std::filesystem::create_symlink("../../ttyUSB0",
                                  m.Root / "dev/serial/by-id/usb-FTDI_USB-RS485_Cable-if00-port0");
  const auto ports = platform::SerialPortDetails(m.Roots);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[2].Device, m.Roots.User + "/ttyMINE0") << "where the user's own port is";
  EXPECT_EQ(ports[0].Name, "ttyS0");
  EXPECT_EQ(ports[0].Device, m.Roots.Dev + "/ttyS0");
  EXPECT_EQ(ports[0].ById, "");
  EXPECT_EQ(ports[0].Description, "");
  EXPECT_EQ(ports[1].Name, "ttyUSB0");
  EXPECT_EQ(ports[1].ById, m.Roots.Dev + "/serial/by-id/usb-FTDI_USB-RS485_Cable-if00-port0");
  EXPECT_EQ(ports[1].Description, "FTDI USB-RS485 Cable");
}

TEST(PortEnumeration, EmptyOrMissingTreesGiveNothing) {
  TFakeMachine m;
  EXPECT_TRUE(platform::SerialPortNames(m.Roots).empty());
  EXPECT_TRUE(platform::SerialPortNames({"/nonexistent/sys", "/nonexistent/dev"}).empty());
}

TEST(PortEnumeration, ListPortsAppendsAndNeverClears) {
  TFakeMachine m;
  m.Tty("ttyS0", true, 4);
  m.Tty("ttyUSB0", true);
  m.File("dev/pts/3");
  m.Link("ttyV0", "pts/3");
  TComPort port(nullptr);
  TStringList list;
  list.Add("keep");
  port.ListPorts(list, m.Roots);
  port.ListPorts(list, m.Roots);
  EXPECT_EQ(list.Items, (std::vector<std::string>{"keep", "ttyS0", "ttyUSB0", "ttyV0", "ttyS0",
                                                  "ttyUSB0", "ttyV0"}));
}

// The real /dev: only what no other program can change under the test is
// asserted. Tests whose suite ends in OnThisMachine hold the CTest lock on
// the real /dev, so no other test adds or removes links meanwhile.
TEST(PortEnumerationOnThisMachine, ListsUsablePortsAndAPseudoTerminalLinkedIntoDev) {
  TPty pty;
  ASSERT_TRUE(pty.Ok());
  const std::string link = "/dev/ttyKALMETtest" + std::to_string(::getpid());
  const bool linked = ::symlink(pty.SlavePath().c_str(), link.c_str()) == 0;
  const auto names = platform::SerialPortNames();
  if (linked) ::unlink(link.c_str());
  for (const std::string& name : names) {
    EXPECT_FALSE(std::regex_match(name, std::regex("tty[0-9]+"))) << name << ": virtual console";
    EXPECT_NE(name, "ptmx");
    EXPECT_NE(name, "console");
    // Neither bare pseudo-terminals (pts/N) nor the old BSD ones (ptyp0, ttyp0).
    EXPECT_FALSE(std::regex_match(name, std::regex("pts.*|[0-9]+|(pty|tty)[p-za-e][0-9a-f]")))
        << name << ": a pseudo-terminal without a link";
  }
  if (!linked) GTEST_SKIP() << "linking into /dev needs write access to it";
  EXPECT_NE(std::find(names.begin(), names.end(), link.substr(5)), names.end());
}

}  // namespace
