#pragma once

// The window's layout as the technician must find it: every control's group,
// position, size, kind, caption or text, hint and initial state, the group
// boxes, and the tab order. The window's tests on both systems check the real
// controls against it.

#include <string>
#include <vector>

namespace layout {

enum Kind { Label, ClickLabel, Edit, ReadOnlyEdit, Spin, Combo, Button };

struct ControlRow {
  const char* Name;
  const char* Group;
  int X, Y, W, H;
  Kind What;
  const char* Text;  // caption or text
  const char* Hint;
  bool Hidden;
  bool Disabled;
};

// The window's controls as its layout gives them.
inline const ControlRow kControls[] = {
    {"Label1_SerialNumber", "GroupBox_ProbeData", 16, 20, 46, 13, Label, "Serial No.", "", false,
     false},
    {"Edit_SerialNumber", "GroupBox_ProbeData", 72, 16, 89, 21, ReadOnlyEdit, "",
     "Serial number of connected probe.", false, false},
    {"Label_VersionNumber", "GroupBox_ProbeData", 16, 52, 42, 13, Label, "Firmware", "", false,
     false},
    {"Edit_VersionNumber", "GroupBox_ProbeData", 72, 48, 89, 21, ReadOnlyEdit, "",
     "Firmware version and firmware checksum of connected probe.", false, false},
    {"ComboBox_ComPort", "GroupBox_ComPort", 24, 16, 129, 21, Combo, "select COM Port...",
     "Selected COM port.", false, false},
    {"Label_Tx", "GroupBox_ComPort", 24, 52, 12, 13, Label, "Tx", "", true, false},
    {"Edit_TxIndicator", "GroupBox_ComPort", 48, 48, 21, 21, ReadOnlyEdit, "", "Transmit indicator",
     true, false},
    {"Label_Rx", "GroupBox_ComPort", 108, 52, 13, 13, Label, "Rx", "", true, false},
    {"Edit_RxIndicator", "GroupBox_ComPort", 132, 48, 21, 21, ReadOnlyEdit, "", "Receive indicator",
     true, false},
    {"Label_Temperature", "GroupBox_MeasurementDataKALMET_RS485", 16, 28, 30, 13, Label, "Temp.",
     "", false, false},
    {"Edit_Temperature", "GroupBox_MeasurementDataKALMET_RS485", 56, 24, 73, 21, ReadOnlyEdit, "",
     "Last reading of average temperature.", false, false},
    {"Label_TemperatureUnit", "GroupBox_MeasurementDataKALMET_RS485", 136, 28, 11, 13, ClickLabel,
     "°C", "", false, false},
    {"Label_Level1", "GroupBox_MeasurementDataKALMET_RS485", 16, 60, 32, 13, Label, "Float 1", "",
     false, false},
    {"Edit_Level1", "GroupBox_MeasurementDataKALMET_RS485", 56, 56, 73, 21, ReadOnlyEdit, "",
     "Last reading of height measured with float 1 (upper float).", false, false},
    {"Label_Float1Unit", "GroupBox_MeasurementDataKALMET_RS485", 136, 60, 16, 13, ClickLabel, "mm",
     "", false, false},
    {"Label_Level2", "GroupBox_MeasurementDataKALMET_RS485", 16, 92, 32, 13, Label, "Float 2", "",
     false, false},
    {"Edit_Level2", "GroupBox_MeasurementDataKALMET_RS485", 56, 88, 73, 21, ReadOnlyEdit, "",
     "Last reading of height measured with float 2 (lower float).", false, false},
    {"Label_Float2Unit", "GroupBox_MeasurementDataKALMET_RS485", 136, 92, 16, 13, ClickLabel, "mm",
     "", false, false},
    {"Label_Address", "GroupBox_ConfigurationDataKALMET_RS485", 16, 28, 38, 13, Label, "Address",
     "", false, false},
    {"SpinEdit_Address", "GroupBox_ConfigurationDataKALMET_RS485", 80, 24, 49, 21, Spin, "192",
     "Address of connected probe.", false, false},
    {"Label_Offset1", "GroupBox_ConfigurationDataKALMET_RS485", 16, 60, 32, 13, Label, "Float 1",
     "", false, false},
    {"Edit_Offset1", "GroupBox_ConfigurationDataKALMET_RS485", 56, 56, 73, 21, Edit, "",
     "Offset for float 1 (upper float). ", false, false},
    {"Label_Offset1Unit", "GroupBox_ConfigurationDataKALMET_RS485", 136, 60, 16, 13, ClickLabel,
     "mm", "", false, false},
    {"Label_Offset2", "GroupBox_ConfigurationDataKALMET_RS485", 16, 92, 32, 13, Label, "Float 2",
     "", false, false},
    {"Edit_Offset2", "GroupBox_ConfigurationDataKALMET_RS485", 56, 88, 73, 21, Edit, "",
     "Offset for float 2 (lower float). ", false, false},
    {"Label_Offset2Unit", "GroupBox_ConfigurationDataKALMET_RS485", 136, 92, 16, 13, ClickLabel,
     "mm", "", false, false},
    {"Label_Level", "GroupBox_MeasurementDataKALMET_C", 16, 28, 26, 13, Label, "Level", "", false,
     false},
    {"Edit_Level", "GroupBox_MeasurementDataKALMET_C", 64, 24, 73, 21, ReadOnlyEdit, "",
     "Last reading of level.", false, false},
    {"Label_LevelUnit", "GroupBox_MeasurementDataKALMET_C", 144, 28, 16, 13, ClickLabel, "mm", "",
     false, false},
    {"Label_Current", "GroupBox_MeasurementDataKALMET_C", 16, 60, 34, 13, Label, "Current", "",
     false, false},
    {"Edit_Current", "GroupBox_MeasurementDataKALMET_C", 64, 56, 73, 21, ReadOnlyEdit, "",
     "Last reading of current.", false, false},
    {"Label_CurrentUnit", "GroupBox_MeasurementDataKALMET_C", 144, 60, 15, 13, ClickLabel, "mA", "",
     false, false},
    {"Label_LevelAt4mA", "GroupBox_ConfigurationDataKALMET_C", 16, 28, 41, 13, Label, " 4 mA @", "",
     false, false},
    {"Edit_LevelAt4mA", "GroupBox_ConfigurationDataKALMET_C", 64, 24, 73, 21, Edit, "",
     "Level at 4 mA point.", false, false},
    {"Label_LevelAt4mAUnit", "GroupBox_ConfigurationDataKALMET_C", 144, 28, 16, 13, ClickLabel,
     "mm", "", false, false},
    {"LabelLevelAt20mA", "GroupBox_ConfigurationDataKALMET_C", 16, 60, 44, 13, Label, "20 mA @", "",
     false, false},
    {"Edit_LevelAt20mA", "GroupBox_ConfigurationDataKALMET_C", 64, 56, 73, 21, Edit, "",
     "Level at 20 mA point.", false, false},
    {"Label_LevelAt20mAUnit", "GroupBox_ConfigurationDataKALMET_C", 144, 60, 16, 13, ClickLabel,
     "mm", "", false, false},
    {"Label_AlarmCurrent", "GroupBox_ConfigurationDataKALMET_C", 16, 92, 63, 13, Label,
     "Alarm Current", "", false, false},
    {"ComboBox_AlarmCurrent", "GroupBox_ConfigurationDataKALMET_C", 88, 88, 65, 21, Combo, "",
     "Alarm current used to signal alarm conditions.", false, false},
    {"LabelUnsupportedOrUnknownMessage", "GroupBox_Information", 24, 32, 311, 20, Label,
     "The connected probe is not supported.", "", false, false},
    {"LabelUnsupportedOrUnknownType", "GroupBox_Information", 24, 56, 252, 20, Label,
     "Unknown or not supported type", "", false, false},
    {"Button_Read", "GroupBox_UserActions", 64, 16, 75, 25, Button, "Read",
     "Push this button to read measurement and configuration data from probe.", false, true},
    {"Button_Write", "GroupBox_UserActions", 224, 16, 75, 25, Button, "Write",
     "Push this button to write configuration data to probe.", false, true},
    {"Label_Status", "GroupBox_UserInformation", 16, 20, 30, 13, Label, "Status", "", false, false},
    {"Edit_Status", "GroupBox_UserInformation", 56, 16, 241, 21, Edit,
     "Please select correct COM port.", "Current status of configuration tool.", false, false},
    {"LabelAbout", "GroupBox_UserInformation", 304, 20, 37, 13, ClickLabel, "About...", "", false,
     false},
};

struct GroupRow {
  const char* Name;
  int X, Y, W, H;
  const char* Caption;
  bool Visible;
  bool Bevelled;
};

inline const GroupRow kGroups[] = {
    {"GroupBox_ProbeData", 8, 8, 177, 89, " Probe Data  ", true, true},
    {"GroupBox_ComPort", 192, 8, 177, 89, " COM Port ", true, true},
    {"GroupBox_MeasurementDataKALMET_RS485", 16, 112, 177, 129, " Measurement Data ", false, true},
    {"GroupBox_ConfigurationDataKALMET_RS485", 193, 112, 177, 129, " Configuration Data ", false,
     true},
    {"GroupBox_MeasurementDataKALMET_C", 8, 104, 177, 129, " Measurement Data ", false, true},
    {"GroupBox_ConfigurationDataKALMET_C", 192, 104, 177, 129, " Configuration Data ", false, true},
    {"GroupBox_Information", 16, 120, 361, 129, " Information ", false, true},
    {"GroupBox_UserActions", 8, 240, 361, 49, " User Actions ", true, true},
    {"GroupBox_UserInformation", 8, 296, 361, 49, " User Information ", true, false},
};

// The controls the Tab key visits, in its order: the groups in their tab
// order, each with its controls in theirs.
inline const std::vector<std::string> kTabChain = {
    "Edit_Level1",       "Edit_Level2",        "Edit_Temperature",       // MR
    "Edit_LevelAt4mA",   "Edit_LevelAt20mA",   "ComboBox_AlarmCurrent",  // CC
    "Edit_SerialNumber", "Edit_VersionNumber",                           // Probe Data
    "ComboBox_ComPort",  "Edit_TxIndicator",   "Edit_RxIndicator",       // COM Port
    "Edit_Status",                                                       // User Info
    "Edit_Offset1",      "Edit_Offset2",       "SpinEdit_Address",       // CR
    "Edit_Current",      "Edit_Level",                                   // MC
    "Button_Read",       "Button_Write",                                 // Actions
};

}  // namespace layout
