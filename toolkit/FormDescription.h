#pragma once

// A form written down as data: the window and each of its controls with
// position, size, caption, hint, tab order and look. Both windowing backends
// build the form from the same description (toolkit/Controls.h, TForm::Build).

#include <string_view>

#include "toolkit/Control.h"

enum class TControlKind { GroupBox, Label, Edit, SpinEdit, ComboBox, Button };

// How a control's text is drawn. The form's font is the window font; the
// others are variations of it.
enum class TFontStyle {
  WindowFont,  // the form's font
  Warning,     // larger, bold, red: a notice that must not be missed
  Link,        // underlined: a label that does something when clicked
};

// How a control's width follows its contents. The room to the right ends
// 6 pixels inside the parent's edge.
enum class TGrowth {
  None,        // as designed
  FillParent,  // takes the room to the right
  FitItems,    // a combo box: as wide as its items need, within the room
};

struct TBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  friend bool operator==(const TBounds&, const TBounds&) = default;
};

struct TControlDescription {
  const char* Name = "";
  const char* Parent = "";  // a group box's name; empty: the form itself
  TControlKind Kind = TControlKind::Label;
  TBounds Bounds;
  // A label's, button's or group box's caption; an edit's text; a spin
  // edit's value; a combo box's text while nothing is picked.
  const char* Text = "";
  const char* Hint = "";  // shown as a tooltip; CR LF breaks the line
  int TabOrder = -1;      // within the parent; -1: not a tab stop (labels)
  bool Visible = true;
  bool Enabled = true;
  bool ReadOnly = false;   // edits
  bool Clickable = false;  // labels with a click handler
  bool WordWrap = false;   // labels: a long caption goes on to further lines
  bool Bevelled = false;   // group boxes: an inset bevelled frame (else etched)
  // Labels always grow to their caption; other controls as stated here.
  TGrowth Growth = TGrowth::None;
  TFontStyle Font = TFontStyle::WindowFont;
  TColor Color = clDefault;  // edits: background; clDefault: the system's
  // Combo boxes: the items, in this order, separated by '\n'.
  const char* Items = "";
  bool Sorted = false;
  bool Editable = false;  // a combo box with an edit part to type into
  int ItemHeight = 13;
  // Spin edits: the range and how many characters may be typed.
  int MinValue = 0, MaxValue = 0, MaxLength = 0;
};

struct TFormDescription {
  const char* Name = "";
  const char* Caption = "";
  int ClientWidth = 0, ClientHeight = 0;
  TColor Color = clDefault;  // background of the form and of bevelled groups
  const char* FontName = "";
  int FontPixelHeight = 0;
  // The window's icon as XPM rows (the Windows program has it as its icon
  // resource 1 instead).
  const char* const* Icon = nullptr;
  // The controls, parents before their children.
  const TControlDescription* Controls = nullptr;
  int ControlCount = 0;
};
