// The toolkit's controls on Qt Widgets: each peer holds its widget, builds it
// from the description (look included: fonts, colours, sizes) and passes on
// what the user does. One small class per kind of control, hence the length.

#include "toolkit/qt/ControlPeer.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "toolkit/ControlPeer.h"
#include "toolkit/qt/Widgets.h"

namespace {

QString Q(const std::string& Text) {
  return QString::fromStdString(Text);
}

// CR LF in hints breaks the line.
QString Multiline(const std::string& Text) {
  QString text = Q(Text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QColor Resolved(TColor Color, QPalette::ColorRole Role) {
  if (Color == clInactiveCaption) return kInactiveCaptionColour;
  if (IsSystemColor(Color)) return QApplication::palette().color(Role);
  return ToQColor(Color);
}

// The window font: the form's face stands in for one Linux does not have.
QFont WindowFont(const TFormDescription& D) {
  const QString face = std::string_view(D.FontName) == "MS Sans Serif"
                           ? QStringLiteral("Liberation Sans")
                           : QString::fromUtf8(D.FontName);
  QFont font(face);
  font.setPixelSize(D.FontPixelHeight);
  return font;
}

class TWidgetPeer : public virtual TControlPeer {
 public:
  explicit TWidgetPeer(QWidget* Widget) : FWidget(Widget) {}
  QWidget* Widget() const { return FWidget; }

  TBounds Bounds() const override {
    const QRect g = FWidget->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
  }
  void SetBounds(const TBounds& B) override {
    FWidget->setGeometry(B.Left, B.Top, B.Width, B.Height);
  }
  bool Visible() const override { return !FWidget->isHidden(); }
  void SetVisible(bool Value) override { FWidget->setVisible(Value); }
  // Its own state, whatever its parent's.
  bool Enabled() const override { return !FWidget->testAttribute(Qt::WA_ForceDisabled); }
  void SetEnabled(bool Value) override { FWidget->setEnabled(Value); }
  std::string Hint() const override { return FHint; }
  void SetHint(const std::string& Value) override {
    FHint = Value;
    FWidget->setToolTip(Multiline(Value));
  }
  void SetColor(TColor Value) override {
    QPalette p = FWidget->palette();
    p.setColor(QPalette::Base, Resolved(Value, QPalette::Base));
    p.setColor(QPalette::Button, Resolved(Value, QPalette::Button));
    FWidget->setPalette(p);
  }

 protected:
  // Deleted with its parent widget; the form's peer deletes the window.
  QPointer<QWidget> FWidget;
  std::string FHint;
};

// --- form -------------------------------------------------------------------------------

class TFormWidget : public QWidget {
 public:
  explicit TFormWidget(TForm& Form) : FForm(Form) {}

 protected:
  void showEvent(QShowEvent* Event) override {
    QWidget::showEvent(Event);
    if (FCentred) return;
    FCentred = true;
    if (const QScreen* screen = this->screen())
      move(screen->availableGeometry().center() - rect().center());
  }
  void closeEvent(QCloseEvent* Event) override {
    FForm.PeerClosing();
    Event->accept();
  }

 private:
  TForm& FForm;
  bool FCentred = false;
};

class TFormWidgetPeer : public TWidgetPeer, public TFormPeer {
 public:
  TFormWidgetPeer(TForm& Form, const TFormDescription& D) : TWidgetPeer(new TFormWidget(Form)) {
    QWidget* w = FWidget;
    w->setObjectName(QString::fromUtf8(D.Name));
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint);
    w->setFixedSize(D.ClientWidth, D.ClientHeight);
    if (D.Icon) w->setWindowIcon(QIcon(QPixmap(D.Icon)));
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Resolved(D.Color, QPalette::Window));
    w->setPalette(p);
    w->setFont(WindowFont(D));
    w->setWindowTitle(QString::fromUtf8(D.Caption));
  }
  ~TFormWidgetPeer() override { delete FWidget.data(); }

  std::string Text() const override { return FWidget->windowTitle().toStdString(); }
  void SetText(const std::string& Value) override { FWidget->setWindowTitle(Q(Value)); }
  void Show() override { FWidget->show(); }
  void Close() override { FWidget->close(); }
  void SetTabOrder(const std::vector<TWinControl*>& Chain) override {
    QWidget* previous = nullptr;
    for (TWinControl* control : Chain) {
      QWidget* w = WidgetOf(*control);
      if (qobject_cast<QGroupBox*>(w)) continue;
      if (previous) QWidget::setTabOrder(previous, w);
      previous = w;
    }
  }
};

// --- controls -----------------------------------------------------------------------------

class TGroupPeer : public TWidgetPeer {
 public:
  TGroupPeer(QWidget* Parent, const TControlDescription& D)
      : TWidgetPeer(D.Bevelled ? static_cast<QWidget*>(new TBevelGroupBox(Parent))
                               : new TPlainGroupBox(Parent)) {}
  std::string Text() const override { return Group()->title().toStdString(); }
  void SetText(const std::string& Value) override { Group()->setTitle(Q(Value)); }

