#include "tests/support/Locale.h"
#include "tests/ui/FormFixture.h"

namespace {

class EditingTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    MakeForm(&Clock);
  }
  // A probe of Type, read completely, its values on screen, waiting for input.
  void Ready(int Type) {
    Connected(Type);
    D().LevelLimit = 16000;
    D().LevelAt4mA = 100;
    D().LevelAt20mA = 2400;
    D().AlarmCurrentIndex = 0;
    RefreshAsRead();
  }
  TProbeData& D() { return Form->State().ProbeData; }
  TVirtualClock Clock;
};

TEST_F(EditingTest, AddressIsClampedToTheProbeTypesRange) {
  const struct {
    int Type;
    int Entered;
    int Shown;
  } rows[] = {{6, 150, 192}, {6, 300, 253}, {6, 200, 200}, {7, 0, 1}, {7, 250, 247}, {7, 5, 5}};
  for (const auto& r : rows) {
    Ready(r.Type);
    Q(Form->SpinEdit_Address)->setValue(r.Entered);
    EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), r.Shown) << r.Type << " " << r.Entered;
    EXPECT_EQ(D().Address, r.Shown);
    EXPECT_TRUE(Marked(Q(Form->SpinEdit_Address)));
    EXPECT_TRUE(Q(Form->Button_Write)->isEnabled());
  }
  Ready(2);
  D().Address = 0;
  Q(Form->SpinEdit_Address)->setValue(150);
  EXPECT_EQ(D().Address, 0) << "other probes have no address to store";
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 150) << "nor a range";
}

TEST_F(EditingTest, ReReadShowsTheClearedAddressZero) {
  Ready(7);
  Q(Form->Button_Read)->setEnabled(true);
  QTest::mouseClick(Q(Form->Button_Read), Qt::LeftButton);
  EXPECT_EQ(Form->State().SequenceState, ssReadRequested);
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 0) << "not forced to the lower bound";
  EXPECT_FALSE(Q(Form->Button_Read)->isEnabled());
  EXPECT_FALSE(Q(Form->Button_Write)->isEnabled());
  EXPECT_TRUE(Form->TimerRequestNext->Enabled());
  EXPECT_EQ(D().AlarmCurrentIndex, kAlarmCurrentNotRead) << "the probe data were cleared";
}

TEST_F(EditingTest, ReadOnlyWhenWaitingForInput) {
  Ready(6);
  Form->State().SequenceState = ssWriting;
  Form->Button_ReadClick(Form.get());
  EXPECT_EQ(Form->State().SequenceState, ssWriting);
  Form->State().SequenceState = ssIdle;
  Form->State().ReadComplete = 0;
  Form->Button_ReadClick(Form.get());
  EXPECT_EQ(Form->State().SequenceState, ssIdle);
  EXPECT_FALSE(Form->TimerRequestNext->Enabled());
}

TEST_F(EditingTest, OffsetsTypedInInchAreStoredInMillimetres) {
  Ready(6);
  Form->ToggleLengthUnit();
  Type(Q(Form->Edit_Offset1), "1");
  EXPECT_EQ(D().Offset1, 25.4L);
  EXPECT_TRUE(Marked(Q(Form->Edit_Offset1)));
  Paste(Q(Form->Edit_Offset1), "-1");
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "1.000") << "the stored offset comes back, in inch";
  EXPECT_EQ(D().Offset1, 25.4L);
  Paste(Q(Form->Edit_Offset1), "500");
  EXPECT_EQ(Text(Q(Form->Edit_Offset1)), "500") << "the limit is in the unit shown";
  EXPECT_EQ(D().Offset1, 500 * 25.4L);
}

TEST_F(EditingTest, OffsetAboveTheLimitAndTextThatIsNoNumber) {
  Ready(6);
  Type(Q(Form->Edit_Offset2), "20000");
  EXPECT_EQ(Text(Q(Form->Edit_Offset2)), "10000.000");
  EXPECT_EQ(D().Offset2, 10000);
  Type(Q(Form->Edit_Offset2), "x");  // typed over the selected text
  EXPECT_EQ(Text(Q(Form->Edit_Offset2)), "10000.000") << "never left half-typed";
  Q(Form->Edit_Offset2)->clear();
  EXPECT_EQ(Text(Q(Form->Edit_Offset2)), "10000.000") << "never left empty";
  ScopedNumericLocale comma(kCommaLocale);
  ASSERT_TRUE(comma.Ok());
  Paste(Q(Form->Edit_Offset2), "2.5");
  EXPECT_EQ(Text(Q(Form->Edit_Offset2)), "10000,000") << "the wrong separator is not a number";
  Type(Q(Form->Edit_Offset2), "2,5");
  EXPECT_EQ(D().Offset2, 2.5L);
}

