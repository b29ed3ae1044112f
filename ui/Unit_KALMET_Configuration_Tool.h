#pragma once

// The main window TForm1: its controls (built from its description,
// Form1Description.cpp, on the toolkit's controls), its
// non-visual parts (the serial port Com, the two line-activity indicators and
// the two protocol timers), the connection state, and the window's handlers:
// start-up and shutdown (this file's .cpp), port selection, the port list
// that follows the machine and a port that goes away (PortSelection.cpp),
// display refresh and units (DisplayRefresh.cpp), configuration editing and
// the Read and Write commands (ConfigurationEditing.cpp).

#include <memory>
#include <string>

#include "probe/ProbeEngine.h"
#include "serial/ComPort.h"
#include "serial/ComSignal.h"
#include "serial/platform/PortWatch.h"
#include "serial/platform/ServerConnect.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Timer.h"

inline constexpr const char* kWindowCaption = "KALMET Configuration";

// The colour of a configuration field changed by the operator.
inline constexpr TColor ModifiedColour = clAqua;

long double MmToInch(long double Value);
long double InchToMm(long double Value);
long double CelsiusToFahrenheit(long double Value);

class TForm1 : public TForm, private IProbeView, private IProbeLink {
 public:
  // Timers: where the protocol timers and the indicators' timers come from
  // (the event loop's by default; tests may pass a virtual clock). Devices:
  // the machine whose serial ports are listed (this one by default).
  explicit TForm1(TTimerFactory* Timers = nullptr, platform::TDeviceRoots Devices = {});
  ~TForm1() override;

  // Controls, by group
  TGroupBox* GroupBox_ProbeData = nullptr;
  TLabel* Label1_SerialNumber = nullptr;
  TEdit* Edit_SerialNumber = nullptr;
  TLabel* Label_VersionNumber = nullptr;
  TEdit* Edit_VersionNumber = nullptr;
  TGroupBox* GroupBox_ComPort = nullptr;
  TComboBox* ComboBox_ComPort = nullptr;
  TLabel* Label_Tx = nullptr;
  TEdit* Edit_TxIndicator = nullptr;
  TLabel* Label_Rx = nullptr;
  TEdit* Edit_RxIndicator = nullptr;
  TGroupBox* GroupBox_MeasurementDataKALMET_RS485 = nullptr;
  TLabel* Label_Temperature = nullptr;
  TEdit* Edit_Temperature = nullptr;
  TLabel* Label_TemperatureUnit = nullptr;
  TLabel* Label_Level1 = nullptr;
  TEdit* Edit_Level1 = nullptr;
  TLabel* Label_Float1Unit = nullptr;
  TLabel* Label_Level2 = nullptr;
  TEdit* Edit_Level2 = nullptr;
  TLabel* Label_Float2Unit = nullptr;
  TGroupBox* GroupBox_ConfigurationDataKALMET_RS485 = nullptr;
  TLabel* Label_Address = nullptr;
  TSpinEdit* SpinEdit_Address = nullptr;
  TLabel* Label_Offset1 = nullptr;
  TEdit* Edit_Offset1 = nullptr;
  TLabel* Label_Offset1Unit = nullptr;
  TLabel* Label_Offset2 = nullptr;
  TEdit* Edit_Offset2 = nullptr;
  TLabel* Label_Offset2Unit = nullptr;
  TGroupBox* GroupBox_MeasurementDataKALMET_C = nullptr;
  TLabel* Label_Level = nullptr;
  TEdit* Edit_Level = nullptr;
  TLabel* Label_LevelUnit = nullptr;
  TLabel* Label_Current = nullptr;
  TEdit* Edit_Current = nullptr;
  TLabel* Label_CurrentUnit = nullptr;
  TGroupBox* GroupBox_ConfigurationDataKALMET_C = nullptr;
  TLabel* Label_LevelAt4mA = nullptr;
  TEdit* Edit_LevelAt4mA = nullptr;
  TLabel* Label_LevelAt4mAUnit = nullptr;
  TLabel* LabelLevelAt20mA = nullptr;
  TEdit* Edit_LevelAt20mA = nullptr;
  TLabel* Label_LevelAt20mAUnit = nullptr;
  TLabel* Label_AlarmCurrent = nullptr;
  TComboBox* ComboBox_AlarmCurrent = nullptr;
  TGroupBox* GroupBox_Information = nullptr;
  TLabel* LabelUnsupportedOrUnknownMessage = nullptr;
  TLabel* LabelUnsupportedOrUnknownType = nullptr;
  TGroupBox* GroupBox_UserActions = nullptr;
  TButton* Button_Read = nullptr;
  TButton* Button_Write = nullptr;
  TGroupBox* GroupBox_UserInformation = nullptr;
  TLabel* Label_Status = nullptr;
  TEdit* Edit_Status = nullptr;
  TLabel* LabelAbout = nullptr;

  // Non-visual parts
  TComPort* Com = nullptr;
  TComSignal* sgnl_TxD = nullptr;
  TComSignal* sgnl_RxD = nullptr;
  TCustomTimer* TimerRequestNext = nullptr;
  TCustomTimer* TimerTimeout = nullptr;

  // The connection state and the protocol engine working on it.
  TConnectionState& State() { return S; }
  TProbeEngine& Engine() { return *FEngine; }

