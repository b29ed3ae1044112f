#include "tests/support/Locale.h"
#include "tests/ui/FormFixture.h"

namespace {

class DisplayTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    MakeForm();
  }
  TConnectionState& S() { return Form->State(); }
  TProbeData& D() { return Form->State().ProbeData; }
};

TEST_F(DisplayTest, NumbersInThePointAndTheCommaLocale) {
  Connected(6);
  D().Temperature = 21.5L;
  D().Level1 = 12.5L;
  D().Offset1 = 12.5L;
  D().Current = 4;
  Form->RefreshDisplay();
  EXPECT_EQ(Text(Q(Form->Edit_Temperature)), "21.5");
  EXPECT_EQ(Text(Q(Form->Edit_Level1)), "12.500");
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "12.500");
  EXPECT_EQ(Text(Q(Form->Edit_Current)), "4.000");
  ScopedNumericLocale comma(kCommaLocale);
  ASSERT_TRUE(comma.Ok());
  Form->RefreshDisplay();
  EXPECT_EQ(Text(Q(Form->Edit_Temperature)), "21,5");
  EXPECT_EQ(Text(Q(Form->Edit_Level1)), "12,500");
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "12,500");
  EXPECT_EQ(D().Offset1, 12.5L) << "read back with the same separator";
}

TEST_F(DisplayTest, LengthFormatFollowsTheResolution) {
  Connected(2);
  D().Level1 = 1234.5L;
  D().LevelLimit = 16000;
  D().LevelAt4mA = 100;
  S().FineResolution = false;
  Form->RefreshDisplay();
  EXPECT_EQ(Text(Q(Form->Edit_Level1)), "1234.50");
  EXPECT_EQ(Text(Q(Form->Edit_Level)), "1234.50");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt4mA)), "100.00");
  S().FineResolution = true;
  S().InchUnits = true;  // left over from an RS-485 probe: these stay in mm
  Form->RefreshDisplay();
  EXPECT_EQ(Text(Q(Form->Edit_Level)), "1234.500");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt4mA)), "100.000");
}

TEST_F(DisplayTest, InchAndFahrenheit) {
  Connected(6);
  D().Level1 = 254;
  D().Offset1 = 25.4L;
  D().Temperature = 20;
  Form->RefreshDisplay();
  EXPECT_EQ(Text(Q(Form->Edit_Temperature)), "20.0");
  QTest::mouseClick(Q(Form->Label_Float1Unit), Qt::LeftButton);
  EXPECT_TRUE(S().InchUnits);
  EXPECT_EQ(Text(Q(Form->Edit_Level1)), "10.000");
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "1.000");
  EXPECT_EQ(Text(Q(Form->Edit_Level)), "254.000") << "never converted";
  for (QLabel* l : {Q(Form->Label_Offset1Unit), Q(Form->Label_Offset2Unit),
                    Q(Form->Label_Float1Unit), Q(Form->Label_Float2Unit)})
    EXPECT_EQ(l->text(), QString("inch"));
  EXPECT_EQ(Q(Form->Label_LevelUnit)->text(), QString("mm"));
  QTest::mouseClick(Q(Form->Label_TemperatureUnit), Qt::LeftButton);
  EXPECT_EQ(Text(Q(Form->Edit_Temperature)), "68.0");
  EXPECT_EQ(Q(Form->Label_TemperatureUnit)->text(), QString("°F"));
  EXPECT_FALSE(S().UnitSwitching);
}

TEST_F(DisplayTest, ToggledOffsetsCarryTheRoundingOfTheShownInches) {
  Connected(6);
  D().Offset1 = 10;
  D().Offset2 = 0;
  RefreshAsRead();
  Form->ToggleLengthUnit();
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "0.394");
  EXPECT_EQ(D().Offset1, 0.394L * 25.4L);
  EXPECT_FALSE(Marked(Q(Form->Edit_Offset1))) << "a unit switch is no edit";
  EXPECT_FALSE(Q(Form->Button_Write)->isEnabled());
  Form->ToggleLengthUnit();
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "10.008");
}

