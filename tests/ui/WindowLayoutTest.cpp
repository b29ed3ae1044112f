#include <QAbstractItemView>
#include <QFontInfo>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTextLayout>

#include "tests/ui/FormFixture.h"
#include "tests/ui/LayoutTable.h"

namespace {

using namespace layout;

class WindowLayoutTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    MakeForm();
  }
};

TEST_F(WindowLayoutTest, EveryControlAsTheLayoutGivesIt) {
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.Name);
    auto* w = Window()->findChild<QWidget*>(row.Name);
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName().toStdString(), row.Group);
    EXPECT_EQ(w->pos(), QPoint(row.X, row.Y));
    EXPECT_EQ(w->isHidden(), row.Hidden);
    EXPECT_EQ(w->isEnabledTo(w->parentWidget()), !row.Disabled);
    EXPECT_EQ(w->toolTip().toStdString(), row.Hint) << "labels show no hint";
    switch (row.What) {
      case Label:
      case ClickLabel: {
        auto* label = qobject_cast<QLabel*>(w);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().toStdString(), row.Text);
        EXPECT_EQ(dynamic_cast<TQtClickLabel*>(w) != nullptr, row.What == ClickLabel);
        // Labels size themselves to their caption, as they do in the
        // window's designed font: the text fits, whatever this font's widths.
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        EXPECT_GE(label->width(), row.W);
        if (label->wordWrap())
          EXPECT_GE(label->height(), row.H);
        else
          EXPECT_EQ(label->height(), std::max(row.H, label->sizeHint().height()));
        break;
      }
      case Edit:
      case ReadOnlyEdit: {
        auto* edit = qobject_cast<QLineEdit*>(w);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->isReadOnly(), row.What == ReadOnlyEdit);
        EXPECT_EQ(edit->text().toStdString(), row.Text);
        // The firmware field takes its group's room.
        EXPECT_EQ(w->width(), row.Name == std::string("Edit_VersionNumber") ? 99 : row.W);
        EXPECT_EQ(w->height(), row.H);
        break;
      }
      case Spin: {
        auto* spin = dynamic_cast<TQtSpinEdit*>(w);
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->text().toStdString(), row.Text);
        EXPECT_EQ(w->size(), QSize(row.W, row.H));
        break;
      }
      case Combo: {
        auto* combo = dynamic_cast<TQtComboBox*>(w);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->Text().toStdString(), row.Text);
        // As labels do, a combo box grows to its items, within its group.
        EXPECT_GE(w->width(), row.W);
        EXPECT_LE(w->geometry().right(), w->parentWidget()->width() - 6);
        EXPECT_EQ(w->height(), row.H);
        if (combo->count() > 0) {
          EXPECT_EQ(combo->view()->sizeHintForRow(0), 13) << "item height";
        }
        break;
      }
      case Button: {
        auto* button = qobject_cast<QPushButton*>(w);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), row.Text);
        EXPECT_EQ(w->size(), QSize(row.W, row.H));
        break;
      }
    }
  }
}

TEST_F(WindowLayoutTest, GroupBoxes) {
  for (const GroupRow& row : kGroups) {
    SCOPED_TRACE(row.Name);
    auto* g = Window()->findChild<QGroupBox*>(row.Name);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->parentWidget(), Window());
    EXPECT_EQ(g->geometry(), QRect(row.X, row.Y, row.W, row.H));
    EXPECT_EQ(g->title().toStdString(), row.Caption);
    EXPECT_EQ(!g->isHidden(), row.Visible);
    EXPECT_EQ(g->isEnabled(), row.Visible) << "the hidden groups are disabled too";
    EXPECT_EQ(dynamic_cast<TBevelGroupBox*>(g) != nullptr, row.Bevelled);
  }
}

