// The main window: construction in the order of its description, the view
// and line the protocol engine works through, and start-up, port selection,
// shutdown and the About box.

#include "ui/Unit_KALMET_Configuration_Tool.h"

#include "serial/platform/CommServices.h"
#include "toolkit/Application.h"
#include "ui/Form1Description.h"

namespace {

// The port selector's list as a string list for ListPorts.
class TComboItems : public TStrings {
 public:
  explicit TComboItems(TComboBox& Combo) : FCombo(Combo) {}
  void Add(const std::string& Text) override { FCombo.AddItem(Text); }

 private:
  TComboBox& FCombo;
};

}  // namespace

// --- construction ---------------------------------------------------------------------

TForm1::TForm1(TTimerFactory* Timers, platform::TDeviceRoots Devices)
    : TForm(nullptr), FDevices(std::move(Devices)) {
  static TRealTimerFactory realTimers;
  BeginLoading();
  Build(Form1Description());
  FindControls();
  CreateComponents(Timers ? *Timers : realTimers);
  FEngine = std::make_unique<TProbeEngine>(S, static_cast<IProbeView&>(*this),
                                           static_cast<IProbeLink&>(*this), *TimerRequestNext,
                                           *TimerTimeout);
  ConnectHandlers();
  EndLoading();
  Guarded([this] { FormCreate(this); });
}

TForm1::~TForm1() {
  // The components (the port, its indicators, the timers) go first, while the
  // controls they work on are still there. The port closes on purpose.
  FClosingPort = true;
  FPortWatch.reset();
  FReconnectTimer.reset();
  DestroyComponents();
}

void TForm1::FindControls() {
  const auto find = [this]<typename T>(T*& Member, const char* Name) { Member = Control<T>(Name); };
  find(GroupBox_ProbeData, "GroupBox_ProbeData");
  find(Label1_SerialNumber, "Label1_SerialNumber");
  find(Edit_SerialNumber, "Edit_SerialNumber");
  find(Label_VersionNumber, "Label_VersionNumber");
  find(Edit_VersionNumber, "Edit_VersionNumber");
  find(GroupBox_ComPort, "GroupBox_ComPort");
  find(ComboBox_ComPort, "ComboBox_ComPort");
  find(Label_Tx, "Label_Tx");
  find(Edit_TxIndicator, "Edit_TxIndicator");
  find(Label_Rx, "Label_Rx");
  find(Edit_RxIndicator, "Edit_RxIndicator");
  find(GroupBox_MeasurementDataKALMET_RS485, "GroupBox_MeasurementDataKALMET_RS485");
  find(Label_Temperature, "Label_Temperature");
  find(Edit_Temperature, "Edit_Temperature");
  find(Label_TemperatureUnit, "Label_TemperatureUnit");
  find(Label_Level1, "Label_Level1");
  find(Edit_Level1, "Edit_Level1");
  find(Label_Float1Unit, "Label_Float1Unit");
  find(Label_Level2, "Label_Level2");
  find(Edit_Level2, "Edit_Level2");
  find(Label_Float2Unit, "Label_Float2Unit");
  find(GroupBox_ConfigurationDataKALMET_RS485, "GroupBox_ConfigurationDataKALMET_RS485");
  find(Label_Address, "Label_Address");
  find(SpinEdit_Address, "SpinEdit_Address");
  find(Label_Offset1, "Label_Offset1");
  find(Edit_Offset1, "Edit_Offset1");
  find(Label_Offset1Unit, "Label_Offset1Unit");
  find(Label_Offset2, "Label_Offset2");
  find(Edit_Offset2, "Edit_Offset2");
  find(Label_Offset2Unit, "Label_Offset2Unit");
  find(GroupBox_MeasurementDataKALMET_C, "GroupBox_MeasurementDataKALMET_C");
  find(Label_Level, "Label_Level");
  find(Edit_Level, "Edit_Level");
  find(Label_LevelUnit, "Label_LevelUnit");
  find(Label_Current, "Label_Current");
  find(Edit_Current, "Edit_Current");
  find(Label_CurrentUnit, "Label_CurrentUnit");
  find(GroupBox_ConfigurationDataKALMET_C, "GroupBox_ConfigurationDataKALMET_C");
  find(Label_LevelAt4mA, "Label_LevelAt4mA");
  find(Edit_LevelAt4mA, "Edit_LevelAt4mA");
  find(Label_LevelAt4mAUnit, "Label_LevelAt4mAUnit");
  find(LabelLevelAt20mA, "LabelLevelAt20mA");
  find(Edit_LevelAt20mA, "Edit_LevelAt20mA");
  find(Label_LevelAt20mAUnit, "Label_LevelAt20mAUnit");
  find(Label_AlarmCurrent, "Label_AlarmCurrent");
  find(ComboBox_AlarmCurrent, "ComboBox_AlarmCurrent");
  find(GroupBox_Information, "GroupBox_Information");
  find(LabelUnsupportedOrUnknownMessage, "LabelUnsupportedOrUnknownMessage");
  find(LabelUnsupportedOrUnknownType, "LabelUnsupportedOrUnknownType");
  find(GroupBox_UserActions, "GroupBox_UserActions");
  find(Button_Read, "Button_Read");
  find(Button_Write, "Button_Write");
  find(GroupBox_UserInformation, "GroupBox_UserInformation");
  find(Label_Status, "Label_Status");
  find(Edit_Status, "Edit_Status");
  find(LabelAbout, "LabelAbout");
}

