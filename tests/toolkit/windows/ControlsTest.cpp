// The Windows controls read back with the system's own calls: where each
// window is, what it shows, its hint, its state, the Tab order, and which
// changes reach OnChange. Long for a test file: the form it builds is written
// out a field a line, and each kind of control has its own checks.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/windows/Wine.h"
#include "toolkit/windows/ui/ControlPeer.h"

namespace {

using enum TControlKind;

constexpr TControlDescription kControls[] = {
    {.Name = "Bevelled",
     .Kind = GroupBox,
     .Bounds = {8, 8, 250, 150},
     .Text = " Bevelled ",
     .Hint = "Group",
     .TabOrder = 0,
     .Bevelled = true},
    {.Name = "Unit",
     .Parent = "Bevelled",
     .Bounds = {16, 20, 30, 13},
     .Text = "°C",
     .Clickable = true,
     .Font = TFontStyle::Link},
    {.Name = "ReadOnly",
     .Parent = "Bevelled",
     .Kind = Edit,
     .Bounds = {56, 16, 80, 21},
     .Text = "ro",
     .Hint = "Read\r\nonly °C",
     .TabOrder = 1,
     .ReadOnly = true},
    {.Name = "Fill",
     .Parent = "Bevelled",
     .Kind = Edit,
     .Bounds = {56, 44, 80, 21},
     .Text = "fill",
     .TabOrder = 0,
     .Growth = TGrowth::FillParent},
    {.Name = "Spin",
     .Parent = "Bevelled",
     .Kind = SpinEdit,
     .Bounds = {56, 72, 60, 21},
     .Text = "5",
     .Hint = "Spin",
     .TabOrder = 2,
     .MinValue = 1,
     .MaxValue = 99,
     .MaxLength = 2},
    {.Name = "Sorted",
     .Parent = "Bevelled",
     .Kind = ComboBox,
     .Bounds = {56, 100, 100, 21},
     .Text = "pick...",
     .Hint = "Combo",
     .TabOrder = 3,
     .Items = "pear\nApple\nfig",
     .Sorted = true},
    {.Name = "Plain",
     .Kind = GroupBox,
     .Bounds = {8, 170, 250, 120},
     .Text = " Plain ",
     .TabOrder = 1},
    {.Name = "Wrap",
     .Parent = "Plain",
     .Bounds = {8, 20, 40, 13},
     .Text = "A caption long enough to need more than one line in this group",
     .WordWrap = true},
    {.Name = "Warn",
     .Parent = "Plain",
     .Bounds = {8, 60, 40, 13},
     .Text = "Warning",
     .Font = TFontStyle::Warning},
    {.Name = "Fit",
     .Parent = "Plain",
     .Kind = ComboBox,
     .Bounds = {8, 84, 60, 21},
     .TabOrder = 0,
     .Growth = TGrowth::FitItems,
     .Items = "a\nb"},
    {.Name = "Ok",
     .Kind = Button,
     .Bounds = {280, 16, 75, 25},
     .Text = "OK",
     .Hint = "Press",
     .TabOrder = 2},
    {.Name = "Off",
     .Kind = Button,
     .Bounds = {280, 48, 75, 25},
     .Text = "Off",
     .Hint = "Not now",
     .TabOrder = 3,
     .Enabled = false},
    {.Name = "Hidden",
     .Kind = Edit,
     .Bounds = {280, 80, 75, 21},
     .Hint = "Unseen",
     .TabOrder = 4,
     .Visible = false},
};

constexpr TFormDescription kForm = {.Name = "TestForm",
                                    .Caption = "Test °C",
                                    .ClientWidth = 400,
                                    .ClientHeight = 300,
                                    .Color = clInactiveCaption,
                                    .FontName = "MS Sans Serif",
                                    .FontPixelHeight = 11,
                                    .Controls = kControls,
                                    .ControlCount = static_cast<int>(std::size(kControls))};

TBounds BoundsIn(HWND Window) {
  RECT r;
  ::GetWindowRect(Window, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Window), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring TextOf(HWND Window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(Window, text, 512);
  return text;
}

// The tooltip's text for Tool, or "-" when it has none.
std::wstring TipOf(HWND Tooltip, HWND Tool) {
  std::wstring text(1024, L'\0');
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = ::GetParent(Tool);
  ti.uId = reinterpret_cast<UINT_PTR>(Tool);
  ti.lpszText = text.data();
  if (!::SendMessageW(Tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) return L"-";
  ::SendMessageW(Tooltip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&ti));
  return text.c_str();
}

// The hint its container shows over Control's area (a disabled window gets no
// mouse), and that area; "-" when there is none.
std::wstring AreaTipOf(HWND Tooltip, HWND Control, RECT& Area) {
  std::wstring text(1024, L'\0');
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = ::GetParent(Control);
  ti.uId = static_cast<UINT_PTR>(::GetDlgCtrlID(Control));
  ti.lpszText = text.data();
  if (!::SendMessageW(Tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) return L"-";
  Area = ti.rect;
  ::SendMessageW(Tooltip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&ti));
  return text.c_str();
}

// Runs the thread's messages (timers among them) for Time.
void RunMessagesFor(std::chrono::milliseconds Time) {
  const auto end = std::chrono::steady_clock::now() + Time;
  for (auto left = Time; left.count() > 0;
       left = std::chrono::duration_cast<std::chrono::milliseconds>(
           end - std::chrono::steady_clock::now())) {
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

int LineHeight(HWND Window) {
  HDC dc = ::GetDC(Window);
  const auto old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(Window, WM_GETFONT, 0, 0)));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(Window, dc);
  return tm.tmHeight;
}

LOGFONTW FontOf(HWND Window) {
  LOGFONTW f{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Window, WM_GETFONT, 0, 0)), sizeof f, &f);
  return f;
}