TEST_F(WindowLayoutTest, WindowFontIconAndSize) {
  EXPECT_EQ(Window()->windowTitle(), QString("KALMET Configuration"));
  EXPECT_EQ(Window()->size(), QSize(377, 353));
  EXPECT_EQ(Window()->minimumSize(), Window()->maximumSize()) << "not resizable";
  EXPECT_FALSE(Window()->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(Window()->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(Window()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(Window()->windowIcon().isNull());
  EXPECT_EQ(Window()->windowIcon().availableSizes().value(0), QSize(32, 32));
  EXPECT_EQ(Window()->font().pixelSize(), 11);
  EXPECT_EQ(Q(Form->Edit_Status)->font().pixelSize(), 11) << "readable, not 5 pixels";
  EXPECT_EQ(Window()->palette().color(QPalette::Window), kInactiveCaptionColour);
  for (QLabel* info :
       {Q(Form->LabelUnsupportedOrUnknownMessage), Q(Form->LabelUnsupportedOrUnknownType)}) {
    EXPECT_EQ(info->font().pixelSize(), 16);
    EXPECT_TRUE(info->font().bold());
    EXPECT_EQ(info->palette().color(QPalette::WindowText), QColor(Qt::red));
  }
  EXPECT_TRUE(Q(Form->LabelAbout)->font().underline());
}

TEST_F(WindowLayoutTest, TabOrderWithinAndBetweenTheGroups) {
  const std::vector<std::string>& chain = kTabChain;
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
    QWidget* w = Window()->findChild<QWidget*>(QString::fromStdString(chain[i]));
    ASSERT_NE(w, nullptr) << chain[i];
    // Labels and the inner parts of composite widgets are in the chain too.
    QWidget* next = w->nextInFocusChain();
    while (next != w &&
           std::find(chain.begin(), chain.end(), next->objectName().toStdString()) == chain.end())
      next = next->nextInFocusChain();
    EXPECT_EQ(next->objectName().toStdString(), chain[i + 1]) << "after " << chain[i];
  }
}

// The room a control has for its text, in its own font's pixels.
int TextRoom(QWidget* W) {
  if (auto* label = qobject_cast<QLabel*>(W)) {
    if (label->wordWrap()) return label->width();  // per word; the lines are checked apart
    // A label's right end may not leave its group.
    return std::min(label->contentsRect().width(), label->parentWidget()->width() - 2 - label->x());
  }
  if (auto* edit = qobject_cast<QLineEdit*>(W)) {
    QStyleOptionFrame frame;
    frame.initFrom(edit);
    frame.rect = edit->rect();
    frame.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, edit);
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &frame, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;  // the edit's own margin
  }
  if (auto* combo = qobject_cast<QComboBox*>(W)) {
    QStyleOptionComboBox box;
    box.initFrom(combo);
    box.rect = combo->rect();
    box.editable = combo->isEditable();
    box.frame = combo->hasFrame();
    // The style draws the text 1 pixel inside the edit field on each side.
    return combo->style()
               ->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxEditField, combo)
               .width() -
           2;
  }
  if (auto* group = qobject_cast<QGroupBox*>(W)) return group->width() - 2 * 8;
  return 0;
}

std::vector<std::pair<std::string, int>> TooLong(QWidget* Form, const QStringList& Extra = {},
                                                 QWidget* ExtraIn = nullptr) {
  std::vector<std::pair<std::string, int>> clipped;
  const auto check = [&](QWidget* W, const QString& Text) {
    if (Text.isEmpty()) return;
    const int need = W->fontMetrics().horizontalAdvance(Text);
    if (need > TextRoom(W))
      clipped.emplace_back(W->objectName().toStdString() + ": " + Text.toStdString(),
                           need - TextRoom(W));
  };
  for (QWidget* w : Form->findChildren<QWidget*>()) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (!label->wordWrap()) {
        check(w, label->text());
      } else {
        // Laid out in lines as the label does: each line fits, and the lines
        // stay within the group.
        QTextLayout layout(label->text(), label->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
          line.setLineWidth(label->width());
          if (line.naturalTextWidth() > label->width())
            clipped.emplace_back(
                w->objectName().toStdString() + ": " +
                    label->text().mid(line.textStart(), line.textLength()).toStdString(),
                static_cast<int>(line.naturalTextWidth()) - label->width());
        }
        layout.endLayout();
        if (label->y() + label->heightForWidth(label->width()) > label->parentWidget()->height())
          clipped.emplace_back(w->objectName().toStdString() + ": lines", 0);
      }
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit && !w->objectName().isEmpty())
      check(w, edit->text());
    if (auto* group = qobject_cast<QGroupBox*>(w)) check(w, ShownCaption(*group));
    if (auto* combo = dynamic_cast<TQtComboBox*>(w)) {
      check(w, combo->Text());
      for (int i = 0; i < combo->count(); ++i) check(w, combo->itemText(i));
    }
  }
  for (const QString& text : Extra) check(ExtraIn, text);
  return clipped;
}