void TForm1::CreateComponents(TTimerFactory& Timers) {
  // As the window's description creates them, all in loading state; their
  // loaded notifications follow in this order.
  Com = new TComPort(this);
  Com->SetName("Com");
  Com->SetActive(false);
  Com->SetDeviceName("COM1");
  Com->SetBaudRate(br1200);
  Com->SetDataBits(db8);
  Com->SetParity(paNone);
  Com->SetStopBits(sb1);
  Com->FlowControl().SetDTR(dcDisable);
  Com->FlowControl().SetRTS(rcDisable);
  Com->FlowControl().SetXOnXOff(xcDisable);
  Com->SetPriorityClass(pcHigh);
  Com->SetOnRxChar(TNotifyEvent::Of<&TForm1::ComRxChar>(this));
  // Before the indicators hook in: they pass the call on.
  Com->AfterClose = TOpenCloseEvent::Of<&TForm1::ComAfterClose>(this);

  sgnl_TxD = new TComSignal(this, &Timers);
  sgnl_TxD->SetName("sgnl_TxD");
  sgnl_TxD->SetComPort(Com);
  sgnl_TxD->SetSignal(siTxChar);
  sgnl_TxD->SetControl(Edit_TxIndicator);
  sgnl_TxD->SetDelay(100);

  sgnl_RxD = new TComSignal(this, &Timers);
  sgnl_RxD->SetName("sgnl_RxD");
  sgnl_RxD->SetComPort(Com);
  sgnl_RxD->SetSignal(siRxChar);
  sgnl_RxD->SetControl(Edit_RxIndicator);
  sgnl_RxD->SetDelay(100);

  TimerRequestNext = Timers.CreateTimer(this);
  TimerRequestNext->SetName("TimerRequestNext");
  TimerRequestNext->SetEnabled(false);
  TimerRequestNext->SetInterval(kRequestPause);
  TimerRequestNext->SetOnTimer(TNotifyEvent::Of<&TForm1::TimerRequestNextTimer>(this));

  TimerTimeout = Timers.CreateTimer(this);
  TimerTimeout->SetName("TimerTimeout");
  TimerTimeout->SetEnabled(false);
  TimerTimeout->SetInterval(kDefaultReplyTimeout);
  TimerTimeout->SetOnTimer(TNotifyEvent::Of<&TForm1::TimerTimeoutTimer>(this));
}