// What the user does, as the control tells its parent.
void Notify(HWND Control, WORD Code) {
  ::SendMessageW(::GetParent(Control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(Control), Code),
                 reinterpret_cast<LPARAM>(Control));
}

class Win32Controls : public ::testing::Test {
 protected:
  // Shown only where a test needs it: under Wine without a window manager
  // each shown window takes seconds to go.
  Win32Controls() { Form->Build(kForm); }
  template <typename T = TWinControl>
  T* C(const char* Name) {
    return Form->Control<T>(Name);
  }
  HWND W(const char* Name) { return WindowOf(*C(Name)); }
  std::unique_ptr<TForm> Form = std::make_unique<TForm>();
};

TEST_F(Win32Controls, WindowsShowTheDescription) {
  struct TRow {
    const char* Name;
    TBounds Bounds;
    const wchar_t* Text;
    const wchar_t* Hint;
    bool Visible, Enabled;
  };
  const TRow rows[] = {
      {"Bevelled", {8, 8, 250, 150}, L" Bevelled ", L"Group", true, true},
      {"ReadOnly", {56, 16, 80, 21}, L"ro", L"Read\r\nonly °C", true, true},
      {"Fill", {56, 44, 250 - 6 - 56, 21}, L"fill", L"-", true, true},
      {"Spin", {56, 72, 60, 21}, L"5", L"Spin", true, true},
      {"Sorted", {56, 100, 100, 21}, L"pick...", L"Combo", true, true},
      {"Plain", {8, 170, 250, 120}, L" Plain ", L"-", true, true},
      {"Fit", {8, 84, 60, 21}, L"", L"-", true, true},
      {"Ok", {280, 16, 75, 25}, L"OK", L"Press", true, true},
      {"Off", {280, 48, 75, 25}, L"Off", L"Not now", true, false},
      {"Hidden", {280, 80, 75, 21}, L"", L"Unseen", false, true},
  };
  const HWND tip = TooltipOf(*Form);
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const HWND w = W(row.Name);
    TBounds b = BoundsIn(w);
    std::vector<HWND> parts{w};
    if (auto* spin = dynamic_cast<TSpinEdit*>(C(row.Name))) {
      const TBounds button = BoundsIn(SpinButtonOf(*spin));
      EXPECT_EQ(button.Left, b.Left + b.Width);
      EXPECT_EQ(button.Height, b.Height);
      b.Width += button.Width;
      parts.push_back(SpinButtonOf(*spin));
    }
    if (dynamic_cast<TComboBox*>(C(row.Name))) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      ASSERT_TRUE(::GetComboBoxInfo(w, &info));
      parts.push_back(info.hwndItem);
      EXPECT_TRUE(::GetWindowLongPtrW(info.hwndItem, GWL_STYLE) & ES_READONLY);
    }
    EXPECT_EQ(b, row.Bounds);
    EXPECT_EQ(C(row.Name)->Bounds(), row.Bounds);
    EXPECT_EQ(TextOf(w), row.Text);
    for (HWND part : parts) EXPECT_EQ(TipOf(tip, part), row.Hint);
    RECT area{};
    EXPECT_EQ(AreaTipOf(tip, w, area), row.Hint);
    if (row.Hint != std::wstring(L"-")) {
      const TBounds shown = row.Visible ? row.Bounds : TBounds{};
      EXPECT_EQ((TBounds{area.left, area.top, area.right - area.left, area.bottom - area.top}),
                shown);
    }
    EXPECT_EQ((::GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE) != 0, row.Visible);
    EXPECT_EQ(C(row.Name)->Visible(), row.Visible);
    EXPECT_EQ(::IsWindowEnabled(w) != 0, row.Enabled);
  }
  EXPECT_TRUE(::GetWindowLongPtrW(W("ReadOnly"), GWL_STYLE) & ES_READONLY);
  EXPECT_FALSE(::GetWindowLongPtrW(W("Fill"), GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(C("ReadOnly")->Hint(), "Read\r\nonly °C");

  // The form: caption, fixed client area, no resizing or maximising.
  const HWND form = WindowOf(*Form);
  EXPECT_EQ(TextOf(form), L"Test °C");
  RECT client;
  ::GetClientRect(form, &client);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 300);
  const auto style = ::GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  EXPECT_TRUE(style & WS_MINIMIZEBOX);

  // A hint set later replaces the old one; an empty one removes it.
  C("Ok")->SetHint("Line 1\r\nLine 2");
  EXPECT_EQ(TipOf(tip, W("Ok")), L"Line 1\r\nLine 2");
  C("Ok")->SetHint("");
  EXPECT_EQ(TipOf(tip, W("Ok")), L"-");
  RECT area{};
  EXPECT_EQ(AreaTipOf(tip, W("Ok"), area), L"-");
}

