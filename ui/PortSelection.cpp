// Port selection: opening the port the technician picks or types, the
// failure path with the reason a port is not available, a port that goes away
// under the tool (an unplugged adapter, a stopped server) and its
// reconnection when it comes back, and the port list, which follows the
// ports of the machine.

#include <algorithm>

#include "serial/PortProblem.h"
#include "serial/platform/CommServices.h"
#include "serial/platform/PortEnumeration.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

namespace {

constexpr const char* kNotAvailable = "The selected COM Port is not available!";

}  // namespace

void TForm1::ComboBox_ComPortChange(TObject*) {
  // The technician's choice ends any waiting for a lost port.
  FLostPort.clear();
  FReopenedServer = false;
  FServerConnect.reset();
  FServerConnected = false;
  OpenPickedPort(false);
}

void TForm1::ComboBox_ComPortTyped(TObject*) {
  std::string typed = ComboBox_ComPort->Text();
  typed.erase(0, typed.find_first_not_of(" \t"));
  typed.erase(typed.find_last_not_of(" \t") + 1);
  if (typed.empty() || (S.PortOpen && typed == FOpenPort)) return;
  // Opened as a pick of it. A network address stays in the list, to be
  // picked again (until the list follows a change of the machine's ports);
  // a device name that did not open goes.
  const bool listed = ComboBox_ComPort->IndexOf(typed) >= 0;
  PickPort(typed);
  if (!listed && !S.PortOpen && !platform::network::IsNetworkAddress(typed))
    ComboBox_ComPort->DeleteItem(ComboBox_ComPort->IndexOf(typed));
}

void TForm1::PickPort(const std::string& Name) {
  if (ComboBox_ComPort->IndexOf(Name) < 0) ComboBox_ComPort->AddItem(Name);
  ComboBox_ComPort->SetItemIndex(ComboBox_ComPort->IndexOf(Name));
  ComboBox_ComPortChange(this);
}

bool TForm1::OpenPickedPort(bool Quiet) {
  try {
    ClosePort();
    const int index = ComboBox_ComPort->ItemIndex();
    if (index < 0) throw Exception("No port selected");
    const std::string name = ComboBox_ComPort->Item(index);
    Com->SetDeviceName(DeviceNameOfPort(name));
    Com->SetActive(true);
    FOpenPort = name;
    FEngine->BeginConnection();
    // The first step counts from the opening of the line, not from the end
    // of the window's own work below.
    TimerRequestNext->SetEnabled(true);
    SetCaption(kWindowCaption);
    for (TGroupBox* group :
         {GroupBox_ConfigurationDataKALMET_RS485, GroupBox_ConfigurationDataKALMET_C,
          GroupBox_MeasurementDataKALMET_RS485, GroupBox_MeasurementDataKALMET_C})
      group->SetVisible(false);
    GroupBox_Information->SetEnabled(false);
    GroupBox_Information->SetVisible(false);
    GroupBox_ProbeData->SetCaption(" Probe Data ");
    FEngine->ResetProbeData();
    RefreshDisplay();
    for (TWinControl* w : std::initializer_list<TWinControl*>{Label_Tx, Label_Rx, Edit_TxIndicator,
                                                              Edit_RxIndicator})
      w->SetVisible(true);
    Button_Read->SetEnabled(false);
    return true;
  } catch (const EComError&) {
    PortNotAvailable(PortNotAvailableReason(Com->DeviceName(), platform::LastErrno()), Quiet);
    return false;
  } catch (...) {
    // With no entry picked there is nothing more to say than the first line.
    PortNotAvailable("", Quiet);
    return false;
  }
}

void TForm1::ClosePort() {
  FClosingPort = true;
  struct TEnd {
    bool& Flag;
    ~TEnd() { Flag = false; }
  } end{FClosingPort};
  Com->SetActive(false);
  S.PortOpen = false;
  FOpenPort.clear();
}

void TForm1::PortNotAvailable(const std::string& Reason, bool Quiet) {
  ClosePort();
  // What the technician is typing stays.
  const bool typing = ComboBox_ComPort->BeingTyped();
  if (!typing) ComboBox_ComPort->SetItemIndex(-1);
  if (!Quiet) {
    FPortFailureShown = true;
    struct TEnd {
      bool& Flag;
      ~TEnd() { Flag = false; }
    } end{FPortFailureShown};
    Application().ShowMessage(Reason.empty() ? std::string(kNotAvailable)
                                             : std::string(kNotAvailable) + "\r\n\r\n" + Reason);
  }
  SetStatusText("Please select correct COM port.");
  if (!typing) ComboBox_ComPort->SetText("Select COM Port ...");
  for (TWinControl* w :
       std::initializer_list<TWinControl*>{Label_Tx, Label_Rx, Edit_TxIndicator, Edit_RxIndicator})
    w->SetVisible(false);
}

// --- a port that goes away ----------------------------------------------------------------