  // Start-up, port selection, shutdown, About
  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender);
  void ComboBox_ComPortChange(TObject* Sender);
  // A port name typed into the selector's edit part (Enter, or leaving it):
  // a network address (rfc2217://HOST:PORT, socket://HOST:PORT) or a device.
  void ComboBox_ComPortTyped(TObject* Sender);
  // Picks the port Name as the technician does, adding it to the list first
  // where the machine does not list it (programs and tests that drive the
  // window).
  void PickPort(const std::string& Name);
  void LabelAboutClick(TObject* Sender);
  // After every close of Com: notices a port that went away under the tool.
  void ComAfterClose(TCustomComPort* Port);

  // Forwarded to the protocol engine
  void ComRxChar(TObject* Sender);
  void TimerRequestNextTimer(TObject* Sender);
  void TimerTimeoutTimer(TObject* Sender);

  // Display refresh and units
  void RefreshDisplay() override;
  void ToggleLengthUnit();
  void ToggleTemperatureUnit();
  void Label_Float1UnitClick(TObject* Sender);
  void Label_Float2UnitClick(TObject* Sender);
  void Label_Offset1UnitClick(TObject* Sender);
  void Label_Offset2UnitClick(TObject* Sender);
  void Label_TemperatureUnitClick(TObject* Sender);

  // Configuration editing and commands
  void SpinEdit_AddressChange(TObject* Sender);
  void Edit_Offset1Change(TObject* Sender);
  void Edit_Offset2Change(TObject* Sender);
  void Edit_LevelAt4mAChange(TObject* Sender);
  void Edit_LevelAt20mAChange(TObject* Sender);
  void ComboBox_AlarmCurrentChange(TObject* Sender);
  void Button_ReadClick(TObject* Sender);
  void Button_WriteClick(TObject* Sender);

  // Background colour of a field (ModifiedColour when marked).
  static TColor FieldColour(const TWinControl* Field) { return Field->Color(); }

 private:
  void FindControls();
  void CreateComponents(TTimerFactory& Timers);
  void ConnectHandlers();
  // Runs a handler as the toolkit does: an exception goes to the application.
  template <typename F>
  void Guarded(F&& Handler);

  // Port selection (PortSelection.cpp). Opens the picked entry as the
  // technician's pick does; Quiet: a failure shows no message box.
  bool OpenPickedPort(bool Quiet);
  void ClosePort();
  void PortNotAvailable(const std::string& Reason, bool Quiet);
  void PortLost();
  // The port list follows the machine (platform::TPortWatch), no polling.
  void FollowPorts();
  void PortsChanged();
  void RefreshPortList();
  void ReconnectLostPort();
  void ReconnectTimerTimer(TObject* Sender);
  void ServerConnectDone(bool Connected);
  void TryLostPortAgainSoon();
  void WatchForLostPort();

  // Editing helpers (ConfigurationEditing.cpp)
  void OffsetChange(TEdit* Field, long double TProbeData::*Value);
  void LevelChange(TEdit* Field, long double TProbeData::*Value);
  void MarkModified(TWinControl* Field);
  bool WaitingForInput() const;
  std::string LengthFormat() const;

  // IProbeView
  void SetStatusText(const std::string& Text) override;
  void SetControlEnabled(TProbeControl Control, bool Enabled) override;
  void RestoreControlColour(TProbeControl Control) override;
  void SetControlHint(TProbeControl Control, const std::string& Hint) override;
  void ShowGroup(TProbeGroup Group, int Left, int Top) override;
  void HideGroup(TProbeGroup Group) override;
  void SetGroupCaption(TProbeGroup Group, const std::string& Caption) override;
  void SetLabelCaption(TProbeLabel Label, const std::string& Caption) override;
  void ShowMessage(const std::string& Text) override;
  TWinControl* ControlOf(TProbeControl Control) const;
  TGroupBox* GroupOf(TProbeGroup Group) const;

  // IProbeLink, on Com
  void PurgeInput() override;
  void WriteString(const std::string& Bytes) override;
  int InputCount() override;
  char ReadChar() override;
  std::chrono::microseconds LastByteAge() override;

  TConnectionState S;
  std::unique_ptr<TProbeEngine> FEngine;
  const platform::TDeviceRoots FDevices;
  std::unique_ptr<platform::TPortWatch> FPortWatch;
  std::unique_ptr<TTimer> FReconnectTimer;  // the next quiet try for a lost port
  std::string FOpenPort;                    // the list entry of the open port
  // The entry of a port that went away while open, until it is back and open
  // again or the technician picks a port.
  std::string FLostPort;
  // The open port is a lost server opened again whose probe has not answered
  // since: quiet (its own complaint may come first, and it may go again).
  bool FReopenedServer = false;
  // A lost server: reaching it off the main thread, and reached.
  std::unique_ptr<platform::TServerConnect> FServerConnect;
  bool FServerConnected = false;
  bool FClosingPort = false;       // the window closes Com itself
  bool FPortFailureShown = false;  // the failure path's message box is open
  // While the refresh writes the 4/20 mA fields, what their handlers raise is
  // dropped instead of reported.
  bool FDiscardHandlerErrors = false;
};

template <typename F>
void TForm1::Guarded(F&& Handler) {
  try {
    Handler();
  } catch (...) {
    if (!FDiscardHandlerErrors) Application().HandleException(std::current_exception());
  }
}