TEST_F(Win32Controls, StateChangesReachTheWindows) {
  TWinControl* edit = C("Fill");
  edit->SetEnabled(false);
  EXPECT_FALSE(::IsWindowEnabled(W("Fill")));
  EXPECT_FALSE(edit->Enabled());
  auto* spin = C<TSpinEdit>("Spin");
  spin->SetVisible(false);
  EXPECT_FALSE(::GetWindowLongPtrW(SpinButtonOf(*spin), GWL_STYLE) & WS_VISIBLE);
  RECT area{};  // where the container shows a hint follows the control
  AreaTipOf(TooltipOf(*Form), W("Spin"), area);
  EXPECT_TRUE(::IsRectEmpty(&area)) << "no hint over a hidden control's place";
  // A control's own state, not its parent's.
  C("Plain")->SetVisible(false);
  EXPECT_TRUE(C("Fit")->Visible());
  C("Ok")->SetPosition(290, 20);
  EXPECT_EQ(BoundsIn(W("Ok")), (TBounds{290, 20, 75, 25}));
  AreaTipOf(TooltipOf(*Form), W("Ok"), area);
  EXPECT_EQ(area.left, 290);
  EXPECT_EQ(area.top, 20);
}

TEST_F(Win32Controls, LabelsSizeThemselvesToTheirCaption) {
  auto* unit = C<TLabel>("Unit");
  EXPECT_EQ(TextOf(W("Unit")), L"°C");
  EXPECT_EQ(BoundsIn(W("Unit")), (TBounds{16, 20, 30, 13}));  // the caption needs less
  unit->SetCaption("a caption much wider than thirty pixels");
  const TBounds wide = BoundsIn(W("Unit"));
  EXPECT_GT(wide.Width, 100);
  EXPECT_EQ(wide.Height, 13);
  unit->SetCaption("x");
  EXPECT_EQ(BoundsIn(W("Unit")), (TBounds{16, 20, 30, 13}));

  // Wrapped: the width its group allows, as many lines as needed.
  const TBounds wrap = BoundsIn(W("Wrap"));
  EXPECT_EQ(wrap.Width, 250 - 8 - 8);
  EXPECT_GE(wrap.Height, 2 * LineHeight(W("Wrap")));
  EXPECT_FALSE(::GetWindowLongPtrW(W("Wrap"), GWL_STYLE) & SS_LEFTNOWORDWRAP);

  struct TRow {
    const char* Name;
    LONG Height, Weight;
    BYTE Underline;
  };
  for (const TRow& row : {TRow{"Wrap", -11, FW_NORMAL, 0}, TRow{"Warn", -16, FW_BOLD, 0},
                          TRow{"Unit", -11, FW_NORMAL, 1}, TRow{"Ok", -11, FW_NORMAL, 0}}) {
    SCOPED_TRACE(row.Name);
    const LOGFONTW f = FontOf(W(row.Name));
    EXPECT_EQ(f.lfHeight, row.Height);
    EXPECT_EQ(f.lfWeight, row.Weight);
    EXPECT_EQ(f.lfUnderline, row.Underline);
    EXPECT_STREQ(f.lfFaceName, L"MS Sans Serif");
  }
  EXPECT_GE(BoundsIn(W("Warn")).Height, 16);
}