void TForm1::ComAfterClose(TCustomComPort*) {
  // Closed under the tool: the event wait failed (an unplugged adapter).
  if (FClosingPort || !S.PortOpen) return;
  PortLost();
}

void TForm1::PortLost() {
  // A server opened again and gone again before its probe answered (one
  // that cannot open its own line closes each connection at once): it was
  // not back after all. Said once; tried again quietly, a second apart.
  const bool again = FReopenedServer;
  FReopenedServer = false;
  FLostPort = FOpenPort;
  TimerRequestNext->SetEnabled(false);
  TimerTimeout->SetEnabled(false);
  PortNotAvailable(PortLostReason(DeviceNameOfPort(FLostPort)), again);
  if (again) {
    TryLostPortAgainSoon();
    return;
  }
  // It may be back already, or come back while nothing watches its place yet.
  ReconnectLostPort();
}

void TForm1::ReconnectLostPort() {
  if (FLostPort.empty() || FPortFailureShown) return;
  // Not under the technician's typing or look through the list: the box
  // would show the lost port.
  if (ComboBox_ComPort->BeingTyped() || ComboBox_ComPort->ListOpen()) {
    TryLostPortAgainSoon();
    return;
  }
  // A server is reached off the main thread first: the window does not wait
  // for a network that does not answer. Once connected, the line is opened
  // on that connection.
  const bool server = platform::network::IsNetworkAddress(FLostPort);
  if (server && !FServerConnected) {
    if (!FServerConnect)
      FServerConnect = std::make_unique<platform::TServerConnect>(
          DeviceNameOfPort(FLostPort),
          [this](bool Connected) { Guarded([this, Connected] { ServerConnectDone(Connected); }); });
    return;
  }
  FServerConnected = false;
  if (platform::PortAccess(DeviceNameOfPort(FLostPort)) == platform::TPortAccess::Missing) {
    WatchForLostPort();
    return;
  }
  if (ComboBox_ComPort->IndexOf(FLostPort) < 0) ComboBox_ComPort->AddItem(FLostPort);
  ComboBox_ComPort->SetItemIndex(ComboBox_ComPort->IndexOf(FLostPort));
  // As the technician's pick of that entry, but quietly while the device is
  // not ready yet: its permissions are still being set, or a program that
  // looks at every new modem holds it for a while. A port that is there but
  // does not open, and a server, have nothing to wait for (the system lists
  // some ports whose device is away, a wireless one, say): each is tried a
  // second apart until it opens or the technician picks another port.
  if (!OpenPickedPort(true)) {
    TryLostPortAgainSoon();
    return;
  }
  FLostPort.clear();
  FReopenedServer = server;
  FPortWatch->StopWatchingFor();
}

void TForm1::ServerConnectDone(bool Connected) {
  // Ends with this call, after the open has taken the connection it made
  // (ending it drops a connection not taken).
  const auto attempt = std::move(FServerConnect);
  if (FLostPort.empty()) return;
  if (!Connected) {
    TryLostPortAgainSoon();
    return;
  }
  FServerConnected = true;
  ReconnectLostPort();
}

void TForm1::TryLostPortAgainSoon() {
  if (!FReconnectTimer->Enabled()) FReconnectTimer->SetEnabled(true);  // a second from now
}

void TForm1::WatchForLostPort() {
  FPortWatch->WatchFor(DeviceNameOfPort(FLostPort));
}

// --- the port list follows the machine ---------------------------------------------------

void TForm1::FollowPorts() {
  FPortWatch = std::make_unique<platform::TPortWatch>(
      FDevices, [this] { Guarded([this] { PortsChanged(); }); });
  FReconnectTimer = std::make_unique<TTimer>(nullptr);
  FReconnectTimer->SetInterval(1000);
  FReconnectTimer->SetEnabled(false);
  FReconnectTimer->SetOnTimer(TNotifyEvent::Of<&TForm1::ReconnectTimerTimer>(this));
}

void TForm1::ReconnectTimerTimer(TObject*) {
  FReconnectTimer->SetEnabled(false);
  Guarded([this] { ReconnectLostPort(); });
}

void TForm1::PortsChanged() {
  RefreshPortList();
  ReconnectLostPort();
}

void TForm1::RefreshPortList() {
  TStringList present;
  Com->ListPorts(present, FDevices);
  const auto listed = [&](const std::string& Name) {
    return std::find(present.Items.begin(), present.Items.end(), Name) != present.Items.end();
  };
  // Gone: every entry but the open port's. The pick and the text stay.
  for (int i = ComboBox_ComPort->ItemCount() - 1; i >= 0; --i) {
    const std::string name = ComboBox_ComPort->Item(i);
    if (!listed(name) && !(S.PortOpen && name == FOpenPort)) ComboBox_ComPort->DeleteItem(i);
  }
  for (const std::string& name : present.Items)
    if (ComboBox_ComPort->IndexOf(name) < 0) ComboBox_ComPort->AddItem(name);
}