TEST_F(DisplayTest, IdentityFieldsAndAlarmCurrentTexts) {
  Connected(2);
  S().SerialNumber = 0;
  S().FirmwareVersion = "V2.13";
  S().FirmwareChecksum = "A5C3";
  S().FirmwareChecksumRead = false;
  Form->RefreshDisplay();
  EXPECT_EQ(Text(Q(Form->Edit_SerialNumber)), "");
  EXPECT_EQ(Text(Q(Form->Edit_VersionNumber)), "") << "only once the checksum was read";
  S().SerialNumber = 12345;
  S().FirmwareChecksumRead = true;
  const std::pair<int, const char*> alarms[] = {
      {100, ""}, {0, "21,5 mA"}, {1, "  3,6 mA"}, {5, "???"}, {-1, "???"}};
  for (auto [index, text] : alarms) {
    D().AlarmCurrentIndex = index;
    Form->RefreshDisplay();
    EXPECT_EQ(Q(Form->ComboBox_AlarmCurrent)->Text().toStdString(), text) << index;
  }
  EXPECT_EQ(Text(Q(Form->Edit_SerialNumber)), "12345");
  EXPECT_EQ(Text(Q(Form->Edit_VersionNumber)), "V2.13_A5C3");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(DisplayTest, ClearedValuesShowAsZeros) {
  Connected(2);
  D().LevelLimit = 16000;
  D().Level1 = 5;
  D().LevelAt4mA = 7;
  D().AlarmCurrentIndex = 1;
  Form->RefreshDisplay();
  Form->Engine().ResetProbeData();
  EXPECT_EQ(Text(Q(Form->Edit_Temperature)), "0.0");
  EXPECT_EQ(Text(Q(Form->Edit_Level)), "0.000");
  EXPECT_EQ(Text(Q(Form->Edit_Current)), "0.000");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt4mA)), "0.000");
  EXPECT_EQ(Q(Form->ComboBox_AlarmCurrent)->Text(), QString(""));
}

TEST_F(DisplayTest, UnitLabelsOfOtherProbesDoNothing) {
  for (int type : {2, 5}) {
    Connected(type);
    for (QLabel* l : {Q(Form->Label_LevelUnit), Q(Form->Label_CurrentUnit),
                      Q(Form->Label_LevelAt4mAUnit), Q(Form->Label_LevelAt20mAUnit),
                      Q(Form->Label_Float1Unit), Q(Form->Label_TemperatureUnit)})
      if (l->isVisible()) QTest::mouseClick(l, Qt::LeftButton);
    Form->Label_Float1UnitClick(Form.get());
    Form->Label_TemperatureUnitClick(Form.get());
    EXPECT_FALSE(S().InchUnits) << type;
    EXPECT_FALSE(S().FahrenheitUnits) << type;
    EXPECT_EQ(Q(Form->Label_LevelUnit)->text(), QString("mm"));
    EXPECT_EQ(Q(Form->Label_CurrentUnit)->text(), QString("mA"));
  }
}

TEST_F(DisplayTest, AddressFromTheProbeIsShownWithinItsRange) {
  Connected(6);
  D().Address = 5000;
  Form->RefreshDisplay();
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 253);
  EXPECT_EQ(D().Address, 253);
}

TEST_F(DisplayTest, LevelHintsBreakTheirLines) {
  auto& s = Form->State();
  s.RequestCode = 15;
  const std::string reply = "2506.4\r\n";
  std::copy(reply.begin(), reply.end(), s.RxLine.begin());
  s.RxCount = static_cast<int>(reply.size());
  Form->Engine().ParseProbeLengthReply();
  EXPECT_EQ(Q(Form->Edit_LevelAt20mA)->toolTip(),
            QString("Level at 20 mA point.\nmin:      0 mm\nmax: 2510 mm"));
  EXPECT_EQ(Q(Form->Edit_LevelAt4mA)->toolTip(),
            QString("Level at 4 mA point.\nmin:      0 mm\nmax: 2510 mm"));
}

}  // namespace