TEST_F(Win32Controls, ColoursComeFromTheControlOrItsParent) {
  C("ReadOnly")->SetColor(clLime);
  C("Fill")->SetColor(clAqua);
  const COLORREF background = ::GetSysColor(COLOR_INACTIVECAPTION);
  const COLORREF window = ::GetSysColor(COLOR_WINDOW);
  struct TRow {
    const char* Name;
    UINT Message;  // what the control sends its parent
    COLORREF Brush;
  };
  const TRow rows[] = {
      {"ReadOnly", WM_CTLCOLORSTATIC, RGB(0, 255, 0)},
      {"Fill", WM_CTLCOLOREDIT, RGB(0, 255, 255)},
      {"Hidden", WM_CTLCOLOREDIT, window},
      {"Unit", WM_CTLCOLORSTATIC, background},
      {"Warn", WM_CTLCOLORSTATIC, background},
  };
  HDC dc = ::CreateCompatibleDC(nullptr);
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const HWND w = W(row.Name);
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        ::GetParent(w), row.Message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(w)));
    LOGBRUSH lb{};
    ASSERT_TRUE(::GetObjectW(brush, sizeof lb, &lb));
    EXPECT_EQ(lb.lbColor, row.Brush);
  }
  // The warning's text is red.
  ::SendMessageW(::GetParent(W("Warn")), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(W("Warn")));
  EXPECT_EQ(::GetTextColor(dc), RGB(255, 0, 0));
  ::DeleteDC(dc);
}

