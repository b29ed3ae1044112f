#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "tests/serial/PtyFixture.h"
#include "tests/ui/FormFixture.h"

namespace {

class StartupTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Machine.Tty("ttyUSB0", true);
    Machine.Tty("ttyS0", true, 4);
    Machine.Tty("ttyACM0", true);
    Machine.File("dev/pts/7");
    Machine.Link("ttyKALMET0", "pts/7");
    MakeForm(&Clock);
  }
  bool IndicatorsShown() const {
    return !Q(Form->Label_Tx)->isHidden() && !Q(Form->Label_Rx)->isHidden() &&
           !Q(Form->Edit_TxIndicator)->isHidden() && !Q(Form->Edit_RxIndicator)->isHidden();
  }
  bool IndicatorsHidden() const {
    return Q(Form->Label_Tx)->isHidden() && Q(Form->Label_Rx)->isHidden() &&
           Q(Form->Edit_TxIndicator)->isHidden() && Q(Form->Edit_RxIndicator)->isHidden();
  }
  TVirtualClock Clock;
};

TEST_F(StartupTest, StartsWaitingForAPortChoice) {
  const TConnectionState& s = Form->State();
  EXPECT_EQ(Text(Q(Form->Edit_Status)), "Please select correct COM port.");
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 192);
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->currentIndex(), -1);
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->Text(), QString("select COM Port..."));
  EXPECT_FALSE(s.PortOpen);
  EXPECT_EQ(s.SearchRetries, 3);
  EXPECT_TRUE(s.FineResolution);
  EXPECT_EQ(std::string(s.ProbeId.begin(), s.ProbeId.end()), "000000000");
  EXPECT_FALSE(Q(Form->Button_Read)->isEnabled());
  EXPECT_FALSE(Q(Form->Button_Write)->isEnabled());
  EXPECT_TRUE(IndicatorsHidden());
  // The machine's ports, sorted as strings.
  std::vector<std::string> listed;
  for (int i = 0; i < Q(Form->ComboBox_ComPort)->count(); ++i)
    listed.push_back(Q(Form->ComboBox_ComPort)->itemText(i).toStdString());
  EXPECT_EQ(listed, (std::vector<std::string>{"ttyACM0", "ttyKALMET0", "ttyS0", "ttyUSB0"}));
  Clock.Advance(10000);
  EXPECT_EQ(Text(Q(Form->Edit_Status)), "Please select correct COM port.") << "nothing runs";
}

TEST_F(StartupTest, FourCharacterNamesAreOpenedUnchangedAndAMissingPortFails) {
  Pick("COM9");
  EXPECT_EQ(Form->Com->DeviceName(), "COM9");
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].rfind("The selected COM Port is not available!", 0), 0u);
  EXPECT_EQ(Text(Q(Form->Edit_Status)), "Please select correct COM port.");
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->currentIndex(), -1);
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->Text(), QString("Select COM Port ..."));
  EXPECT_FALSE(Form->State().PortOpen);
  EXPECT_FALSE(Form->Com->Active());
  EXPECT_TRUE(IndicatorsHidden());
  Pick("ttyKALMETnone");
  EXPECT_EQ(Form->Com->DeviceName(), "\\\\.\\ttyKALMETnone");
  ASSERT_EQ(Messages.size(), 2u);
  EXPECT_EQ(Messages[1],
            "The selected COM Port is not available!\r\n\r\nThe port is not there: its adapter "
            "is unplugged, or the name is wrong. Plug the adapter in and pick the port again.");
  // A device that is no serial port says so, not that another program holds it.
  QTemporaryDir dir;
  const QString file = dir.filePath("ttyFile");
  QFile(file).open(QIODevice::WriteOnly);
  Pick(file.toStdString());
  ASSERT_EQ(Messages.size(), 3u);
  EXPECT_EQ(Messages[2],
            "The selected COM Port is not available!\r\n\r\nThe device does not work as a "
            "serial port (Inappropriate ioctl for device). Check that it is the adapter's port.");
}

TEST_F(StartupTest, APortThisUserMayNotOpenSaysSo) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may open any device";
  QTemporaryDir dir;
  const QString device = dir.filePath("ttyLocked");
  QFile(device).open(QIODevice::WriteOnly);
  QFile::setPermissions(device, QFileDevice::Permissions());
  Pick(device.toStdString());
  EXPECT_EQ(Messages,
            std::vector<std::string>{
                "The selected COM Port is not available!\r\n\r\nYou may not use this "
                "port. Add yourself to the group \"dialout\" (as root: usermod -aG dialout "
                "USERNAME), then log out and in again."});
}

// The list follows the machine: a port that appears is listed in its sorted
// place, one that goes away leaves; what is picked and shown stays.
TEST_F(StartupTest, ThePortListFollowsTheMachine) {
  const auto listed = [&] {
    QStringList items;
    for (int i = 0; i < Q(Form->ComboBox_ComPort)->count(); ++i)
      items << Q(Form->ComboBox_ComPort)->itemText(i);
    return items;
  };
  Machine.File("dev/pts/9");
  Machine.Link("ttyB0", "pts/9");
  ASSERT_TRUE(QTest::qWaitFor([&] { return listed().contains("ttyB0"); }, 1000));
  EXPECT_EQ(listed(), QStringList({"ttyACM0", "ttyB0", "ttyKALMET0", "ttyS0", "ttyUSB0"}));
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->Text(), QString("select COM Port..."));
  Machine.Remove("dev/ttyB0");
  Machine.Remove("dev/ttyUSB0");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !listed().contains("ttyB0"); }, 1000));
  EXPECT_EQ(listed(), QStringList({"ttyACM0", "ttyKALMET0", "ttyS0"}));
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->currentIndex(), -1);
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->Text(), QString("select COM Port..."));
}

