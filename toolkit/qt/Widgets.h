#pragma once

// The Qt widgets behind the toolkit's controls where Qt's own do not look or
// behave as the controls must: the group box with an inset bevelled frame,
// the numeric spin edit, the combo box that shows a text while nothing is
// picked, and the clickable label.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <functional>

// Background of the window and of the bevelled groups: a stand-in for the
// colour of an inactive title bar.
inline const QColor kInactiveCaptionColour(191, 205, 219);

// The caption a group draws: its title, cut short with "…" where it is
// longer than the group is wide (a probe's type name can be).
QString ShownCaption(const QGroupBox& Group);

class TBevelGroupBox : public QGroupBox {
 public:
  explicit TBevelGroupBox(QWidget* Parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* Event) override;
};

// The plain group box: one etched frame at the middle of its caption, as the
// bevelled one has it, on the window's background; its controls stand where
// the layout puts them, inside the frame.
class TPlainGroupBox : public QGroupBox {
 public:
  explicit TPlainGroupBox(QWidget* Parent = nullptr) : QGroupBox(Parent) {}

 protected:
  void paintEvent(QPaintEvent* Event) override;
};

// Integer edit with up and down buttons: keeps its value in its range, takes
// at most MaxTypedLength typed characters, reads an empty text as 0 and
// repeats its buttons every 200 ms while held. Every change of the value is
// reported through valueChanged.
class TQtSpinEdit : public QSpinBox {
 public:
  explicit TQtSpinEdit(QWidget* Parent = nullptr);
  void setMaxTypedLength(int Length) { FMaxTypedLength = Length; }
  int maxTypedLength() const { return FMaxTypedLength; }

 protected:
  QValidator::State validate(QString& Input, int& Pos) const override;
  int valueFromText(const QString& Text) const override;
  void fixup(QString& Input) const override;

 private:
  int FMaxTypedLength = 3;
};

// A pick list whose text, while nothing is picked, is its placeholder, drawn
// like any text. The items of its list are itemHeight pixels high.
class TQtComboBox : public QComboBox {
 public:
  explicit TQtComboBox(QWidget* Parent = nullptr);
  void setItemHeight(int Height);
  int itemHeight() const { return FItemHeight; }
  // An edit part to type into: OnTyped runs once a typed text is complete
  // (Enter, or the focus gone), not at each keystroke, never for a pick.
  void AllowTyping(std::function<void()> OnTyped);
  bool BeingTyped() const { return FTyped; }
  QString Text() const;
  // Shows Text: picks the item with that text, or shows it with nothing picked.
  void SetText(const QString& Text);
  // Nothing picked, Text shown.
  void ShowUnpicked(const QString& Text);

 protected:
  void changeEvent(QEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

 private:
  void PlaceholderLikeText();
  void Typed();

  int FItemHeight = 13;
  bool FTyped = false;  // typed into since the last complete text
  std::function<void()> FOnTyped;
};

class TQtClickLabel : public QLabel {
 public:
  explicit TQtClickLabel(QWidget* Parent = nullptr);
  std::function<void()> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* Event) override;
};
