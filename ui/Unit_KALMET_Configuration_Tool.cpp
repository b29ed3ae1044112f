// The main window: construction in the order of its description, the view
// and line the protocol engine works through, and start-up, port selection,
// shutdown and the About box.

#include "ui/Unit_KALMET_Configuration_Tool.h"

#include <QCloseEvent>
#include <QFileSystemWatcher>
#include <QScreen>
#include <algorithm>

#include "toolkit/Application.h"
#include "toolkit/qt/WidgetControl.h"
#include "ui/KALMET_Configuration_Tool.xpm"

namespace {

QString Q(const std::string& Text) {
  return QString::fromStdString(Text);
}

// CR LF in hints and messages breaks the line.
QString Multiline(const std::string& Text) {
  QString text = Q(Text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// The port selector's list as a string list for ListPorts.
class TComboItems : public TStrings {
 public:
  explicit TComboItems(TComboBox& Combo) : FCombo(Combo) {}
  void Add(const std::string& Text) override { FCombo.AddItem(Q(Text)); }

 private:
  TComboBox& FCombo;
};

}  // namespace

void SetText(QLineEdit* Edit, const std::string& Text) {
  const QString text = Q(Text);
  if (Edit->text() != text) Edit->setText(text);
}

std::string TextOf(const QLineEdit* Edit) {
  return Edit->text().toStdString();
}

void FitCaption(QLabel* Label) {
  const QSize design = Label->property("designSize").toSize();
  if (Label->wordWrap()) {
    // As wide as its group lets it be, as high as its lines need.
    const int width = Label->parentWidget()->width() - 8 - Label->x();
    Label->resize(width, std::max(design.height(), Label->heightForWidth(width)));
    return;
  }
  Label->resize(Label->sizeHint().expandedTo(design));
}

void SetCaption(QLabel* Label, const std::string& Caption) {
  Label->setText(Q(Caption));
  FitCaption(Label);
}

// --- construction ---------------------------------------------------------------------

TForm1::TForm1(TTimerFactory* Timers, platform::TDeviceRoots Devices, QWidget* Parent)
    : QWidget(Parent), TComponent(nullptr), FDevices(std::move(Devices)) {
  static TRealTimerFactory realTimers;
  setObjectName(QStringLiteral("Form1"));
  BeginLoading();
  setupUi(this);
  ApplyLookAndFeel();
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
  // widgets they work on are still there. The port closes on purpose.
  FClosingPort = true;
  DestroyComponents();
}

void TForm1::ApplyLookAndFeel() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(377, 353);
  setWindowIcon(QIcon(QPixmap(KALMET_Configuration_Tool_xpm)));
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, kInactiveCaptionColour);
  setPalette(p);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(11);
  setFont(font);
  for (QLabel* info : {LabelUnsupportedOrUnknownMessage, LabelUnsupportedOrUnknownType}) {
    QFont big = font;
    big.setPixelSize(16);
    big.setBold(true);
    info->setFont(big);
    QPalette red = info->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    info->setPalette(red);
  }
  QFont underlined = font;
  underlined.setUnderline(true);
  LabelAbout->setFont(underlined);
  LabelAbout->setCursor(Qt::PointingHandCursor);
  // Labels grow to their caption in the font they show it in; what they
  // show, a probe's type name among it, is plain text, never markup.
  for (QLabel* label : findChildren<QLabel*>()) {
    label->setTextFormat(Qt::PlainText);
    label->setProperty("designSize", label->size());
    FitCaption(label);
  }
  // A long type name after "Probe type: " goes on to a second line.
  LabelUnsupportedOrUnknownType->setWordWrap(true);
  // The firmware text takes the room its group has.
  Edit_VersionNumber->resize(
      Edit_VersionNumber->parentWidget()->width() - 6 - Edit_VersionNumber->x(),
      Edit_VersionNumber->height());
  // The alarm-current items need more than the designed width in this font:
  // the box grows to the right, within its group.
  const int room = ComboBox_AlarmCurrent->parentWidget()->width() - 6 - ComboBox_AlarmCurrent->x();
  ComboBox_AlarmCurrent->resize(
      std::clamp(ComboBox_AlarmCurrent->sizeHint().width(), ComboBox_AlarmCurrent->width(), room),
      ComboBox_AlarmCurrent->height());
  ComboBox_AlarmCurrent->setCurrentIndex(-1);
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

  FTxIndicator = new TWidgetControl(this, Edit_TxIndicator);
  FRxIndicator = new TWidgetControl(this, Edit_RxIndicator);

  sgnl_TxD = new TComSignal(this, &Timers);
  sgnl_TxD->SetName("sgnl_TxD");
  sgnl_TxD->SetComPort(Com);
  sgnl_TxD->SetSignal(siTxChar);
  sgnl_TxD->SetControl(FTxIndicator);
  sgnl_TxD->SetDelay(100);