TEST_F(StartupTest, PickingAPortStartsAFreshConnection) {
  TPty pty;
  ASSERT_TRUE(pty.Ok());
  Form->State().ProbeType = 6;
  Form->State().FirmwareChecksumRead = true;
  Q(Form->GroupBox_MeasurementDataKALMET_RS485)->setVisible(true);
  Q(Form->GroupBox_Information)->setEnabled(true);
  Q(Form->GroupBox_Information)->setVisible(true);
  Q(Form->GroupBox_ProbeData)->setTitle(" KALMET-RS-D ");
  Pick(pty.SlavePath());
  ASSERT_TRUE(Messages.empty());
  EXPECT_EQ(Form->Com->DeviceName(), "\\\\.\\" + pty.SlavePath());
  EXPECT_TRUE(Form->Com->Active());
  const TConnectionState& s = Form->State();
  EXPECT_TRUE(s.PortOpen);
  EXPECT_FALSE(s.ProbeFound);
  EXPECT_EQ(s.ProbeType, 0);
  EXPECT_EQ(s.ReadComplete, 0);
  EXPECT_EQ(Q(Form->GroupBox_ProbeData)->title(), QString(" Probe Data "));
  EXPECT_TRUE(Q(Form->GroupBox_MeasurementDataKALMET_RS485)->isHidden());
  EXPECT_TRUE(Q(Form->GroupBox_Information)->isHidden());
  EXPECT_FALSE(Q(Form->GroupBox_Information)->isEnabled());
  EXPECT_FALSE(s.FirmwareChecksumRead);
  EXPECT_TRUE(IndicatorsShown());
  EXPECT_FALSE(Q(Form->Button_Read)->isEnabled());
  EXPECT_TRUE(Form->TimerRequestNext->Enabled());
  Clock.Advance(200);
  EXPECT_EQ(Text(Q(Form->Edit_Status)), "Searching for probe.");
  EXPECT_EQ(pty.Read(5), "S 0\r\n");
  // The same port again: closed, opened, searched afresh.
  Pick(pty.SlavePath());
  EXPECT_TRUE(Messages.empty());
  EXPECT_TRUE(Form->Com->Active());
  Clock.Advance(200);
  EXPECT_EQ(pty.Read(5), "S 0\r\n");
}

TEST_F(StartupTest, PortHeldByAnotherProgramIsRefused) {
  TPty pty;
  ASSERT_TRUE(pty.Ok());
  TComPort other(nullptr);
  other.SetDeviceName(pty.SlavePath());
  other.Open();
  Pick(pty.SlavePath());
  EXPECT_EQ(Messages,
            std::vector<std::string>{
                "The selected COM Port is not available!\r\n\r\nAnother program is "
                "using this port. Close that program and pick the port again; \"fuser -v " +
                pty.SlavePath() + "\" shows which program it is."});
  EXPECT_EQ(Q(Form->ComboBox_ComPort)->Text(), QString("Select COM Port ..."));
  EXPECT_TRUE(IndicatorsHidden());
  Clock.Advance(5000);
  EXPECT_EQ(Text(Q(Form->Edit_Status)), "Please select correct COM port.") << "nothing is sent";
}

TEST_F(StartupTest, ClosingTheWindowReleasesACurrentLoopProbe) {
  const struct {
    int Type;
    bool Sends;
  } rows[] = {{2, true},  {3, true},  {4, true},  {0, false},
              {1, false}, {5, false}, {6, false}, {7, false}};
  for (const auto& r : rows) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    MakeForm(&Clock);
    Pick(pty.SlavePath());
    TConnectionState& s = Form->State();
    s.ProbeType = r.Type;
    const std::string id = "51234";
    std::copy(id.begin(), id.end(), s.ProbeId.begin());
    s.ProbeIdLength = 5;
    Form->Close();
    EXPECT_FALSE(Form->Com->Active());
    EXPECT_EQ(pty.Read(12, r.Sends ? 5000 : 200), r.Sends ? "RXP51234IS\r\n" : "") << r.Type;
  }
}

TEST_F(StartupTest, AfterAFailedPortChoiceClosingSendsNothing) {
  TPty pty;
  ASSERT_TRUE(pty.Ok());
  Pick(pty.SlavePath());
  Form->State().ProbeType = 2;
  Pick("COM9");
  EXPECT_EQ(Form->State().ProbeType, 2) << "kept";
  Form->Close();
  EXPECT_EQ(pty.Read(1, 200), "");
  EXPECT_EQ(Messages.size(), 1u) << "no attempt to send on the closed port";
}

TEST_F(StartupTest, AboutBox) {
  QTest::mouseClick(Q(Form->LabelAbout), Qt::LeftButton);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].rfind("KALMET Configuration Version: 1.0.13.255\r\n", 0), 0u);
  EXPECT_GT(Messages[0].size(), std::string("KALMET Configuration Version: 1.0.13.255\r\n").size());
  EXPECT_EQ(Captions[0], "KALMET Configuration");
}

}  // namespace
