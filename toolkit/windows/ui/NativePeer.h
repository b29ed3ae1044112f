#pragma once

// Inside the Windows backend: what every control's peer has in common, and
// what the controls of one form share. Not for the program.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "toolkit/ControlPeer.h"
#include "toolkit/Controls.h"

std::wstring Widen(const std::string& Text);
std::string Narrow(const std::wstring& Text);
std::string WindowTextOf(HWND Window);
// A system colour (or clDefault, as SystemDefault) resolved to RGB.
COLORREF ColorRefOf(TColor Color, int SystemDefault);
// Relative to the parent's client area.
TBounds BoundsOf(HWND Window);
int ParentClientWidth(HWND Window);
void InitControls();  // the common controls and our window classes, once

// What the controls of a form share; the form's peer owns it and outlives
// the controls' peers.
struct TFormLook {
  TFormLook(const TFormDescription& Description);
  ~TFormLook();
  TFormLook(const TFormLook&) = delete;
  TFormLook& operator=(const TFormLook&) = delete;
  HFONT FontFor(TFontStyle Style) const;
  void SetBackground(COLORREF Color);

  HFONT Font, WarningFont, LinkFont;
  COLORREF Background = 0;
  HBRUSH BackgroundBrush = nullptr;
  HWND Tooltip = nullptr;  // owned by the form's window, goes with it
  int NextId = 1000;       // of the form's next child window
};

// The peer behind a window: the containers (form, group box) route the
// window's notifications to it. The window holds it in a property and tells
// it when it goes.
class TNativePeer {
 public:
  TNativePeer(TWinControl& Control, TFormLook& Look) : FControl(Control), FLook(Look) {}
  virtual ~TNativePeer();
  TNativePeer(const TNativePeer&) = delete;
  TNativePeer& operator=(const TNativePeer&) = delete;

  static TNativePeer* Of(HWND Window);
  static TNativePeer& Of(const TWinControl& Control);

  HWND Handle() const { return FHandle; }
  TWinControl& Control() const { return FControl; }
  TFormLook& Look() const { return FLook; }
  // The windows that make up the control: its own first.
  virtual std::vector<HWND> Parts() const { return {FHandle}; }
  virtual bool IsContainer() const { return false; }

  // From the container, on the main thread.
  virtual void Command(WORD /*Code*/) {}
  // The brush for WM_CTLCOLOR*; nullptr: the container's background.
  virtual HBRUSH ControlColor(HDC /*Dc*/) { return nullptr; }
  virtual bool HandCursor() const { return false; }

 protected:
  // Takes over Window; reports stay off until Unmute (the control has no peer
  // while its peer is being made).
  void Attach(HWND Window);
  void Unmute() { FMuted = false; }
  bool Muted() const { return FMuted; }
  void SetFont(HWND Window, TFontStyle Style);
  std::string StoredHint() const { return FHint; }
  // Hints shown by the form's tooltip for each of the windows.
  void SetHintOn(const std::vector<HWND>& Windows, const std::string& Hint);
  // After the control was shown or hidden (moves are noticed): the system
  // tells no hidden window's child of either.
  void AreaChanged();

 private:
  static LRESULT CALLBACK Subclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void RemoveTools();
  // The hint over the control's area, told by its container: a disabled
  // window gets no mouse, its container does.
  TTTOOLINFOW AreaTool() const;
  RECT Area() const;

  TWinControl& FControl;
  TFormLook& FLook;
  HWND FHandle = nullptr;
  bool FMuted = true;
  std::string FHint;
  std::vector<HWND> FTools;
  bool FAreaTool = false;
};

// The parts of TControlPeer that work alike for every window.
template <class TBase>
class TWindowPeer : public TBase, public TNativePeer {
 public:
  using TNativePeer::TNativePeer;
  TBounds Bounds() const override { return BoundsOf(Handle()); }
  void SetBounds(const TBounds& B) override {
    ::SetWindowPos(Handle(), nullptr, B.Left, B.Top, B.Width, B.Height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  bool Visible() const override {
    return (::GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
  }
  void SetVisible(bool Value) override {
    for (HWND h : Parts()) ::ShowWindow(h, Value ? SW_SHOWNA : SW_HIDE);
    AreaChanged();
  }
  bool Enabled() const override {
    return (::GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_DISABLED) == 0;
  }
  void SetEnabled(bool Value) override {
    for (HWND h : Parts()) ::EnableWindow(h, Value);
  }
  std::string Hint() const override { return StoredHint(); }
  void SetHint(const std::string& Value) override { SetHintOn(Parts(), Value); }
  void SetColor(TColor) override {}
  std::string Text() const override { return WindowTextOf(Handle()); }
  void SetText(const std::string& Value) override {
    ::SetWindowTextW(Handle(), Widen(Value).c_str());
  }
};

// The form's and the group boxes' window procedures share this: it routes
// the controls' notifications to their peers. True when it handled Message.
bool ContainerMessage(HWND Window, UINT Message, WPARAM W, LPARAM L, LRESULT& Result);
// Runs a report of a peer; an exception goes to the application's handler
// (it must not unwind through the system's frames).
template <class F>
void Report(F&& Action);
void ReportException();

template <class F>
void Report(F&& Action) {
  try {
    Action();
  } catch (...) {
    ReportException();
  }
}

extern const wchar_t kFormClass[];
extern const wchar_t kGroupClass[];