// Every text the window can show fits its control in the window's font: for
// both families, with the longest values the protocol delivers, in both
// units, at every status text and both selector texts.
TEST_F(WindowLayoutTest, EveryTextTheWindowShowsFitsItsControl) {
  using Clipped = std::vector<std::pair<std::string, int>>;
  const QStringList statuses = {
      "Please select correct COM port.", "Searching for probe.", "Reading probe data.",
      "Reading probe data done.",        "Writing probe data.",  "Writing probe data done.",
      "Waiting for user input."};
  EXPECT_EQ(TooLong(Window(), statuses, Q(Form->Edit_Status)), Clipped{});
  EXPECT_EQ(TooLong(Window(), {"Select COM Port ...", "ttyKALMET0", "ttyUSB10", "ttyACM10"},
                    Q(Form->ComboBox_ComPort)),
            Clipped{});
  for (int type : {6, 7, 2, 3, 4, 5, 1}) {
    for (bool coarse : {false, true}) {
      SCOPED_TRACE("type " + std::to_string(type) + (coarse ? ", coarse" : ", fine"));
      Connected(type);
      TConnectionState& s = Form->State();
      // Type names as long as a type reply carries them; a firmware text
      // as long as the firmware field has room for.
      const std::string longName = "-2000-EXTENDED-RS485-HART-X";
      s.ProbeTypeName = (type == 1 ? std::string("KALMET-LS") : s.ProbeTypeName) + longName;
      Form->Engine().ApplyProbeType(type);
      s.SerialNumber = 999999999;
      s.FirmwareVersion = "V2.13.0145";
      s.FirmwareChecksum = "A5C3";
      s.FirmwareChecksumRead = true;
      s.FineResolution = !coarse;
      TProbeData& d = s.ProbeData;
      d.Temperature = -99.999L;  // six digits in thousandths
      d.Level1 = d.Level2 = coarse ? 99999.99L : 9999.999L;
      d.Current = 24.5L;
      d.Offset1 = d.Offset2 = 10000;
      d.LevelLimit = 16000;
      d.LevelAt4mA = d.LevelAt20mA = 16000;
      for (int alarm : {0, 1, 5}) {
        d.AlarmCurrentIndex = alarm;
        RefreshAsRead();
        EXPECT_EQ(TooLong(Window()), Clipped{});
      }
      if (IsRs485ConfigurableProbe(type)) {
        Form->ToggleLengthUnit();
        Form->ToggleTemperatureUnit();
        EXPECT_EQ(TooLong(Window()), Clipped{}) << "inch and Fahrenheit";
        Form->ToggleLengthUnit();
        Form->ToggleTemperatureUnit();
      }
    }
  }
}

