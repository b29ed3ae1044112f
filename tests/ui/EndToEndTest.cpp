// The whole tool against the probe simulator on a pseudo-terminal: the real
// window, the real serial port with its event thread, real timers.

#include "tests/ui/FormFixture.h"
#include "tools/SimulatorServer.h"

namespace {

class EndToEndTest : public FormTest {
 protected:
  void Serve(const std::string& Preset, const sim::TFaults& Faults = {}) {
    sim::TServerOptions options;
    options.Faults = Faults;
    Server = std::make_unique<sim::TSimulatorServer>(*sim::Preset(Preset), options);
    std::string error;
    ASSERT_TRUE(Server->Open(error)) << error;
    Server->Start();
    MakeForm();
    Pick(Server->DevicePath());
    ASSERT_TRUE(Messages.empty()) << Messages.front();
  }
  void TearDown() override {
    FormTest::TearDown();
    Server.reset();
  }
  bool WaitForStatus(const char* Status, int Milliseconds = 15000) {
    return QTest::qWaitFor([&] { return Q(Form->Edit_Status)->text() == Status; }, Milliseconds);
  }
  // The requests the simulator received since the last call, without CR LF.
  std::vector<std::string> TakeRequests() {
    std::vector<std::string> requests;
    const auto log = Server->Log();
    for (; FTaken < log.size(); ++FTaken)
      if (log[FTaken].Kind == "REQ")
        requests.push_back(log[FTaken].Text.substr(0, log[FTaken].Text.size() - 4));
    return requests;
  }

  std::unique_ptr<sim::TSimulatorServer> Server;