TEST_F(EditingTest, LevelsStayWithinTheProbeLength) {
  Ready(2);
  Type(Q(Form->Edit_LevelAt20mA), "17000");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt20mA)), "16000.000");
  EXPECT_EQ(D().LevelAt20mA, 16000);
  Form->State().FineResolution = false;
  Paste(Q(Form->Edit_LevelAt4mA), "-5");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt4mA)), "100.00")
      << "negative: the stored value in the length format";
  Type(Q(Form->Edit_LevelAt4mA), "17000");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt4mA)), "16000.00");
  EXPECT_TRUE(Marked(Q(Form->Edit_LevelAt4mA)));
  Paste(Q(Form->Edit_LevelAt20mA), "abc");
  EXPECT_EQ(Text(Q(Form->Edit_LevelAt20mA)), "16000.00") << "no number: the stored value";
}

TEST_F(EditingTest, EditsAreStoredButNotMarkedOutsideWaitingForInput) {
  for (bool readComplete : {false, true}) {
    Ready(6);
    Form->State().ReadComplete = readComplete ? 1 : 0;
    Form->State().SequenceState = readComplete ? ssReading : ssIdle;
    Type(Q(Form->Edit_Offset1), "7");
    EXPECT_EQ(D().Offset1, 7);
    EXPECT_FALSE(Marked(Q(Form->Edit_Offset1)));
    Ready(2);
    Form->State().ReadComplete = readComplete ? 1 : 0;
    Form->State().SequenceState = readComplete ? ssReading : ssIdle;
    Type(Q(Form->Edit_LevelAt4mA), "7");
    Type(Q(Form->Edit_LevelAt20mA), "70");
    Q(Form->ComboBox_AlarmCurrent)->setCurrentIndex(1);
    emit Q(Form->ComboBox_AlarmCurrent)->activated(1);
    EXPECT_EQ(D().LevelAt4mA, 7);
    EXPECT_EQ(D().LevelAt20mA, 70);
    EXPECT_EQ(D().AlarmCurrentIndex, 1);
    for (QWidget* w : {static_cast<QWidget*>(Q(Form->Edit_LevelAt4mA)),
                       static_cast<QWidget*>(Q(Form->Edit_LevelAt20mA)),
                       static_cast<QWidget*>(Q(Form->ComboBox_AlarmCurrent))})
      EXPECT_FALSE(Marked(w)) << w->objectName().toStdString();
    EXPECT_FALSE(Q(Form->Button_Write)->isEnabled());
  }
}

TEST_F(EditingTest, AlarmCurrentPick) {
  Ready(2);
  EXPECT_EQ(Q(Form->ComboBox_AlarmCurrent)->Text(), QString("21,5 mA"));
  Q(Form->ComboBox_AlarmCurrent)->setCurrentIndex(1);
  emit Q(Form->ComboBox_AlarmCurrent)->activated(1);
  EXPECT_EQ(D().AlarmCurrentIndex, 1);
  EXPECT_TRUE(Marked(Q(Form->ComboBox_AlarmCurrent)));
  Form->RefreshDisplay();
  EXPECT_EQ(Q(Form->ComboBox_AlarmCurrent)->Text(), QString("  3,6 mA"));
}

TEST_F(EditingTest, WriteChecksTheDistanceOfTheLevels) {
  const struct {
    long double At4, At20;
    bool Writes;
  } rows[] = {{100, 104.9L, false}, {100, 105, true}, {500, 100, true}, {100, 96, false}};
  for (const auto& r : rows) {
    Ready(2);
    Messages.clear();
    D().LevelAt4mA = r.At4;
    D().LevelAt20mA = r.At20;
    Q(Form->Button_Write)->setEnabled(true);
    Q(Form->Button_Read)->setEnabled(true);
    Form->TimerRequestNext->SetEnabled(false);
    QTest::mouseClick(Q(Form->Button_Write), Qt::LeftButton);
    EXPECT_EQ(Form->State().SequenceState, r.Writes ? ssWriteRequested : ssIdle) << (double)r.At20;
    EXPECT_EQ(Q(Form->Button_Write)->isEnabled(), !r.Writes);
    EXPECT_EQ(Q(Form->Button_Read)->isEnabled(), !r.Writes);
    EXPECT_TRUE(Form->TimerRequestNext->Enabled()) << "in every case";
    if (r.Writes) {
      EXPECT_TRUE(Messages.empty());
    } else {
      EXPECT_EQ(
          Messages,
          std::vector<std::string>{
              "The value for the 4 mA point and the value for the 20 mA point are too close "
              "together!"
              "\r\n\r\nPlease correct the values so that there is at least a difference of 5 mm."});
    }
  }
  ASSERT_FALSE(Captions.empty());
  EXPECT_EQ(Captions.back(), "KALMET Configuration");
}

TEST_F(EditingTest, Rs485WriteHasNoCheck) {
  Ready(6);
  Form->Button_WriteClick(Form.get());
  EXPECT_EQ(Form->State().SequenceState, ssWriteRequested);
}

TEST_F(EditingTest, WriteWhileARequestIsOutstandingWaitsForIt) {
  Ready(6);
  Form->State().ReadComplete = 0;  // the first read runs
  Form->TimerTimeout->SetEnabled(true);
  Form->Button_WriteClick(Form.get());
  EXPECT_FALSE(Form->TimerRequestNext->Enabled());
  EXPECT_EQ(Form->State().SequenceState, ssIdle);
}

}  // namespace