 private:
  QGroupBox* Group() const { return static_cast<QGroupBox*>(FWidget.data()); }
};

class TLabelPeer : public TWidgetPeer {
 public:
  TLabelPeer(TWinControl& Control, QWidget* Parent, const TControlDescription& D)
      : TWidgetPeer(D.Clickable ? new TQtClickLabel(Parent) : new QLabel(Parent)),
        FDesign(D.Bounds.Width, D.Bounds.Height) {
    QLabel* label = Label();
    if (auto* click = dynamic_cast<TQtClickLabel*>(label)) {
      click->OnClick = [&Control] { Control.PeerClicked(); };
      click->setCursor(Qt::PointingHandCursor);
    }
    // What a label shows, a probe's type name among it, is plain text.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(D.WordWrap);
    QFont font = label->font();
    if (D.Font == TFontStyle::Warning) {
      font.setPixelSize(16);
      font.setBold(true);
      QPalette red = label->palette();
      red.setColor(QPalette::WindowText, Qt::red);
      label->setPalette(red);
    } else if (D.Font == TFontStyle::Link) {
      font.setUnderline(true);
    }
    label->setFont(font);
  }
  std::string Text() const override { return Label()->text().toStdString(); }
  void SetText(const std::string& Value) override {
    Label()->setText(Q(Value));
    Fit();
  }
  void SetBounds(const TBounds& B) override {
    TWidgetPeer::SetBounds(B);
    Fit();
  }

 private:
  QLabel* Label() const { return static_cast<QLabel*>(FWidget.data()); }
  // Labels grow to their caption in the font they show it in.
  void Fit() {
    QLabel* label = Label();
    if (label->wordWrap()) {
      // As wide as its group lets it be, as high as its lines need.
      const int width = label->parentWidget()->width() - 8 - label->x();
      label->resize(width, std::max(FDesign.height(), label->heightForWidth(width)));
      return;
    }
    label->resize(label->sizeHint().expandedTo(FDesign));
  }
  QSize FDesign;
};

class TEditPeer : public TWidgetPeer {
 public:
  TEditPeer(TWinControl& Control, QWidget* Parent, const TControlDescription& D)
      : TWidgetPeer(new QLineEdit(Parent)) {
    QLineEdit* edit = Edit();
    edit->setReadOnly(D.ReadOnly);
    edit->setText(QString::fromUtf8(D.Text));
    QObject::connect(edit, &QLineEdit::textChanged, [&Control] { Control.PeerChanged(); });
  }
  std::string Text() const override { return Edit()->text().toStdString(); }
  void SetText(const std::string& Value) override { Edit()->setText(Q(Value)); }

 private:
  QLineEdit* Edit() const { return static_cast<QLineEdit*>(FWidget.data()); }
};

class TSpinEditPeer : public TWidgetPeer, public TSpinPeer {
 public:
  TSpinEditPeer(TWinControl& Control, QWidget* Parent, const TControlDescription& D)
      : TWidgetPeer(new TQtSpinEdit(Parent)) {
    TQtSpinEdit* spin = Spin();
    spin->setRange(D.MinValue, D.MaxValue);
    spin->setMaxTypedLength(D.MaxLength);
    spin->setValue(std::atoi(D.Text));
    QObject::connect(spin, &QSpinBox::valueChanged, [&Control] { Control.PeerChanged(); });
  }
  std::string Text() const override { return Spin()->text().toStdString(); }
  void SetText(const std::string& Value) override { Spin()->setValue(std::atoi(Value.c_str())); }
  int Value() const override { return Spin()->value(); }
  void SetValue(int Value) override { Spin()->setValue(Value); }

