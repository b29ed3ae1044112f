#include "toolkit/qt/Widgets.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>
#include <QStyledItemDelegate>

#include "toolkit/Controls.h"

// --- group box ------------------------------------------------------------------

TBevelGroupBox::TBevelGroupBox(QWidget* Parent) : QGroupBox(Parent) {
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, kInactiveCaptionColour);
  setPalette(p);
}

namespace {

// A group's frame from the middle of its caption down, and the caption on it.
// Bevelled: dark upper-left and light lower-right edges, inset twice; etched:
// a dark line with a light one beside it.
void PaintGroup(QGroupBox& Group, bool Bevelled) {
  QPainter painter(&Group);
  const QFontMetrics metrics(Group.font());
  const int captionHeight = metrics.height();
  const QPalette& palette = Group.palette();
  const QColor dark = palette.color(QPalette::Dark);
  const QColor light = palette.color(QPalette::Light);
  const auto edges = [&](const QRect& R, const QColor& UpperLeft, const QColor& LowerRight) {
    painter.setPen(UpperLeft);
    painter.drawLine(R.topLeft(), R.topRight());
    painter.drawLine(R.topLeft(), R.bottomLeft());
    painter.setPen(LowerRight);
    painter.drawLine(R.bottomLeft(), R.bottomRight());
    painter.drawLine(R.topRight(), R.bottomRight());
  };
  const QRect frame = Group.rect().adjusted(0, captionHeight / 2, -1, -1);
  if (Bevelled) {
    edges(frame, dark, light);
    edges(frame.adjusted(1, 1, -1, -1), light, dark);
  } else {
    edges(frame.adjusted(1, 1, 0, 0), light, light);
    edges(frame.adjusted(0, 0, -1, -1), dark, dark);
  }
  const QString title = ShownCaption(Group);
  if (!title.isEmpty()) {
    const QRect caption(8, 0, metrics.horizontalAdvance(title), captionHeight);
    painter.fillRect(caption, palette.color(QPalette::Window));
    painter.setPen(palette.color(Group.isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, title);
  }
}

}  // namespace

QString ShownCaption(const QGroupBox& Group) {
  return QFontMetrics(Group.font()).elidedText(Group.title(), Qt::ElideRight, Group.width() - 16);
}

void TBevelGroupBox::paintEvent(QPaintEvent*) {
  PaintGroup(*this, true);
}

void TPlainGroupBox::paintEvent(QPaintEvent*) {
  PaintGroup(*this, false);
}

// --- spin edit ----------------------------------------------------------------------

namespace {

// The buttons repeat while held as the toolkit's spin edit says.
class TSpinEditStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                QStyleHintReturn* Return) const override {
    if (Hint == SH_SpinBox_ClickAutoRepeatRate) return TSpinEdit::kRepeatIntervalMs;
    if (Hint == SH_SpinBox_ClickAutoRepeatThreshold) return TSpinEdit::kRepeatDelayMs;
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
  }
};

}  // namespace

TQtSpinEdit::TQtSpinEdit(QWidget* Parent) : QSpinBox(Parent) {
  auto* style = new TSpinEditStyle;
  style->setParent(this);
  setStyle(style);
  setRange(0, 1000);
  setSingleStep(1);
  setKeyboardTracking(true);
}

QValidator::State TQtSpinEdit::validate(QString& Input, int& Pos) const {
  const QString text = Input.trimmed();
  if (text.isEmpty()) return QValidator::Acceptable;  // reads as 0
  if (text.size() > FMaxTypedLength) return QValidator::Invalid;
  return QSpinBox::validate(Input, Pos);
}

int TQtSpinEdit::valueFromText(const QString& Text) const {
  if (Text.trimmed().isEmpty()) return 0;
  return QSpinBox::valueFromText(Text);
}

void TQtSpinEdit::fixup(QString& Input) const {
  if (Input.trimmed().isEmpty()) Input = QStringLiteral("0");
  QSpinBox::fixup(Input);
}

// --- combo box -------------------------------------------------------------------------

