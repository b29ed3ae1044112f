// Port selection: opening the port the technician picks, the failure path
// with the reason a port is not available, a port that goes away under the
// tool (an unplugged adapter) and its reconnection when it comes back, and
// the port list, which follows the ports of the machine.

#include <sys/stat.h>

#include <QFileSystemWatcher>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "serial/PortProblem.h"
#include "serial/platform/CommServices.h"
#include "serial/platform/PortEnumeration.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

namespace {

QString Q(const std::string& Text) {
  return QString::fromStdString(Text);
}

constexpr const char* kNotAvailable = "The selected COM Port is not available!";
constexpr int kReconnectTries = 10;

}  // namespace

void TForm1::ComboBox_ComPortChange(TObject*) {
  // The technician's choice ends any waiting for a lost port.
  FLostPort.clear();
  OpenPickedPort(false);
}

bool TForm1::OpenPickedPort(bool Quiet) {
  try {
    ClosePort();
    const int index = ComboBox_ComPort->currentIndex();
    if (index < 0) throw Exception("No port selected");
    const std::string name = ComboBox_ComPort->itemText(index).toStdString();
    Com->SetDeviceName(DeviceNameOfPort(name));
    Com->SetActive(true);
    FOpenPort = name;
    FEngine->BeginConnection();
    // The first step counts from the opening of the line, not from the end
    // of the window's own work below.
    TimerRequestNext->SetEnabled(true);
    setWindowTitle(kWindowCaption);
    for (QGroupBox* group : {static_cast<QGroupBox*>(GroupBox_ConfigurationDataKALMET_RS485),
                             static_cast<QGroupBox*>(GroupBox_ConfigurationDataKALMET_C),
                             static_cast<QGroupBox*>(GroupBox_MeasurementDataKALMET_RS485),
                             static_cast<QGroupBox*>(GroupBox_MeasurementDataKALMET_C)})
      group->setVisible(false);
    GroupBox_Information->setEnabled(false);
    GroupBox_Information->setVisible(false);
    GroupBox_ProbeData->setTitle(QStringLiteral(" Probe Data "));
    FEngine->ResetProbeData();
    RefreshDisplay();
    for (QWidget* w :
         {static_cast<QWidget*>(Label_Tx), static_cast<QWidget*>(Label_Rx),
          static_cast<QWidget*>(Edit_TxIndicator), static_cast<QWidget*>(Edit_RxIndicator)})
      w->setVisible(true);
    Button_Read->setEnabled(false);
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
  ComboBox_ComPort->setCurrentIndex(-1);
  if (!Quiet) {
    FPortFailureShown = true;
    struct TEnd {
      bool& Flag;
      ~TEnd() { Flag = false; }
    } end{FPortFailureShown};
    ShowMessage(Reason.empty() ? std::string(kNotAvailable)
                               : std::string(kNotAvailable) + "\r\n\r\n" + Reason);
  }
  SetStatusText("Please select correct COM port.");
  ComboBox_ComPort->SetText(QStringLiteral("Select COM Port ..."));
  for (QWidget* w :
       {static_cast<QWidget*>(Label_Tx), static_cast<QWidget*>(Label_Rx),
        static_cast<QWidget*>(Edit_TxIndicator), static_cast<QWidget*>(Edit_RxIndicator)})
    w->setVisible(false);
}

// --- a port that goes away ----------------------------------------------------------------

void TForm1::ComAfterClose(TCustomComPort*) {
  // Closed under the tool: the event wait failed (an unplugged adapter).
  if (FClosingPort || !S.PortOpen) return;
  PortLost();
}

void TForm1::PortLost() {
  FLostPort = FOpenPort;
  FReconnectTries = 0;
  TimerRequestNext->SetEnabled(false);
  TimerTimeout->SetEnabled(false);
  PortNotAvailable(kPortUnpluggedReason, false);
  // It may be back already, or come back while nothing watches its place yet.
  ReconnectLostPort();
}

void TForm1::ReconnectLostPort() {
  if (FLostPort.empty() || FPortFailureShown) return;
  if (platform::PortAccess(DeviceNameOfPort(FLostPort)) == platform::TPortAccess::Missing) {
    WatchForLostPort();
    return;
  }
  if (ComboBox_ComPort->findText(Q(FLostPort)) < 0) ComboBox_ComPort->AddItem(Q(FLostPort));
  ComboBox_ComPort->setCurrentIndex(ComboBox_ComPort->findText(Q(FLostPort)));
  // As the technician's pick of that entry, but quietly while the device is
  // not ready yet: its permissions are still being set (the next change in
  // its folder tries again), or a program that looks at every new modem
  // holds it for a while (tried again a few times, a second apart).
  if (!OpenPickedPort(true)) {
    if (++FReconnectTries <= kReconnectTries && !FReconnectDue) {
      FReconnectDue = true;
      QTimer::singleShot(1000, this, [this] {
        FReconnectDue = false;
        Guarded([this] { ReconnectLostPort(); });
      });
    }
    return;
  }
  FLostPort.clear();
  for (const QString& dir : FPortWatcher->directories())
    if (dir != Q(FDevices.Dev) && dir != Q(FDevices.User)) FPortWatcher->removePath(dir);
}

void TForm1::WatchForLostPort() {
  // The nearest folder of the device's path that exists: a link such as
  // /dev/serial/by-id/... comes back one folder after the other.
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::path(platform::DevicePathOf(DeviceNameOfPort(FLostPort))).parent_path();
  while (!dir.empty() && !fs::is_directory(dir, ec) && dir != dir.root_path())
    dir = dir.parent_path();
  if (!dir.empty() && !FPortWatcher->directories().contains(Q(dir.string())))
    FPortWatcher->addPath(Q(dir.string()));
}

// --- the port list follows the machine ---------------------------------------------------

void TForm1::FollowPorts() {
  FPortWatcher = std::make_unique<QFileSystemWatcher>();
  FPortWatcher->addPath(Q(FDevices.Dev));
  // The user's own folder of virtual ports, made (for this user alone) so
  // that it can be watched.
  ::mkdir(FDevices.User.c_str(), 0700);
  if (platform::IsOwnFolder(FDevices.User)) FPortWatcher->addPath(Q(FDevices.User));
  QObject::connect(FPortWatcher.get(), &QFileSystemWatcher::directoryChanged, this,
                   [this] { Guarded([this] { PortsChanged(); }); });
}

void TForm1::PortsChanged() {
  RefreshPortList();
  ReconnectLostPort();
}

void TForm1::RefreshPortList() {
  TStringList present;
  Com->ListPorts(present, FDevices);
  const auto listed = [&](const QString& Name) {
    return std::find(present.Items.begin(), present.Items.end(), Name.toStdString()) !=
           present.Items.end();
  };
  // Gone: every entry but the open port's. The pick and the text stay.
  const QSignalBlocker quiet(ComboBox_ComPort);
  for (int i = ComboBox_ComPort->count() - 1; i >= 0; --i) {
    const QString name = ComboBox_ComPort->itemText(i);
    if (!listed(name) && !(S.PortOpen && name.toStdString() == FOpenPort))
      ComboBox_ComPort->removeItem(i);
  }
  for (const std::string& name : present.Items)
    if (ComboBox_ComPort->findText(Q(name)) < 0) ComboBox_ComPort->AddItem(Q(name));
}