// Texts from the probe are shown as they are, never as markup.
TEST_F(WindowLayoutTest, LabelsShowPlainText) {
  for (QLabel* label : Window()->findChildren<QLabel*>())
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

TEST_F(WindowLayoutTest, SpinEditAndComboBoxes) {
  TQtSpinEdit* address = Q(Form->SpinEdit_Address);
  EXPECT_EQ(address->minimum(), 0);
  EXPECT_EQ(address->maximum(), 1000);
  EXPECT_EQ(address->singleStep(), 1);
  EXPECT_EQ(address->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate, nullptr, address),
            200);
  TQtSpinEdit spin;
  spin.setRange(0, 1000);
  spin.show();
  int changes = 0;
  QObject::connect(&spin, &QSpinBox::valueChanged, [&] { ++changes; });
  spin.setValue(1000);
  EXPECT_EQ(spin.text(), QString("1000")) << "a value set by the program shows whole";
  Type(&spin, "1234");
  EXPECT_EQ(spin.text(), QString("123")) << "at most three characters typed";
  EXPECT_EQ(changes, 4) << "1000, 1, 12, 123";
  QTest::keyClick(&spin, Qt::Key_Backspace);
  QTest::keyClick(&spin, Qt::Key_Backspace);
  QTest::keyClick(&spin, Qt::Key_Backspace);
  EXPECT_EQ(spin.value(), 0) << "an empty text reads as 0";
  QTest::keyClick(&spin, Qt::Key_Up);
  EXPECT_EQ(spin.value(), 1);

  TQtComboBox* alarm = Q(Form->ComboBox_AlarmCurrent);
  ASSERT_EQ(alarm->count(), 2);
  EXPECT_EQ(alarm->itemText(0), QString("21,5 mA"));
  EXPECT_EQ(alarm->itemText(1), QString("  3,6 mA"));

  TComboBox* ports = Form->ComboBox_ComPort;
  while (ports->ItemCount() > 0) ports->DeleteItem(0);
  for (const char* name : {"COM3", "ttyUSB0", "COM12", "COM1", "ttyACM0"}) ports->AddItem(name);
  ports->SetItemIndex(ports->IndexOf("COM3"));
  ports->AddItem("COM2");
  QStringList items;
  for (int i = 0; i < Q(ports)->count(); ++i) items << Q(ports)->itemText(i);
  EXPECT_EQ(items, QStringList({"COM1", "COM12", "COM2", "COM3", "ttyACM0", "ttyUSB0"}));
  EXPECT_EQ(Q(ports)->currentText(), QString("COM3")) << "the pick stays put";
}

TEST_F(WindowLayoutTest, NonVisualPartsAndTheirSettings) {
  TComPort* com = Form->Com;
  EXPECT_FALSE(com->Active());
  EXPECT_EQ(com->DeviceName(), "COM1");
  EXPECT_EQ(com->BaudRate(), br1200);
  EXPECT_EQ(com->DataBits(), db8);
  EXPECT_EQ(com->Parity(), paNone);
  EXPECT_EQ(com->StopBits(), sb1);
  EXPECT_EQ(com->FlowControl().DTR(), dcDisable);
  EXPECT_EQ(com->FlowControl().RTS(), rcDisable);
  EXPECT_EQ(com->FlowControl().XOnXOff(), xcDisable);
  EXPECT_TRUE(com->Options().Empty());
  EXPECT_EQ(com->PriorityClass(), pcHigh);
  EXPECT_TRUE(com->OnRxChar()) << "the receive indicator, which passes on to ComRxChar";
  EXPECT_EQ(Form->sgnl_TxD->ComPort(), com);
  EXPECT_EQ(Form->sgnl_TxD->Signal(), siTxChar);
  EXPECT_EQ(Form->sgnl_TxD->Delay(), 100);
  EXPECT_EQ(Form->sgnl_RxD->ComPort(), com);
  EXPECT_EQ(Form->sgnl_RxD->Signal(), siRxChar);
  EXPECT_EQ(Form->sgnl_RxD->Delay(), 100);
  EXPECT_EQ(Form->sgnl_TxD->Control(), Form->Edit_TxIndicator);
  EXPECT_EQ(Form->sgnl_RxD->Control(), Form->Edit_RxIndicator);
  EXPECT_EQ(Q(Form->Edit_TxIndicator)->palette().color(QPalette::Base), QColor(0, 0x80, 0))
      << "green background";
  EXPECT_FALSE(Form->TimerRequestNext->Enabled());
  EXPECT_EQ(Form->TimerRequestNext->Interval(), 200u);
  EXPECT_FALSE(Form->TimerTimeout->Enabled());
  EXPECT_EQ(Form->TimerTimeout->Interval(), 500u);
}

TEST(Colours, ToolkitColourIsBlueGreenRed) {
  EXPECT_EQ(ToQColor(clGreen), QColor(0, 0x80, 0));
  EXPECT_EQ(ToQColor(clLime), QColor(0, 0xFF, 0));
  EXPECT_EQ(ToQColor(0x0000FF), QColor(0xFF, 0, 0));
  EXPECT_EQ(ToQColor(0xFF0000), QColor(0, 0, 0xFF));
  EXPECT_EQ(ToQColor(ModifiedColour), QColor(0, 0xFF, 0xFF));
}

}  // namespace