namespace {

// Items of one fixed height in the drop-down list.
class TItemHeightDelegate : public QStyledItemDelegate {
 public:
  TItemHeightDelegate(int& Height, QObject* Parent)
      : QStyledItemDelegate(Parent), FHeight(Height) {}
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    return {QStyledItemDelegate::sizeHint(Option, Index).width(), FHeight};
  }

 private:
  const int& FHeight;
};

}  // namespace

TQtComboBox::TQtComboBox(QWidget* Parent) : QComboBox(Parent) {
  setEditable(false);
  // A pick (also Enter on the text of an item) replaces what was typed;
  // connected first, this runs before the pick is reported.
  connect(this, &QComboBox::activated, this, [this] { FTyped = false; });
  setItemDelegate(new TItemHeightDelegate(FItemHeight, this));
  PlaceholderLikeText();
}

void TQtComboBox::setItemHeight(int Height) {
  FItemHeight = Height;
  view()->doItemsLayout();
}

void TQtComboBox::changeEvent(QEvent* Event) {
  QComboBox::changeEvent(Event);
  if (Event->type() == QEvent::PaletteChange) PlaceholderLikeText();
}

void TQtComboBox::PlaceholderLikeText() {
  // What the selector shows while nothing is picked is its text, not a hint.
  QPalette p = palette();
  if (p.color(QPalette::PlaceholderText) == p.color(QPalette::Text)) return;
  p.setColor(QPalette::PlaceholderText, p.color(QPalette::Text));
  setPalette(p);
}

void TQtComboBox::AllowTyping(std::function<void()> OnTyped) {
  const QString shown = Text();
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);  // a typed text is no item
  setCompleter(nullptr);                 // nor completed to one
  FOnTyped = std::move(OnTyped);
  // Enter and leaving the box are handled here, not by the box's own
  // handler: that one picks a listed text again when a message box takes
  // the focus (the failure of the very pick it would repeat).
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { FTyped = true; });
  connect(lineEdit(), &QLineEdit::returnPressed, this, [this] {
    // The text of an item is a pick of it (of another than the picked one).
    const int index = findText(currentText(), Qt::MatchExactly);
    if (index < 0) {
      Typed();
      return;
    }
    FTyped = false;
    if (index == currentIndex()) return;
    setCurrentIndex(index);
    emit activated(index);
  });
  lineEdit()->installEventFilter(this);
  ShowUnpicked(shown);
}

// Leaving the box completes the text; opening its list does not. The box
// has the focus and hands its focus events to the edit part directly (past
// any filter), or the edit part has it itself.
bool TQtComboBox::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == lineEdit() && Event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(Event)->reason() != Qt::PopupFocusReason)
    Typed();
  return QComboBox::eventFilter(Watched, Event);
}

void TQtComboBox::focusOutEvent(QFocusEvent* Event) {
  QComboBox::focusOutEvent(Event);
  if (Event->reason() != Qt::PopupFocusReason) Typed();
}

void TQtComboBox::Typed() {
  if (!FTyped) return;
  FTyped = false;
  if (FOnTyped) FOnTyped();
}

QString TQtComboBox::Text() const {
  if (isEditable()) return currentText();
  return currentIndex() < 0 ? placeholderText() : currentText();
}

void TQtComboBox::SetText(const QString& Text) {
  const QSignalBlocker quiet(this);
  const int index = findText(Text, Qt::MatchExactly);
  if (index < 0)
    ShowUnpicked(Text);
  else
    setCurrentIndex(index);
}

void TQtComboBox::ShowUnpicked(const QString& Text) {
  const QSignalBlocker quiet(this);
  setCurrentIndex(-1);
  if (isEditable())
    setEditText(Text);
  else
    setPlaceholderText(Text);
}

// --- clickable label -----------------------------------------------------------------------

TQtClickLabel::TQtClickLabel(QWidget* Parent) : QLabel(Parent) {}

void TQtClickLabel::mouseReleaseEvent(QMouseEvent* Event) {
  QLabel::mouseReleaseEvent(Event);
  if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
    OnClick();
}
