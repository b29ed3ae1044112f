#include "ui/Widgets.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>

// --- group box ------------------------------------------------------------------

TBevelGroupBox::TBevelGroupBox(QWidget* Parent) : QGroupBox(Parent) {
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, kInactiveCaptionColour);
  setPalette(p);
}

void TBevelGroupBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics(font());
  const int captionHeight = metrics.height();
  const QRect frame = rect().adjusted(0, captionHeight / 2, -1, -1);
  // Inset bevel: dark upper-left edges, light lower-right ones, twice.
  const QColor dark = palette().color(QPalette::Dark);
  const QColor light = palette().color(QPalette::Light);
  painter.setPen(dark);
  painter.drawLine(frame.topLeft(), frame.topRight());
  painter.drawLine(frame.topLeft(), frame.bottomLeft());
  painter.setPen(light);
  painter.drawLine(frame.bottomLeft(), frame.bottomRight());
  painter.drawLine(frame.topRight(), frame.bottomRight());
  const QRect inner = frame.adjusted(1, 1, -1, -1);
  painter.setPen(light);
  painter.drawLine(inner.topLeft(), inner.topRight());
  painter.drawLine(inner.topLeft(), inner.bottomLeft());
  painter.setPen(dark);
  painter.drawLine(inner.bottomLeft(), inner.bottomRight());
  painter.drawLine(inner.topRight(), inner.bottomRight());
  if (!title().isEmpty()) {
    const QRect caption(8, 0, metrics.horizontalAdvance(title()), captionHeight);
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, title());
  }
}

// --- spin edit ----------------------------------------------------------------------

namespace {

// The buttons repeat every 200 ms while held.
class TSpinEditStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                QStyleHintReturn* Return) const override {
    if (Hint == SH_SpinBox_ClickAutoRepeatRate) return 200;
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
  }
};

}  // namespace

TSpinEdit::TSpinEdit(QWidget* Parent) : QSpinBox(Parent) {
  auto* style = new TSpinEditStyle;
  style->setParent(this);
  setStyle(style);
  setRange(0, 1000);
  setSingleStep(1);
  setKeyboardTracking(true);
}

QValidator::State TSpinEdit::validate(QString& Input, int& Pos) const {
  const QString text = Input.trimmed();
  if (text.isEmpty()) return QValidator::Acceptable;  // reads as 0
  if (text.size() > FMaxTypedLength) return QValidator::Invalid;
  return QSpinBox::validate(Input, Pos);
}

int TSpinEdit::valueFromText(const QString& Text) const {
  if (Text.trimmed().isEmpty()) return 0;
  return QSpinBox::valueFromText(Text);
}

void TSpinEdit::fixup(QString& Input) const {
  if (Input.trimmed().isEmpty()) Input = QStringLiteral("0");
  QSpinBox::fixup(Input);
}

// --- combo box -------------------------------------------------------------------------

TComboBox::TComboBox(QWidget* Parent) : QComboBox(Parent) {
  setEditable(false);
}

void TComboBox::AddItem(const QString& Text) {
  if (!FSorted) {
    addItem(Text);
    return;
  }
  int at = 0;
  while (at < count() && QString::compare(itemText(at), Text, Qt::CaseInsensitive) <= 0) ++at;
  // insertItem keeps the picked item picked (its index moves with it).
  const QSignalBlocker quiet(this);
  insertItem(at, Text);
}

QString TComboBox::Text() const {
  return currentIndex() < 0 ? placeholderText() : currentText();
}

void TComboBox::SetText(const QString& Text) {
  const QSignalBlocker quiet(this);
  const int index = findText(Text, Qt::MatchExactly);
  if (index < 0) setPlaceholderText(Text);
  setCurrentIndex(index);
}

// --- clickable label -----------------------------------------------------------------------

TClickLabel::TClickLabel(QWidget* Parent) : QLabel(Parent) {}

void TClickLabel::mouseReleaseEvent(QMouseEvent* Event) {
  QLabel::mouseReleaseEvent(Event);
  if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
    OnClick();
}
