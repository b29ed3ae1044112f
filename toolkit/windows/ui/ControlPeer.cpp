// The controls inside a form: labels (STATIC), edits (EDIT), spin edits (an
// EDIT with an up-down control), combo boxes (COMBOBOX), buttons (BUTTON)
// and group boxes (a window class of ours that draws its frame itself).
// Longer than most files here: one small class per kind of control, sharing
// the helpers at the top.

#include <algorithm>
#include <cstdlib>

#include <windowsx.h>

#include "toolkit/windows/ui/ControlPeer.h"
#include "toolkit/windows/ui/NativePeer.h"

namespace {

// Each child of a form has an id of its own (its notices are routed by its
// window, not by the id).
HWND MakeChild(const wchar_t* Class, const std::string& Text, DWORD Style, DWORD ExStyle,
               HWND Parent, const TBounds& B, TFormLook& Look) {
  return ::CreateWindowExW(ExStyle, Class, Widen(Text).c_str(), WS_CHILD | Style, B.Left, B.Top,
                           B.Width, B.Height, Parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(Look.NextId++)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

DWORD Common(const TControlDescription& D) {
  return (D.Visible ? WS_VISIBLE : 0) | (D.Enabled ? 0 : WS_DISABLED);
}

// What Text needs in Window's font: one line each, or wrapped at Width.
SIZE TextSize(HWND Window, const std::wstring& Text, int Width = 0) {
  HDC dc = ::GetDC(Window);
  const auto old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(Window, WM_GETFONT, 0, 0)));
  RECT r{0, 0, Width, 0};
  const UINT wrap = Width > 0 ? DT_WORDBREAK : 0;
  if (!Text.empty()) ::DrawTextW(dc, Text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | wrap);
  ::SelectObject(dc, old);
  ::ReleaseDC(Window, dc);
  return {r.right, r.bottom};
}

void Resize(HWND Window, int Width, int Height) {
  ::SetWindowPos(Window, nullptr, 0, 0, Width, Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- group box -------------------------------------------------------------------------------

class TGroupPeer : public TWindowPeer<TControlPeer> {
 public:
  TGroupPeer(TWinControl& C, HWND Parent, TFormLook& Look, const TControlDescription& D)
      : TWindowPeer(C, Look), FBevelled(D.Bevelled) {
    Attach(MakeChild(kGroupClass, D.Text, Common(D) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                     WS_EX_CONTROLPARENT, Parent, D.Bounds, Look));
    SetHint(D.Hint);
    Unmute();
  }
  bool IsContainer() const override { return true; }
  void SetText(const std::string& Value) override {
    TWindowPeer::SetText(Value);
    ::InvalidateRect(Handle(), nullptr, TRUE);
  }
  void Paint(HDC Dc) const;

 private:
  bool FBevelled;
};

// The caption cut to Room pixels with an ellipsis.
std::wstring Elided(HDC Dc, std::wstring Text, int Room) {
  SIZE s;
  ::GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &s);
  if (s.cx <= Room) return Text;
  while (!Text.empty()) {
    Text.pop_back();
    const std::wstring cut = Text + L"\u2026";
    ::GetTextExtentPoint32W(Dc, cut.c_str(), static_cast<int>(cut.size()), &s);
    if (s.cx <= Room) return cut;
  }
  return Text;
}

void TGroupPeer::Paint(HDC Dc) const {
  RECT client;
  ::GetClientRect(Handle(), &client);
  const auto old = ::SelectObject(Dc, Look().Font);
  TEXTMETRICW tm;
  ::GetTextMetricsW(Dc, &tm);
  // The frame from the middle of the caption down; the caption on the background.
  RECT frame = client;
  frame.top = tm.tmHeight / 2;
  ::DrawEdge(Dc, &frame, FBevelled ? EDGE_SUNKEN : EDGE_ETCHED, BF_RECT);
  const std::wstring caption = Elided(Dc, Widen(Text()), client.right - 16);
  if (!caption.empty()) {
    SIZE s;
    ::GetTextExtentPoint32W(Dc, caption.c_str(), static_cast<int>(caption.size()), &s);
    RECT r{8, 0, 8 + s.cx, tm.tmHeight};
    ::FillRect(Dc, &r, Look().BackgroundBrush);
    ::SetBkMode(Dc, TRANSPARENT);
    ::SetTextColor(Dc, ::GetSysColor(Enabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    ::DrawTextW(Dc, caption.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
  }
  ::SelectObject(Dc, old);
}

// --- label -----------------------------------------------------------------------------------

class TLabelPeer : public TWindowPeer<TControlPeer> {
 public:
  TLabelPeer(TWinControl& C, HWND Parent, TFormLook& Look, const TControlDescription& D)
      : TWindowPeer(C, Look),
        FDesigned(D.Bounds),
        FStyle(D.Font),
        FWordWrap(D.WordWrap),
        FClickable(D.Clickable) {
    const DWORD style =
        SS_NOPREFIX | (D.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP) | (D.Clickable ? SS_NOTIFY : 0);
    Attach(MakeChild(L"STATIC", D.Text, Common(D) | style, 0, Parent, D.Bounds, Look));
    SetFont(Handle(), D.Font);
    Fit();
    SetHint(D.Hint);
    Unmute();
  }
  void SetText(const std::string& Value) override {
    TWindowPeer::SetText(Value);
    Fit();
  }
  void Command(WORD Code) override {
    if (Code == STN_CLICKED) Control().PeerClicked();
  }
  HBRUSH ControlColor(HDC Dc) override {
    ::SetBkMode(Dc, TRANSPARENT);
    ::SetTextColor(
        Dc, FStyle == TFontStyle::Warning ? RGB(255, 0, 0) : ::GetSysColor(COLOR_WINDOWTEXT));
    return Look().BackgroundBrush;
  }
  bool HandCursor() const override { return FClickable; }

 private:
  // As large as the caption needs, never smaller than designed; a wrapping
  // label takes the room its parent gives.
  void Fit() {
    const std::wstring text = Widen(Text());
    const TBounds at = Bounds();
    if (FWordWrap) {
      const int width = ParentClientWidth(Handle()) - 8 - at.Left;
      Resize(Handle(), width, std::max<int>(FDesigned.Height, TextSize(Handle(), text, width).cy));
    } else {
      const SIZE need = TextSize(Handle(), text);
      Resize(Handle(), std::max<int>(FDesigned.Width, need.cx),
             std::max<int>(FDesigned.Height, need.cy));
    }
    ::InvalidateRect(Handle(), nullptr, TRUE);
  }

  TBounds FDesigned;
  TFontStyle FStyle;
  bool FWordWrap;
  bool FClickable;
};

// --- edit ------------------------------------------------------------------------------------

// An edit's background: the system's, or a colour of its own (also read-only).
class TEditBackground {
 public:
  ~TEditBackground() { Clear(); }
  void Set(TColor Color) {
    Clear();
    if (Color != clDefault) {
      FColor = ColorRefOf(Color, COLOR_WINDOW);
      FBrush = ::CreateSolidBrush(FColor);
    }
  }
  HBRUSH Apply(HDC Dc) const {
    ::SetTextColor(Dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(Dc, FBrush ? FColor : ::GetSysColor(COLOR_WINDOW));
    return FBrush ? FBrush : ::GetSysColorBrush(COLOR_WINDOW);
  }

 private:
  void Clear() {
    if (FBrush) ::DeleteObject(FBrush);
    FBrush = nullptr;
  }
  COLORREF FColor = 0;
  HBRUSH FBrush = nullptr;
};

// What an edit and a spin edit's edit part share: every change of the text
// is reported, and the background is the control's colour.
template <typename TBase>
class TEditPart : public TWindowPeer<TBase> {
 public:
  using TWindowPeer<TBase>::TWindowPeer;
  void Command(WORD Code) override {
    if (Code == EN_CHANGE && !this->Muted()) this->Control().PeerChanged();
  }
  void SetColor(TColor Value) override {
    FBackground.Set(Value);
    ::InvalidateRect(this->Handle(), nullptr, TRUE);
  }
  HBRUSH ControlColor(HDC Dc) override { return FBackground.Apply(Dc); }
  // The caret after the new text, where the user types on.
  void SetText(const std::string& Value) override {
    TWindowPeer<TBase>::SetText(Value);
    const auto end = ::GetWindowTextLengthW(this->Handle());
    ::SendMessageW(this->Handle(), EM_SETSEL, end, end);
  }

 private:
  TEditBackground FBackground;
};

class TEditPeer : public TEditPart<TControlPeer> {
 public:
  TEditPeer(TWinControl& C, HWND Parent, TFormLook& Look, const TControlDescription& D)
      : TEditPart(C, Look) {
    TBounds b = D.Bounds;
    if (D.Growth == TGrowth::FillParent) {
      RECT r{};
      ::GetClientRect(Parent, &r);
      b.Width = r.right - 6 - b.Left;
    }
    const DWORD style = ES_AUTOHSCROLL | (D.ReadOnly ? ES_READONLY : 0);
    Attach(MakeChild(L"EDIT", D.Text, Common(D) | style, WS_EX_CLIENTEDGE, Parent, b, Look));
    SetFont(Handle(), D.Font);
    SetHint(D.Hint);
    Unmute();
  }
};

// --- spin edit -------------------------------------------------------------------------------

class TSpinEditPeer : public TEditPart<TSpinPeer> {
 public:
  TSpinEditPeer(TWinControl& C, HWND Parent, TFormLook& Look, const TControlDescription& D)
      : TEditPart(C, Look), FMin(D.MinValue), FMax(D.MaxValue) {
    Attach(MakeChild(L"EDIT", D.Text, Common(D) | ES_NUMBER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                     Parent, D.Bounds, Look));
    SetFont(Handle(), D.Font);
    if (D.MaxLength > 0) ::SendMessageW(Handle(), EM_LIMITTEXT, D.MaxLength, 0);
    FButton =
        MakeChild(UPDOWN_CLASSW, "",
                  Common(D) | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0,
                  Parent, {0, 0, ::GetSystemMetrics(SM_CXVSCROLL), D.Bounds.Height}, Look);
    ::SendMessageW(FButton, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
    ::SendMessageW(FButton, UDM_SETRANGE32, FMin, FMax);
    // Steps of one (the system would speed up), repeated at our pace.
    UDACCEL step{0, 1};
    ::SendMessageW(FButton, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    ::SetWindowSubclass(FButton, HeldButton, kButtonSubclass, reinterpret_cast<DWORD_PTR>(this));
    // The pair takes the designed bounds, however the up-down placed itself.
    SetBounds(D.Bounds);
    SetHint(D.Hint);
    Unmute();
  }
  std::vector<HWND> Parts() const override {
    return Handle() ? std::vector<HWND>{Handle(), FButton} : std::vector<HWND>{};
  }
  TBounds Bounds() const override {
    TBounds b = BoundsOf(Handle());
    b.Width = BoundsOf(FButton).Left + BoundsOf(FButton).Width - b.Left;
    return b;
  }
  void SetBounds(const TBounds& B) override {
    const int button = BoundsOf(FButton).Width;
    ::SetWindowPos(Handle(), nullptr, B.Left, B.Top, B.Width - button, B.Height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(FButton, nullptr, B.Left + B.Width - button, B.Top, button, B.Height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  int Value() const override {
    const std::string text = Text();
    if (text.empty()) return 0;
    return std::clamp(static_cast<int>(std::strtol(text.c_str(), nullptr, 10)), FMin, FMax);
  }
  void SetValue(int Value) override { SetText(std::to_string(Value)); }
  HWND Button() const { return FButton; }
  ~TSpinEditPeer() override {
    if (!::IsWindow(FButton)) return;
    ::RemoveWindowSubclass(FButton, HeldButton, kButtonSubclass);
    ::DestroyWindow(FButton);
  }

 private:
  static constexpr UINT_PTR kButtonSubclass = 3;
  static constexpr UINT_PTR kRepeatTimer = 0x4B52;  // not one of the up-down's own
  // The up-down makes the first step of a press itself; the repeats while the
  // button is held are ours (its own come far faster), one step each in the
  // direction of the press, through the text as a typed value would.
  static LRESULT CALLBACK HeldButton(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR,
                                     DWORD_PTR Data) {
    auto* peer = reinterpret_cast<TSpinEditPeer*>(Data);
    switch (Message) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        RECT r;
        ::GetClientRect(Window, &r);
        peer->FHeldStep = GET_Y_LPARAM(L) < (r.bottom - r.top) / 2 ? 1 : -1;
        ::SetTimer(Window, kRepeatTimer, TSpinEdit::kRepeatDelayMs, nullptr);
        break;
      }
      case WM_LBUTTONUP:
      case WM_CAPTURECHANGED:
      case WM_ENABLE:
        peer->Release();
        break;
      case WM_TIMER:
        if (W == kRepeatTimer) {
          ::SetTimer(Window, kRepeatTimer, TSpinEdit::kRepeatIntervalMs, nullptr);
          if (peer->FHeldStep != 0 && ::IsWindowEnabled(peer->Handle()))
            peer->SetValue(std::clamp(peer->Value() + peer->FHeldStep, peer->FMin, peer->FMax));
          return 0;
        }
        if (peer->FHeldStep != 0) return 0;  // the up-down's own repeat
        break;
      case WM_NCDESTROY:
        ::RemoveWindowSubclass(Window, HeldButton, kButtonSubclass);
        break;
      default:
        break;
    }
    return ::DefSubclassProc(Window, Message, W, L);
  }
  void Release() {
    FHeldStep = 0;
    ::KillTimer(FButton, kRepeatTimer);
  }

  int FMin, FMax;
  HWND FButton;  // a child of the same parent, which destroys it if it goes first
  int FHeldStep = 0;  // +1 or -1 while a button is held
};

// --- combo box -------------------------------------------------------------------------------

class TComboBoxPeer : public TWindowPeer<TComboPeer> {
 public:
  TComboBoxPeer(TWinControl& C, HWND Parent, TFormLook& Look, const TControlDescription& D)
      : TWindowPeer(C, Look), FDesigned(D.Bounds), FFitItems(D.Growth == TGrowth::FitItems) {
    TBounds dropped = D.Bounds;
    dropped.Height += 8 * D.ItemHeight + 2;  // the list shows eight items
    Attach(MakeChild(L"COMBOBOX", "", Common(D) | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0,
                     Parent, dropped, Look));
    SetFont(Handle(), D.Font);  // before the heights: the font resets them
    SetClosedHeight(D.Bounds.Height);
    ::SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, D.ItemHeight);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (::GetComboBoxInfo(Handle(), &info)) FEditPart = info.hwndItem;
    if (FEditPart && !D.Editable) ::SendMessageW(FEditPart, EM_SETREADONLY, TRUE, 0);
    if (FEditPart && D.Editable)
      ::SetWindowSubclass(FEditPart, EditPartKeys, kEditPartSubclass,
                          reinterpret_cast<DWORD_PTR>(this));
    SetHint(D.Hint);
    Unmute();
  }
  ~TComboBoxPeer() override {
    if (FEditPart && ::IsWindow(FEditPart))
      ::RemoveWindowSubclass(FEditPart, EditPartKeys, kEditPartSubclass);
  }
  std::vector<HWND> Parts() const override {
    std::vector<HWND> parts{Handle()};
    if (FEditPart) parts.push_back(FEditPart);
    return parts;
  }
  void SetVisible(bool Value) override {
    ::ShowWindow(Handle(), Value ? SW_SHOWNA : SW_HIDE);
    AreaChanged();
  }
  void SetEnabled(bool Value) override { ::EnableWindow(Handle(), Value); }
  void SetBounds(const TBounds& B) override {
    RECT r;
    ::SendMessageW(Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));
    // The height of a combo box's window is its dropped-down height.
    ::SetWindowPos(Handle(), nullptr, B.Left, B.Top, B.Width, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    SetClosedHeight(B.Height);
  }
  std::string Text() const override {
    const int index = ItemIndex();
    return index >= 0 ? Item(index) : TWindowPeer::Text();
  }
  void SetText(const std::string& Value) override {
    ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    TWindowPeer::SetText(Value);
  }
  int ItemCount() const override {
    return static_cast<int>(::SendMessageW(Handle(), CB_GETCOUNT, 0, 0));
  }
  std::string Item(int Index) const override {
    const auto n = ::SendMessageW(Handle(), CB_GETLBTEXTLEN, Index, 0);
    if (n == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    ::SendMessageW(Handle(), CB_GETLBTEXT, Index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return Narrow(text);
  }
  void InsertItem(int Index, const std::string& Text) override {
    const int picked = ItemIndex();
    ::SendMessageW(Handle(), CB_INSERTSTRING, Index, reinterpret_cast<LPARAM>(Widen(Text).c_str()));
    // The picked item stays picked, wherever the new one went.
    if (picked >= 0) Pick(Index <= picked ? picked + 1 : picked);
    FitItems();
  }
  void DeleteItem(int Index) override {
    const int picked = ItemIndex();
    ::SendMessageW(Handle(), CB_DELETESTRING, Index, 0);
    Pick(picked == Index ? -1 : picked > Index ? picked - 1 : picked);
    FitItems();
  }
  int ItemIndex() const override {
    return static_cast<int>(::SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
  }
  void SetItemIndex(int Index) override { Pick(Index); }
  bool BeingTyped() const override { return FTyped; }
  bool ListOpen() const override {
    return ::SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
  }
  // A pick: a click in the dropped list (or Enter there), or an arrow key on
  // the closed box; moving through the dropped list picks nothing yet, and a
  // list closed without a pick (Escape, a click elsewhere) shows again what
  // the box showed before it dropped.
  // A typed text is complete when the box loses the focus (or on Enter, in
  // EditPartKeys); a pick makes the edit part's text the item's, untyped.
  void Command(WORD Code) override {
    if (Muted()) return;
    const bool dropped = ListOpen();
    // The system also cancels when a closed box loses the focus: only a
    // dropped list's cancel undoes the moves through it. Its end is the pick
    // or the cancel (or the focus gone), not the close, whose notice may
    // come first.
    if (Code == CBN_DROPDOWN) {
      FDropped = true;
      FBeforeDrop = TWindowPeer::Text();
      FPickedBeforeDrop = ItemIndex() >= 0;
    }
    if (Code == CBN_SELENDCANCEL && FDropped) ShowAgainWhatWasPicked();
    if (Code == CBN_SELENDOK || Code == CBN_SELENDCANCEL || Code == CBN_KILLFOCUS)
      FDropped = false;
    if (Code == CBN_EDITCHANGE) FTyped = true;
    if (Code == CBN_SELENDOK || (Code == CBN_SELCHANGE && !dropped)) {
      FTyped = false;
      Control().PeerChanged();
    }
    if (Code == CBN_KILLFOCUS) Typed();
  }
  HBRUSH ControlColor(HDC Dc) override {
    ::SetBkColor(Dc, ::GetSysColor(COLOR_WINDOW));
    return ::GetSysColorBrush(COLOR_WINDOW);
  }

 private:
  static constexpr UINT_PTR kEditPartSubclass = 2;
  void Typed() {
    if (!FTyped) return;
    FTyped = false;
    Control().PeerTyped();
  }
  // Enter in the edit part completes the typed text. The form's dialog
  // handling would take the key for itself unless the edit part wants it.
  static LRESULT CALLBACK EditPartKeys(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR,
                                       DWORD_PTR Data) {
    auto* peer = reinterpret_cast<TComboBoxPeer*>(Data);
    const auto* msg = reinterpret_cast<const MSG*>(L);
    if (Message == WM_GETDLGCODE && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
      return ::DefSubclassProc(Window, Message, W, L) | DLGC_WANTMESSAGE;
    const bool dropped = peer->ListOpen();
    if (Message == WM_KEYDOWN && W == VK_RETURN && !dropped) {
      peer->Typed();
      return 0;
    }
    // No beep for the Enter that completed a text; in the dropped list it
    // is the pick (the edit part closes the list on it).
    if (Message == WM_CHAR && W == '\r' && !dropped) return 0;
    return ::DefSubclassProc(Window, Message, W, L);
  }
  void Pick(int Index) {
    if (ItemIndex() != Index) ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
  }
  // By the item's text: the list may have changed while it was dropped.
  void ShowAgainWhatWasPicked() {
    const std::wstring text = Widen(FBeforeDrop);
    const auto index = FPickedBeforeDrop
                           ? ::SendMessageW(Handle(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(text.c_str()))
                           : CB_ERR;
    if (index != CB_ERR) {
      // Also when the list's selection is back already: the edit part may
      // still show the item moved to.
      ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    } else {
      const bool typed = FTyped;  // as it was: this text is no typing
      ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      TWindowPeer::SetText(FBeforeDrop);
      FTyped = typed;
    }
  }
  void SetClosedHeight(int Height) {
    // The field's height sets the closed box's; the borders add what they add.
    ::SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Height - 6);
    const int got = BoundsOf(Handle()).Height;
    if (got != Height)
      ::SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                     Height - 6 + Height - got);
  }
  // As wide as the longest item and the drop button need, within the room to
  // the right, never narrower than designed.
  void FitItems() {
    if (!FFitItems) return;
    int need = 0;
    for (int i = 0; i < ItemCount(); ++i)
      need = std::max<int>(need, TextSize(Handle(), Widen(Item(i))).cx);
    // Beside the text: the frame and the drop button (what the box has that its
    // edit part has not), the edit's margins and its caret.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ::GetComboBoxInfo(Handle(), &info);
    const LRESULT margins = FEditPart ? ::SendMessageW(FEditPart, EM_GETMARGINS, 0, 0) : 0;
    need += BoundsOf(Handle()).Width - (info.rcItem.right - info.rcItem.left) + LOWORD(margins) +
            HIWORD(margins) + 2;
    const int room = ParentClientWidth(Handle()) - 6 - Bounds().Left;
    const int width = std::max(FDesigned.Width, std::min(need, room));
    RECT r;
    ::SendMessageW(Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));
    Resize(Handle(), width, r.bottom - r.top);
  }

  TBounds FDesigned;
  bool FFitItems;
  HWND FEditPart = nullptr;
  bool FTyped = false;  // typed into since the last complete text
  bool FDropped = false;    // from the list's drop to its pick or cancel
  std::string FBeforeDrop;  // what the box showed when its list dropped
  bool FPickedBeforeDrop = false;
};

// --- button ----------------------------------------------------------------------------------

class TButtonPeer : public TWindowPeer<TControlPeer> {
 public:
  TButtonPeer(TWinControl& C, HWND Parent, TFormLook& Look, const TControlDescription& D)
      : TWindowPeer(C, Look) {
    Attach(MakeChild(L"BUTTON", D.Text, Common(D) | BS_PUSHBUTTON, 0, Parent, D.Bounds, Look));
    SetFont(Handle(), D.Font);
    SetHint(D.Hint);
    Unmute();
  }
  void Command(WORD Code) override {
    if (Code == BN_CLICKED) Control().PeerClicked();
  }
};

}  // namespace

LRESULT CALLBACK GroupWindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  LRESULT result = 0;
  if (ContainerMessage(Window, Message, W, L, result)) return result;
  if (Message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(Window, &ps);
    if (auto* peer = dynamic_cast<TGroupPeer*>(TNativePeer::Of(Window))) peer->Paint(dc);
    ::EndPaint(Window, &ps);
    return 0;
  }
  if (Message == WM_ENABLE) ::InvalidateRect(Window, nullptr, TRUE);
  return ::DefWindowProcW(Window, Message, W, L);
}

std::unique_ptr<TControlPeer> CreateControlPeer(TWinControl& Control, TWinControl& Parent,
                                                const TControlDescription& D) {
  InitControls();
  TNativePeer& parent = TNativePeer::Of(Parent);
  const HWND p = parent.Handle();
  TFormLook& look = parent.Look();
  switch (D.Kind) {
    case TControlKind::GroupBox:
      return std::make_unique<TGroupPeer>(Control, p, look, D);
    case TControlKind::Label:
      return std::make_unique<TLabelPeer>(Control, p, look, D);
    case TControlKind::Edit:
      return std::make_unique<TEditPeer>(Control, p, look, D);
    case TControlKind::SpinEdit:
      return std::make_unique<TSpinEditPeer>(Control, p, look, D);
    case TControlKind::ComboBox:
      return std::make_unique<TComboBoxPeer>(Control, p, look, D);
    case TControlKind::Button:
      return std::make_unique<TButtonPeer>(Control, p, look, D);
  }
  return nullptr;
}

HWND WindowOf(const TWinControl& Control) {
  return TNativePeer::Of(Control).Handle();
}

HWND SpinButtonOf(const TSpinEdit& Control) {
  return dynamic_cast<const TSpinEditPeer&>(Control.Peer()).Button();
}
