#pragma once

// What the protocol engine may do to the window, and nothing more. Controls,
// groups and labels carry the names of the window's widgets.

#include <string>

enum class TProbeControl {
  SpinEdit_Address,
  Edit_Offset1,
  Edit_Offset2,
  Edit_LevelAt4mA,
  Edit_LevelAt20mA,
  ComboBox_AlarmCurrent,
  Button_Read,
  Button_Write,
};

// The six configuration controls, in the order in which a write locks them.
inline constexpr TProbeControl kConfigurationControls[] = {
    TProbeControl::SpinEdit_Address, TProbeControl::Edit_Offset1,
    TProbeControl::Edit_Offset2,     TProbeControl::Edit_LevelAt4mA,
    TProbeControl::Edit_LevelAt20mA, TProbeControl::ComboBox_AlarmCurrent,
};

enum class TProbeGroup {
  GroupBox_ProbeData,
  GroupBox_MeasurementDataKALMET_C,
  GroupBox_ConfigurationDataKALMET_C,
  GroupBox_MeasurementDataKALMET_RS485,
  GroupBox_ConfigurationDataKALMET_RS485,
  GroupBox_Information,
};

enum class TProbeLabel {
  LabelUnsupportedOrUnknownMessage,
  LabelUnsupportedOrUnknownType,
};

enum class TAcknowledge { Positive, Negative, None };

class IProbeView {
 public:
  virtual ~IProbeView() = default;
  // Edit_Status
  virtual void SetStatusText(const std::string& Text) = 0;
  virtual void SetControlEnabled(TProbeControl Control, bool Enabled) = 0;
  // Back to the normal window colour (an edited field is marked in another).
  virtual void RestoreControlColour(TProbeControl Control) = 0;
  // Tooltip; CR LF breaks the line.
  virtual void SetControlHint(TProbeControl Control, const std::string& Hint) = 0;
  // Show: top and left set, then enabled and visible. Hide: disabled, invisible.
  virtual void ShowGroup(TProbeGroup Group, int Left, int Top) = 0;
  virtual void HideGroup(TProbeGroup Group) = 0;
  virtual void SetGroupCaption(TProbeGroup Group, const std::string& Caption) = 0;
  virtual void SetLabelCaption(TProbeLabel Label, const std::string& Caption) = 0;
  // Modal OK box; returns when the operator has closed it.
  virtual void ShowMessage(const std::string& Text) = 0;
  // Writes every displayed value from the connection state.
  virtual void RefreshDisplay() = 0;
  // The probe's answer to a write request or to the closing command (the
  // window does not show it; a terminal program reports it).
  virtual void Acknowledged(int /*RequestCode*/, TAcknowledge /*Outcome*/) {}
};