void TForm1::ConnectHandlers() {
  const auto on = [this](auto Handler) {
    return [this, Handler] { Guarded([=, this] { (this->*Handler)(this); }); };
  };
  OnClose = on(&TForm1::FormClose);
  ComboBox_ComPort->OnChange = on(&TForm1::ComboBox_ComPortChange);
  ComboBox_ComPort->OnTyped = on(&TForm1::ComboBox_ComPortTyped);
  SpinEdit_Address->OnChange = on(&TForm1::SpinEdit_AddressChange);
  Edit_Offset1->OnChange = on(&TForm1::Edit_Offset1Change);
  Edit_Offset2->OnChange = on(&TForm1::Edit_Offset2Change);
  Edit_LevelAt4mA->OnChange = on(&TForm1::Edit_LevelAt4mAChange);
  Edit_LevelAt20mA->OnChange = on(&TForm1::Edit_LevelAt20mAChange);
  ComboBox_AlarmCurrent->OnChange = on(&TForm1::ComboBox_AlarmCurrentChange);
  Button_Read->OnClick = on(&TForm1::Button_ReadClick);
  Button_Write->OnClick = on(&TForm1::Button_WriteClick);
  Label_Float1Unit->OnClick = on(&TForm1::Label_Float1UnitClick);
  Label_Float2Unit->OnClick = on(&TForm1::Label_Float2UnitClick);
  Label_Offset1Unit->OnClick = on(&TForm1::Label_Offset1UnitClick);
  for (TLabel* label : {Label_Offset2Unit, Label_LevelAt4mAUnit, Label_LevelAt20mAUnit,
                        Label_CurrentUnit, Label_LevelUnit})
    label->OnClick = on(&TForm1::Label_Offset2UnitClick);
  Label_TemperatureUnit->OnClick = on(&TForm1::Label_TemperatureUnitClick);
  LabelAbout->OnClick = on(&TForm1::LabelAboutClick);
}

// --- forwarded to the protocol engine ----------------------------------------------------

void TForm1::ComRxChar(TObject* Sender) {
  FEngine->ComRxChar(Sender);
  if (S.ProbeFound) FReopenedServer = false;
}
void TForm1::TimerRequestNextTimer(TObject* Sender) {
  FEngine->TimerRequestNextTimer(Sender);
}
void TForm1::TimerTimeoutTimer(TObject* Sender) {
  FEngine->TimerTimeoutTimer(Sender);
}

// --- start-up, port selection, shutdown ------------------------------------------------------

void TForm1::FormCreate(TObject*) {
  SetCaption(kWindowCaption);
  TComboItems items(*ComboBox_ComPort);
  Com->ListPorts(items, FDevices);
  ComboBox_ComPort->SetItemIndex(-1);
  FollowPorts();
  S.UnitSwitching = false;
  S.InchUnits = false;
  S.FahrenheitUnits = false;
  SpinEdit_Address->SetValue(192);
  S.PortOpen = false;
  S.ResetConnection();
  S.SearchRetries = kSearchRetries;
  S.FineResolution = true;
  SetStatusText("Please select correct COM port.");
}

void TForm1::FormClose(TObject*) {
  if (IsCurrentLoopProbe(S.ProbeType) && Com->Active()) FEngine->Send(rqReleaseLoop);
  ClosePort();
}

void TForm1::LabelAboutClick(TObject*) {
  Application().ShowMessage(
      "KALMET Configuration Version: 1.0.13.255\r\n"
      "Made by the KALMET Configuration Tool developers for service technicians.");
}

// --- the view the protocol engine works through --------------------------------------------

TWinControl* TForm1::ControlOf(TProbeControl Control) const {
  switch (Control) {
    case TProbeControl::SpinEdit_Address:
      return SpinEdit_Address;
    case TProbeControl::Edit_Offset1:
      return Edit_Offset1;
    case TProbeControl::Edit_Offset2:
      return Edit_Offset2;
    case TProbeControl::Edit_LevelAt4mA:
      return Edit_LevelAt4mA;
    case TProbeControl::Edit_LevelAt20mA:
      return Edit_LevelAt20mA;
    case TProbeControl::ComboBox_AlarmCurrent:
      return ComboBox_AlarmCurrent;
    case TProbeControl::Button_Read:
      return Button_Read;
    case TProbeControl::Button_Write:
      return Button_Write;
  }
  return nullptr;
}