 private:
  std::size_t FTaken = 0;
};

using Requests = std::vector<std::string>;

// Behind a 2-wire adapter that echoes every request; the current-loop probe
// below talks over a line without echo.
TEST_F(EndToEndTest, Rs485ProbeIsReadEditedWrittenAndReadAgain) {
  sim::TFaults echo;
  echo.EchoEvery = 1;
  Serve("rs485-d", echo);
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  EXPECT_EQ(TakeRequests(),
            (Requests{"S 0", "TXP40217VN4", "TXP40217CS", "TXP40217AD", "TXP40217OP", "TXP40217OW",
                      "TXP40217SL", "TXP40217IS", "TXP40217PL", "TXP40217PH", "TXP40217FS"}));
  EXPECT_EQ(Q(Form->GroupBox_ProbeData)->title(), QString(" KALMET-RS-D "));
  EXPECT_EQ(Text(Q(Form->Edit_SerialNumber)), "40217");
  EXPECT_EQ(Text(Q(Form->Edit_VersionNumber)), "V2.13_A5C3");
  EXPECT_EQ(Text(Q(Form->Edit_Temperature)), "21.5");
  EXPECT_EQ(Text(Q(Form->Edit_Level1)), "123.456");
  EXPECT_EQ(Text(Q(Form->Edit_Level2)), "234.567");
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 192);
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "0.000");
  EXPECT_EQ(Text(Q(Form->Edit_Offset2)), "0.000");
  EXPECT_TRUE(Q(Form->GroupBox_ConfigurationDataKALMET_RS485)->isVisible());
  EXPECT_EQ(Q(Form->GroupBox_ConfigurationDataKALMET_RS485)->pos(), QPoint(192, 104));
  EXPECT_TRUE(Q(Form->Button_Read)->isEnabled());
  EXPECT_FALSE(Q(Form->Button_Write)->isEnabled());

  // Edit and write.
  Q(Form->SpinEdit_Address)->setValue(201);
  Paste(Q(Form->Edit_Offset1), "12.5");
  EXPECT_TRUE(Marked(Q(Form->SpinEdit_Address)));
  EXPECT_TRUE(Marked(Q(Form->Edit_Offset1)));
  ASSERT_TRUE(Q(Form->Button_Write)->isEnabled());
  QTest::mouseClick(Q(Form->Button_Write), Qt::LeftButton);
  ASSERT_TRUE(WaitForStatus("Writing probe data done."));
  EXPECT_EQ(TakeRequests(),
            (Requests{"RXP40217AD201", "RXP40217OP12.500", "RXP40217OW0.000", "STP40217"}));
  EXPECT_FALSE(Marked(Q(Form->SpinEdit_Address)));
  EXPECT_FALSE(Marked(Q(Form->Edit_Offset1)));
  const sim::TProbeModel probe = Server->Model();
  EXPECT_EQ(probe.Address, 201);
  EXPECT_EQ(probe.Offset1, 12.5);
  EXPECT_EQ(probe.Commits, 1);
  EXPECT_TRUE(Q(Form->SpinEdit_Address)->isEnabled());
  EXPECT_TRUE(Q(Form->Button_Read)->isEnabled());

  // Read again.
  QTest::mouseClick(Q(Form->Button_Read), Qt::LeftButton);
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  EXPECT_EQ(TakeRequests(), (Requests{"S 0", "TXP40217AD", "TXP40217OP", "TXP40217OW", "TXP40217SL",
                                      "TXP40217IS", "TXP40217PL", "TXP40217PH", "TXP40217FS"}));
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 201);
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "12.500");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(EndToEndTest, CurrentLoopProbeIsWrittenAndReleasedWhenTheWindowCloses) {
  Serve("current-loop");
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  TakeRequests();
  EXPECT_EQ(Q(Form->GroupBox_ProbeData)->title(), QString(" KALMET-C "));
  EXPECT_EQ(Text(Q(Form->Edit_Level)), "1250.25");
  EXPECT_EQ(Text(Q(Form->Edit_Current)), "12.000");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt4mA)), "100.00");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt20mA)), "2400.00");
  EXPECT_EQ(Q(Form->ComboBox_AlarmCurrent)->Text(), QString("21,5 mA"));
  EXPECT_TRUE(Q(Form->GroupBox_ConfigurationDataKALMET_C)->isVisible());

  Paste(Q(Form->Edit_LevelAt4mA), "250");
  Paste(Q(Form->Edit_LevelAt20mA), "2000.5");
  Q(Form->ComboBox_AlarmCurrent)->setCurrentIndex(1);
  emit Q(Form->ComboBox_AlarmCurrent)->activated(1);
  QTest::mouseClick(Q(Form->Button_Write), Qt::LeftButton);
  ASSERT_TRUE(WaitForStatus("Writing probe data done."));
  EXPECT_EQ(TakeRequests(),
            (Requests{"RXP51234PL250.000", "RXP51234PH2000.500", "RXP51234FS1", "STP51234"}));
  const sim::TProbeModel probe = Server->Model();
  EXPECT_EQ(probe.LevelAt4mA, 250);
  EXPECT_EQ(probe.LevelAt20mA, 2000.5);
  EXPECT_EQ(probe.AlarmCurrent, 1);
  for (QWidget* w : {static_cast<QWidget*>(Q(Form->Edit_LevelAt4mA)),
                     static_cast<QWidget*>(Q(Form->Edit_LevelAt20mA)),
                     static_cast<QWidget*>(Q(Form->ComboBox_AlarmCurrent))}) {
    EXPECT_FALSE(Marked(w));
    EXPECT_TRUE(w->isEnabled());
  }

  Form->Close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Server->Model().LoopReleases == 1; }, 5000));
  EXPECT_EQ(TakeRequests(), Requests{"RXP51234IS"});
  EXPECT_TRUE(Messages.empty());
}

TEST_F(EndToEndTest, SilentProbeIsReportedOnceThenSearchedFor) {
  Serve("rs485-d");
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  sim::TFaults silent;
  silent.SilentAfter = 0;
  Server->SetFaults(silent);
  QTest::mouseClick(Q(Form->Button_Read), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.empty(); }, 5000));
  EXPECT_EQ(Messages, std::vector<std::string>{
                          "Error: No answer from probe!\r\n\r\nTrying to connect/re-connect."});
  EXPECT_TRUE(Q(Form->GroupBox_ConfigurationDataKALMET_RS485)->isHidden());
  EXPECT_TRUE(Q(Form->GroupBox_MeasurementDataKALMET_RS485)->isHidden());
  EXPECT_EQ(Q(Form->GroupBox_ProbeData)->title(), QString(" Probe Data "));
  EXPECT_EQ(Text(Q(Form->Edit_SerialNumber)), "");
  ASSERT_TRUE(WaitForStatus("Searching for probe.", 2000));
  TakeRequests();
  // The search goes on, quietly, until the probe answers again.
  std::size_t searches = 0;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (searches += TakeRequests().size()) >= 2; }, 5000));
  EXPECT_EQ(Messages.size(), 1u);
  Server->SetFaults({});
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  EXPECT_EQ(Text(Q(Form->Edit_SerialNumber)), "40217");
}

}  // namespace