 private:
  TQtSpinEdit* Spin() const { return static_cast<TQtSpinEdit*>(FWidget.data()); }
};

class TComboBoxPeer : public TWidgetPeer, public TComboPeer {
 public:
  TComboBoxPeer(TWinControl& Control, QWidget* Parent, const TControlDescription& D)
      : TWidgetPeer(new TQtComboBox(Parent)), FGrowth(D.Growth), FDesignWidth(D.Bounds.Width) {
    Combo()->setItemHeight(D.ItemHeight);
    Combo()->setCurrentIndex(-1);
    // A pick by the user; what the program does to the list is not reported.
    QObject::connect(Combo(), &QComboBox::activated, [&Control] { Control.PeerChanged(); });
    if (D.Editable) Combo()->AllowTyping([&Control] { Control.PeerTyped(); });
  }
  std::string Text() const override { return Combo()->Text().toStdString(); }
  void SetText(const std::string& Value) override { Combo()->SetText(Q(Value)); }
  int ItemCount() const override { return Combo()->count(); }
  bool BeingTyped() const override { return Combo()->BeingTyped(); }
  bool ListOpen() const override { return Combo()->view()->isVisible(); }
  std::string Item(int Index) const override { return Combo()->itemText(Index).toStdString(); }
  void InsertItem(int Index, const std::string& Text) override {
    const QSignalBlocker quiet(Combo());
    // The first item of an empty list would be picked; the pick stays as it was.
    const bool nothingPicked = Combo()->currentIndex() < 0;
    const QString shown = Combo()->Text();
    Combo()->insertItem(Index, Q(Text));
    if (nothingPicked) Combo()->ShowUnpicked(shown);
    Fit();
  }
  void DeleteItem(int Index) override {
    const QSignalBlocker quiet(Combo());
    // The picked item gone, nothing is picked (Qt would pick a neighbour).
    const bool picked = Combo()->currentIndex() == Index;
    const QString shown = Combo()->Text();
    Combo()->removeItem(Index);
    if (picked) Combo()->ShowUnpicked(Combo()->isEditable() ? shown : Combo()->placeholderText());
  }
  int ItemIndex() const override { return Combo()->currentIndex(); }
  void SetItemIndex(int Index) override {
    const QSignalBlocker quiet(Combo());
    if (Index < 0 && Combo()->isEditable())
      Combo()->ShowUnpicked(Combo()->Text());  // the edit part keeps its text
    else
      Combo()->setCurrentIndex(Index);
  }

 private:
  TQtComboBox* Combo() const { return static_cast<TQtComboBox*>(FWidget.data()); }
  // As wide as its items need, within its group.
  void Fit() {
    if (FGrowth != TGrowth::FitItems) return;
    QWidget* w = FWidget;
    const int room = w->parentWidget()->width() - 6 - w->x();
    w->resize(std::clamp(w->sizeHint().width(), FDesignWidth, std::max(room, FDesignWidth)),
              w->height());
  }
  TGrowth FGrowth;
  int FDesignWidth;
};

class TButtonPeer : public TWidgetPeer {
 public:
  TButtonPeer(TWinControl& Control, QWidget* Parent, const TControlDescription& D)
      : TWidgetPeer(new QPushButton(Parent)) {
    Button()->setText(QString::fromUtf8(D.Text));
    QObject::connect(Button(), &QPushButton::clicked, [&Control] { Control.PeerClicked(); });
  }
  std::string Text() const override { return Button()->text().toStdString(); }
  void SetText(const std::string& Value) override { Button()->setText(Q(Value)); }

 private:
  QPushButton* Button() const { return static_cast<QPushButton*>(FWidget.data()); }
};

std::unique_ptr<TWidgetPeer> MakePeer(TWinControl& Control, QWidget* Parent,
                                      const TControlDescription& D) {
  switch (D.Kind) {
    case TControlKind::GroupBox:
      return std::make_unique<TGroupPeer>(Parent, D);
    case TControlKind::Label:
      return std::make_unique<TLabelPeer>(Control, Parent, D);
    case TControlKind::Edit:
      return std::make_unique<TEditPeer>(Control, Parent, D);
    case TControlKind::SpinEdit:
      return std::make_unique<TSpinEditPeer>(Control, Parent, D);
    case TControlKind::ComboBox:
      return std::make_unique<TComboBoxPeer>(Control, Parent, D);
    case TControlKind::Button:
      return std::make_unique<TButtonPeer>(Control, Parent, D);
  }
  return nullptr;
}

}  // namespace

QColor ToQColor(TColor Color) {
  return QColor(RedOf(Color), GreenOf(Color), BlueOf(Color));
}

QWidget* WidgetOf(const TWinControl& Control) {
  return dynamic_cast<const TWidgetPeer&>(Control.Peer()).Widget();
}

std::unique_ptr<TFormPeer> CreateFormPeer(TForm& Form, const TFormDescription& Description) {
  return std::make_unique<TFormWidgetPeer>(Form, Description);
}

std::unique_ptr<TControlPeer> CreateControlPeer(TWinControl& Control, TWinControl& Parent,
                                                const TControlDescription& Description) {
  std::unique_ptr<TWidgetPeer> peer = MakePeer(Control, WidgetOf(Parent), Description);
  QWidget* w = peer->Widget();
  w->setObjectName(QString::fromUtf8(Description.Name));
  const TBounds& b = Description.Bounds;
  w->setGeometry(b.Left, b.Top, b.Width, b.Height);
  if (Description.Growth == TGrowth::FillParent)
    w->resize(w->parentWidget()->width() - 6 - b.Left, b.Height);
  // Edits, spin edits and combo boxes took their text when they were made.
  if (Description.Kind == TControlKind::Label || Description.Kind == TControlKind::GroupBox ||
      Description.Kind == TControlKind::Button)
    peer->SetText(Description.Text);
  if (*Description.Hint) peer->SetHint(Description.Hint);
  if (!Description.Enabled) w->setEnabled(false);
  if (!Description.Visible) w->setVisible(false);
  return peer;
}