TGroupBox* TForm1::GroupOf(TProbeGroup Group) const {
  switch (Group) {
    case TProbeGroup::GroupBox_ProbeData:
      return GroupBox_ProbeData;
    case TProbeGroup::GroupBox_MeasurementDataKALMET_C:
      return GroupBox_MeasurementDataKALMET_C;
    case TProbeGroup::GroupBox_ConfigurationDataKALMET_C:
      return GroupBox_ConfigurationDataKALMET_C;
    case TProbeGroup::GroupBox_MeasurementDataKALMET_RS485:
      return GroupBox_MeasurementDataKALMET_RS485;
    case TProbeGroup::GroupBox_ConfigurationDataKALMET_RS485:
      return GroupBox_ConfigurationDataKALMET_RS485;
    case TProbeGroup::GroupBox_Information:
      return GroupBox_Information;
  }
  return nullptr;
}

void TForm1::SetStatusText(const std::string& Text) {
  Edit_Status->SetText(Text);
}

void TForm1::SetControlEnabled(TProbeControl Control, bool Enabled) {
  ControlOf(Control)->SetEnabled(Enabled);
}

void TForm1::RestoreControlColour(TProbeControl Control) {
  ControlOf(Control)->SetColor(clDefault);
}

void TForm1::SetControlHint(TProbeControl Control, const std::string& Hint) {
  ControlOf(Control)->SetHint(Hint);
}

void TForm1::ShowGroup(TProbeGroup Group, int Left, int Top) {
  TGroupBox* group = GroupOf(Group);
  group->SetPosition(Left, Top);
  group->SetEnabled(true);
  group->SetVisible(true);
}

void TForm1::HideGroup(TProbeGroup Group) {
  TGroupBox* group = GroupOf(Group);
  group->SetEnabled(false);
  group->SetVisible(false);
}

void TForm1::SetGroupCaption(TProbeGroup Group, const std::string& Caption) {
  GroupOf(Group)->SetCaption(Caption);
}

void TForm1::SetLabelCaption(TProbeLabel Label, const std::string& Caption) {
  (Label == TProbeLabel::LabelUnsupportedOrUnknownMessage ? LabelUnsupportedOrUnknownMessage
                                                          : LabelUnsupportedOrUnknownType)
      ->SetCaption(Caption);
}

void TForm1::ShowMessage(const std::string& Text) {
  // The engine's messages. A server opened again by the reconnection is
  // quiet until its probe has answered: what comes before may be the
  // server's own complaint (it cannot open its line).
  if (FReopenedServer) return;
  Application().ShowMessage(Text);
}

// --- the line, on Com ------------------------------------------------------------------------

void TForm1::PurgeInput() {
  Com->PurgeInput();
}
// A line gone under a write or a look at its input (an adapter unplugged, a
// connection the server closed) is reported once, by the lost-port path,
// when the event thread's wait ends with it.
static bool LineGone(const EComError& Error) {
  return platform::IsLostDevice(static_cast<platform::DWORD>(Error.ErrorCode()));
}
void TForm1::WriteString(const std::string& Bytes) {
  try {
    Com->WriteString(Bytes);
  } catch (const EComError& e) {
    if (!LineGone(e)) throw;
  }
}
int TForm1::InputCount() {
  try {
    return Com->InputCount();
  } catch (const EComError& e) {
    if (!LineGone(e)) throw;
    return 0;
  }
}
char TForm1::ReadChar() {
  return Com->ReadChar();
}
std::chrono::microseconds TForm1::LastByteAge() {
  return Com->LastByteAge();
}
