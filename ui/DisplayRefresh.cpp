// Display refresh and the display units: the values of the connection state
// as the texts of the window's fields.

#include "toolkit/Numbers.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

long double MmToInch(long double Value) {
  return Value / 25.4L;
}
long double InchToMm(long double Value) {
  return Value * 25.4L;
}
long double CelsiusToFahrenheit(long double Value) {
  return Value * 1.8L + 32;
}

std::string TForm1::LengthFormat() const {
  return S.FineResolution ? "0.000" : "0.00";
}

void TForm1::RefreshDisplay() {
  const TProbeData& d = S.ProbeData;
  const auto length = [this](long double Mm) { return S.InchUnits ? MmToInch(Mm) : Mm; };

  Edit_SerialNumber->SetText(S.SerialNumber == 0 ? "" : std::to_string(S.SerialNumber));
  Edit_VersionNumber->SetText(S.FirmwareChecksumRead ? S.FirmwareVersion + "_" + S.FirmwareChecksum
                                                     : "");
  Edit_Temperature->SetText(
      FormatFloat("0.0", S.FahrenheitUnits ? CelsiusToFahrenheit(d.Temperature) : d.Temperature));
  Edit_Level1->SetText(FormatFloat(LengthFormat(), length(d.Level1)));
  Edit_Level2->SetText(FormatFloat(LengthFormat(), length(d.Level2)));
  Edit_Level->SetText(FormatFloat(LengthFormat(), d.Level1));
  Edit_Current->SetText(FormatFloat("0.000", d.Current));

  if (IsRs485ConfigurableProbe(S.ProbeType)) {
    SpinEdit_Address->SetValue(d.Address);
    Edit_Offset1->SetText(FormatFloat("0.000", length(d.Offset1)));
    Edit_Offset2->SetText(FormatFloat("0.000", length(d.Offset2)));
  } else if (IsCurrentLoopProbe(S.ProbeType)) {
    // What the change handlers of these two fields raise is dropped here.
    FDiscardHandlerErrors = true;
    Edit_LevelAt4mA->SetText(FormatFloat(LengthFormat(), d.LevelAt4mA));
    Edit_LevelAt20mA->SetText(FormatFloat(LengthFormat(), d.LevelAt20mA));
    FDiscardHandlerErrors = false;
    const char* alarm = d.AlarmCurrentIndex == kAlarmCurrentNotRead ? ""
                        : d.AlarmCurrentIndex == 0                  ? "21,5 mA"
                        : d.AlarmCurrentIndex == 1                  ? "  3,6 mA"
                                                                    : "???";
    ComboBox_AlarmCurrent->SetText(alarm);
  }
}

void TForm1::ToggleLengthUnit() {
  S.InchUnits = !S.InchUnits;
  for (TLabel* label : {Label_Offset1Unit, Label_Offset2Unit, Label_Float1Unit, Label_Float2Unit})
    label->SetCaption(S.InchUnits ? "inch" : "mm");
  S.UnitSwitching = true;
  struct TSwitchingEnd {
    bool& Flag;
    ~TSwitchingEnd() { Flag = false; }
  } end{S.UnitSwitching};
  RefreshDisplay();
}

void TForm1::ToggleTemperatureUnit() {
  S.FahrenheitUnits = !S.FahrenheitUnits;
  Label_TemperatureUnit->SetCaption(S.FahrenheitUnits ? "°F" : "°C");
  RefreshDisplay();
}

void TForm1::Label_Float1UnitClick(TObject*) {
  if (IsRs485ConfigurableProbe(S.ProbeType)) ToggleLengthUnit();
}

void TForm1::Label_Float2UnitClick(TObject*) {
  if (IsRs485ConfigurableProbe(S.ProbeType)) ToggleLengthUnit();
}

void TForm1::Label_Offset1UnitClick(TObject*) {
  if (IsRs485ConfigurableProbe(S.ProbeType)) ToggleLengthUnit();
}

void TForm1::Label_Offset2UnitClick(TObject*) {
  if (IsRs485ConfigurableProbe(S.ProbeType)) ToggleLengthUnit();
}

void TForm1::Label_TemperatureUnitClick(TObject*) {
  if (IsRs485ConfigurableProbe(S.ProbeType)) ToggleTemperatureUnit();
}