  sgnl_RxD = new TComSignal(this, &Timers);
  sgnl_RxD->SetName("sgnl_RxD");
  sgnl_RxD->SetComPort(Com);
  sgnl_RxD->SetSignal(siRxChar);
  sgnl_RxD->SetControl(FRxIndicator);
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
  connect(ComboBox_ComPort, &QComboBox::activated, this, on(&TForm1::ComboBox_ComPortChange));
  connect(SpinEdit_Address, &QSpinBox::valueChanged, this, on(&TForm1::SpinEdit_AddressChange));
  connect(Edit_Offset1, &QLineEdit::textChanged, this, on(&TForm1::Edit_Offset1Change));
  connect(Edit_Offset2, &QLineEdit::textChanged, this, on(&TForm1::Edit_Offset2Change));
  connect(Edit_LevelAt4mA, &QLineEdit::textChanged, this, on(&TForm1::Edit_LevelAt4mAChange));
  connect(Edit_LevelAt20mA, &QLineEdit::textChanged, this, on(&TForm1::Edit_LevelAt20mAChange));
  connect(ComboBox_AlarmCurrent, &QComboBox::activated, this,
          on(&TForm1::ComboBox_AlarmCurrentChange));
  connect(Button_Read, &QPushButton::clicked, this, on(&TForm1::Button_ReadClick));
  connect(Button_Write, &QPushButton::clicked, this, on(&TForm1::Button_WriteClick));
  Label_Float1Unit->OnClick = on(&TForm1::Label_Float1UnitClick);
  Label_Float2Unit->OnClick = on(&TForm1::Label_Float2UnitClick);
  Label_Offset1Unit->OnClick = on(&TForm1::Label_Offset1UnitClick);
  for (TClickLabel* label : {Label_Offset2Unit, Label_LevelAt4mAUnit, Label_LevelAt20mAUnit,
                             Label_CurrentUnit, Label_LevelUnit})
    label->OnClick = on(&TForm1::Label_Offset2UnitClick);
  Label_TemperatureUnit->OnClick = on(&TForm1::Label_TemperatureUnitClick);
  LabelAbout->OnClick = on(&TForm1::LabelAboutClick);
}

void TForm1::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  if (FCentred) return;
  FCentred = true;
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
}

void TForm1::closeEvent(QCloseEvent* Event) {
  Guarded([this] { FormClose(this); });
  Event->accept();
}

// --- forwarded to the protocol engine ----------------------------------------------------

void TForm1::ComRxChar(TObject* Sender) {
  FEngine->ComRxChar(Sender);
}
void TForm1::TimerRequestNextTimer(TObject* Sender) {
  FEngine->TimerRequestNextTimer(Sender);
}
void TForm1::TimerTimeoutTimer(TObject* Sender) {
  FEngine->TimerTimeoutTimer(Sender);
}

// --- start-up, port selection, shutdown ------------------------------------------------------

void TForm1::FormCreate(TObject*) {
  setWindowTitle(kWindowCaption);
  TComboItems items(*ComboBox_ComPort);
  Com->ListPorts(items, FDevices);
  ComboBox_ComPort->setCurrentIndex(-1);
  FollowPorts();
  S.UnitSwitching = false;
  S.InchUnits = false;
  S.FahrenheitUnits = false;
  SpinEdit_Address->setValue(192);
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
  ShowMessage(
      "KALMET Configuration Version: 1.0.13.255\r\n"
      "Made by the KALMET Configuration Tool developers for service technicians.");
}

// --- the view the protocol engine works through --------------------------------------------

QWidget* TForm1::ControlOf(TProbeControl Control) const {
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

QGroupBox* TForm1::GroupOf(TProbeGroup Group) const {
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
  SetText(Edit_Status, Text);
}

void TForm1::SetControlEnabled(TProbeControl Control, bool Enabled) {
  ControlOf(Control)->setEnabled(Enabled);
}

void TForm1::RestoreControlColour(TProbeControl Control) {
  QWidget* field = ControlOf(Control);
  QPalette p = field->palette();
  p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
  p.setColor(QPalette::Button, QApplication::palette().color(QPalette::Button));
  field->setPalette(p);
}

QColor TForm1::FieldColour(const QWidget* Field) {
  return Field->palette().color(QPalette::Base);
}

void TForm1::SetControlHint(TProbeControl Control, const std::string& Hint) {
  ControlOf(Control)->setToolTip(Multiline(Hint));
}

void TForm1::ShowGroup(TProbeGroup Group, int Left, int Top) {
  QGroupBox* group = GroupOf(Group);
  group->move(Left, Top);
  group->setEnabled(true);
  group->setVisible(true);
}

void TForm1::HideGroup(TProbeGroup Group) {
  QGroupBox* group = GroupOf(Group);
  group->setEnabled(false);
  group->setVisible(false);
}

void TForm1::SetGroupCaption(TProbeGroup Group, const std::string& Caption) {
  GroupOf(Group)->setTitle(Q(Caption));
}

void TForm1::SetLabelCaption(TProbeLabel Label, const std::string& Caption) {
  SetCaption(Label == TProbeLabel::LabelUnsupportedOrUnknownMessage
                 ? LabelUnsupportedOrUnknownMessage
                 : LabelUnsupportedOrUnknownType,
             Caption);
}

void TForm1::ShowMessage(const std::string& Text) {
  Application().ShowMessage(Text);
}

// --- the line, on Com ------------------------------------------------------------------------

void TForm1::PurgeInput() {
  Com->PurgeInput();
}
void TForm1::WriteString(const std::string& Bytes) {
  Com->WriteString(Bytes);
}
int TForm1::InputCount() {
  return Com->InputCount();
}
char TForm1::ReadChar() {
  return Com->ReadChar();
}
std::chrono::microseconds TForm1::LastByteAge() {
  return Com->LastByteAge();
}
