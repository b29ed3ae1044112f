// Configuration editing: the change handlers of the configuration fields,
// which check and store each entry, and the Read and Write commands.

#include "probe/ProtocolRules.h"
#include "toolkit/Numbers.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

bool TForm1::WaitingForInput() const {
  return S.ReadComplete != 0 && S.SequenceState == ssIdle;
}

void TForm1::MarkModified(TWinControl* Field) {
  Field->SetColor(ModifiedColour);
  Button_Write->SetEnabled(true);
}

void TForm1::SpinEdit_AddressChange(TObject*) {
  if (!IsRs485ConfigurableProbe(S.ProbeType)) return;
  const int value = SpinEdit_Address->Value();
  const int kept = KeptAddress(value, S.ProbeType, S.SequenceState == ssReadRequested);
  if (kept != value) SpinEdit_Address->SetValue(kept);
  S.ProbeData.Address = SpinEdit_Address->Value();
  if (WaitingForInput()) MarkModified(SpinEdit_Address);
}

void TForm1::OffsetChange(TEdit* Field, long double TProbeData::*Value) {
  const auto shown = [this, Value] {
    const long double mm = S.ProbeData.*Value;
    return FormatFloat("0.000", S.InchUnits ? MmToInch(mm) : mm);
  };
  long double typed = 0;
  if (TryTextToFloat(Field->Text(), typed)) {
    if (typed < 0)
      Field->SetText(shown());
    else if (typed > kOffsetLimit)
      Field->SetText(FormatFloat("0.000", kOffsetLimit));
    long double number = 0;
    if (TryTextToFloat(Field->Text(), number))
      S.ProbeData.*Value = S.InchUnits ? InchToMm(number) : number;
  } else {
    // Not a number: the stored value comes back (its own change stores it).
    Field->SetText(shown());
  }
  if (WaitingForInput() && !S.UnitSwitching) MarkModified(Field);
}

void TForm1::Edit_Offset1Change(TObject*) {
  OffsetChange(Edit_Offset1, &TProbeData::Offset1);
}

void TForm1::Edit_Offset2Change(TObject*) {
  OffsetChange(Edit_Offset2, &TProbeData::Offset2);
}

void TForm1::LevelChange(TEdit* Field, long double TProbeData::*Value) {
  long double typed = 0;
  const bool number = TryTextToFloat(Field->Text(), typed);
  if (!number || typed < 0)
    Field->SetText(FormatFloat(LengthFormat(), S.ProbeData.*Value));
  else if (typed > S.ProbeData.LevelLimit)
    Field->SetText(FormatFloat(LengthFormat(), S.ProbeData.LevelLimit));
  long double shown = 0;
  if (TryTextToFloat(Field->Text(), shown)) S.ProbeData.*Value = shown;
  if (WaitingForInput()) MarkModified(Field);
}

void TForm1::Edit_LevelAt4mAChange(TObject*) {
  LevelChange(Edit_LevelAt4mA, &TProbeData::LevelAt4mA);
}

void TForm1::Edit_LevelAt20mAChange(TObject*) {
  LevelChange(Edit_LevelAt20mA, &TProbeData::LevelAt20mA);
}

void TForm1::ComboBox_AlarmCurrentChange(TObject*) {
  if (ComboBox_AlarmCurrent->ItemIndex() > 1) {
    ComboBox_AlarmCurrent->SetItemIndex(1);
    ComboBox_AlarmCurrent->SetText("  3,6 mA");
  }
  S.ProbeData.AlarmCurrentIndex = ComboBox_AlarmCurrent->ItemIndex();
  if (WaitingForInput()) MarkModified(ComboBox_AlarmCurrent);
}

void TForm1::Button_ReadClick(TObject*) {
  FEngine->RequestRead();
}

void TForm1::Button_WriteClick(TObject*) {
  FEngine->RequestWrite();
}