TEST_F(Win32Controls, TabVisitsTheChainInOrderSkippingDisabledAndHidden) {
  Form->Show();
  const HWND form = WindowOf(*Form);
  EXPECT_EQ(::GetFocus(), W("Fill"));
  const std::vector<HWND> expected = {W("Fill"),   W("ReadOnly"), W("Spin"),
                                      W("Sorted"), W("Fit"),      W("Ok")};
  std::vector<HWND> visited;
  HWND at = ::GetNextDlgTabItem(form, nullptr, FALSE);
  while (at && visited.size() < 20) {
    if (!visited.empty() && at == visited.front()) break;
    visited.push_back(at);
    at = ::GetNextDlgTabItem(form, at, FALSE);
  }
  EXPECT_EQ(visited, expected);
  EXPECT_TRUE(::GetWindowLongPtrW(W("Off"), GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(::GetWindowLongPtrW(W("Unit"), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(Win32Controls, EditsReportEveryChangeOfTheirTextOnce) {
  auto* edit = C<TEdit>("Fill");
  int changes = 0;
  edit->OnChange = [&] { ++changes; };
  const HWND w = W("Fill");
  struct TStep {
    const char* What;
    std::function<void()> Do;
    int Changes;
  };
  const TStep steps[] = {
      {"program", [&] { edit->SetText("°C"); }, 1},
      {"program, same text", [&] { edit->SetText("°C"); }, 0},
      {"WM_SETTEXT", [&] { ::SendMessageW(w, WM_SETTEXT, 0, LPARAM(L"typed")); }, 1},
      {"WM_SETTEXT, same text", [&] { ::SendMessageW(w, WM_SETTEXT, 0, LPARAM(L"typed")); }, 0},
      {"EM_REPLACESEL",
       [&] {
         ::SendMessageW(w, EM_SETSEL, 5, 5);
         ::SendMessageW(w, EM_REPLACESEL, TRUE, LPARAM(L"!"));
       },
       1},
  };
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.What);
    changes = 0;
    step.Do();
    EXPECT_EQ(changes, step.Changes);
  }
  EXPECT_EQ(edit->Text(), "typed!");
  ::SendMessageW(w, EM_SETSEL, 0, 0);
  edit->SetText("°C");
  EXPECT_EQ(TextOf(w), L"°C");
  DWORD from = 0, to = 0;  // the system leaves it in front: typing on would go there
  ::SendMessageW(w, EM_GETSEL, WPARAM(&from), LPARAM(&to));
  EXPECT_EQ(from, 2u) << "the caret after the new text";
  EXPECT_EQ(to, 2u);
}

TEST_F(Win32Controls, SpinEditsKeepTheirRange) {
  auto* spin = C<TSpinEdit>("Spin");
  int changes = 0;
  spin->OnChange = [&] { ++changes; };
  const HWND w = W("Spin");
  EXPECT_TRUE(::GetWindowLongPtrW(w, GWL_STYLE) & ES_NUMBER);
  EXPECT_EQ(::SendMessageW(w, EM_GETLIMITTEXT, 0, 0), 2);
  int low = 0, high = 0;
  ::SendMessageW(SpinButtonOf(*spin), UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
  EXPECT_EQ(low, 1);
  EXPECT_EQ(high, 99);
  struct TStep {
    const char* What;
    std::function<void()> Do;
    int Value, Changes;
    const wchar_t* Shown;
  };
  const TStep steps[] = {
      {"set", [&] { spin->SetValue(7); }, 7, 1, L"7"},
      {"set, same value", [&] { spin->SetValue(7); }, 7, 0, L"7"},
      {"set above the range", [&] { spin->SetValue(1000); }, 99, 1, L"99"},
      {"typed", [&] { ::SendMessageW(w, WM_SETTEXT, 0, LPARAM(L"42")); }, 42, 1, L"42"},
      {"emptied", [&] { ::SendMessageW(w, WM_SETTEXT, 0, LPARAM(L"")); }, 0, 1, L""},
      {"up arrow",
       [&] {
         ::SendMessageW(w, WM_SETTEXT, 0, LPARAM(L"50"));
         ::SendMessageW(w, WM_KEYDOWN, VK_UP, 0);
       },
       51, 2, L"51"},
  };
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.What);
    changes = 0;
    step.Do();
    EXPECT_EQ(spin->Value(), step.Value);
    EXPECT_EQ(changes, step.Changes);
    EXPECT_EQ(TextOf(w), step.Shown);
  }

  // The up button held for a second: one step on the press and one at each
  // repeat (at 500, 700 and 900 ms at the most; the system's own pace would
  // be some twenty), none after the release.
  spin->SetValue(10);
  const HWND button = SpinButtonOf(*spin);
  ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  RunMessagesFor(std::chrono::milliseconds(1000));
  ::SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  const int held = spin->Value();
  EXPECT_GE(held, 12) << "no repeat while held";
  EXPECT_LE(held, 14) << "repeats faster than every 200 ms";
  RunMessagesFor(std::chrono::milliseconds(300));
  EXPECT_EQ(spin->Value(), held);
}

TEST_F(Win32Controls, CombosReportOnlyTheUsersPick) {
  auto* combo = C<TComboBox>("Sorted");
  int changes = 0;
  combo->OnChange = [&] { ++changes; };
  const HWND w = W("Sorted");
  const auto items = [&] {
    std::vector<std::string> all;
    for (int i = 0; i < combo->ItemCount(); ++i) all.push_back(combo->Item(i));
    return all;
  };
  EXPECT_EQ(items(), (std::vector<std::string>{"Apple", "fig", "pear"}));
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "pick...");

  combo->SetItemIndex(1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(TextOf(w), L"fig");

  // The user's pick: the list's selection, then its notification.
  std::string seen;
  combo->OnChange = [&] {
    ++changes;
    seen = combo->Text();
  };
  ::SendMessageW(w, CB_SETCURSEL, 2, 0);
  Notify(w, CBN_SELCHANGE);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seen, "pear");

  // The system cancels a closed box that loses the focus: nothing to undo.
  Notify(w, CBN_SELENDCANCEL);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(TextOf(w), L"pear");
  // Moving through the dropped list, then closing it without a pick (Escape,
  // a click elsewhere, which puts the list's selection back first but not
  // the edit part's text): the box shows its pick again.
  ::SendMessageW(w, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(::SendMessageW(w, CB_GETDROPPEDSTATE, 0, 0));
  ::SendMessageW(w, CB_SETCURSEL, 0, 0);
  Notify(w, CBN_SELCHANGE);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(::GetComboBoxInfo(w, &info));
  ::SendMessageW(info.hwndList, LB_SETCURSEL, 2, 0);
  Notify(w, CBN_CLOSEUP);  // before the cancel: the system keeps no order
  Notify(w, CBN_SELENDCANCEL);
  ::SendMessageW(w, CB_SHOWDROPDOWN, FALSE, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(TextOf(w), L"pear");

  combo->AddItem("banana");
  combo->AddItem("Zucchini");
  EXPECT_EQ(items(), (std::vector<std::string>{"Apple", "banana", "fig", "pear", "Zucchini"}));
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(combo->Text(), "pear");
  combo->DeleteItem(0);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), "pear");
  combo->SetText("none of them");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(TextOf(w), L"none of them");
  EXPECT_EQ(changes, 1);
  if (!UnderWine()) {  // Wine keeps the font's height for the items of a plain combo box
    EXPECT_EQ(::SendMessageW(w, CB_GETITEMHEIGHT, 0, 0), 13);
  }
}

TEST_F(Win32Controls, FitItemsComboGrowsWithinItsParent) {
  auto* combo = C<TComboBox>("Fit");
  EXPECT_EQ(BoundsIn(W("Fit")).Width, 60);
  combo->AddItem("an item rather longer than sixty pixels");
  const int grown = BoundsIn(W("Fit")).Width;
  EXPECT_GT(grown, 120);
  EXPECT_LT(grown, 250 - 6 - 8);
  combo->AddItem(std::string(200, 'W'));
  EXPECT_EQ(BoundsIn(W("Fit")).Width, 250 - 6 - 8);
  EXPECT_EQ(BoundsIn(W("Fit")).Height, 21);
}

TEST_F(Win32Controls, ClicksAndClosingReachTheControls) {
  int unit = 0, ok = 0, closed = 0;
  C<TLabel>("Unit")->OnClick = [&] { ++unit; };
  C<TButton>("Ok")->OnClick = [&] { ++ok; };
  Form->OnClose = [&] { ++closed; };
  Notify(W("Unit"), STN_CLICKED);
  ::SendMessageW(W("Ok"), BM_CLICK, 0, 0);
  EXPECT_EQ(unit, 1);
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(::GetWindowLongPtrW(W("Unit"), GWL_STYLE) & SS_NOTIFY);
  EXPECT_FALSE(::GetWindowLongPtrW(W("Warn"), GWL_STYLE) & SS_NOTIFY);

  const HWND form = WindowOf(*Form);
  ::SendMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(::IsWindow(form));
  EXPECT_EQ(WindowOf(*C("Ok")), nullptr);
  Form.reset();  // after its windows went
}

}  // namespace
