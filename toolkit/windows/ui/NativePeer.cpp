#include "toolkit/windows/ui/NativePeer.h"

#include <exception>
#include <stdexcept>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/ControlPeer.h"

const wchar_t kFormClass[] = L"KalmetForm";
const wchar_t kGroupClass[] = L"KalmetGroupBox";

LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);   // FormPeer.cpp
LRESULT CALLBACK GroupWindowProc(HWND, UINT, WPARAM, LPARAM);  // ControlPeer.cpp

namespace {

constexpr wchar_t kPeerProperty[] = L"KalmetPeer";
constexpr UINT_PTR kSubclassId = 1;
// IDC_ARROW and IDC_HAND, which the headers give as narrow strings here.
const wchar_t* const kArrowCursor = MAKEINTRESOURCEW(32512);
const wchar_t* const kHandCursor = MAKEINTRESOURCEW(32649);
ATOM FormAtom = 0;

}  // namespace

std::wstring Widen(const std::string& Text) {
  if (Text.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& Text) {
  if (Text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), narrow.data(), n,
                        nullptr, nullptr);
  return narrow;
}

std::string WindowTextOf(HWND Window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(Window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(Window, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

COLORREF ColorRefOf(TColor Color, int SystemDefault) {
  if (Color == clDefault) return ::GetSysColor(SystemDefault);
  if (IsSystemColor(Color)) return ::GetSysColor(static_cast<int>(Color & 0xFF));
  return static_cast<COLORREF>(Color);
}

TBounds BoundsOf(HWND Window) {
  RECT r;
  if (!::GetWindowRect(Window, &r)) return {};
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Window), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int ParentClientWidth(HWND Window) {
  RECT r{};
  ::GetClientRect(::GetParent(Window), &r);
  return r.right;
}

void InitControls() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.hInstance = ::GetModuleHandleW(nullptr);
    c.hCursor = ::LoadCursorW(nullptr, kArrowCursor);
    c.lpfnWndProc = FormWindowProc;
    c.lpszClassName = kFormClass;
    FormAtom = ::RegisterClassExW(&c);
    c.lpfnWndProc = GroupWindowProc;
    c.lpszClassName = kGroupClass;
    return FormAtom && ::RegisterClassExW(&c);
  }();
  if (!done) throw std::runtime_error("cannot register the window classes");
}

bool IsFormWindow(HWND Window) {
  return FormAtom && ::GetClassLongPtrW(Window, GCW_ATOM) == FormAtom;
}

void ReportException() {
  Application().HandleException(std::current_exception());
}

// --- the look of a form --------------------------------------------------------------------------

namespace {

HFONT MakeFont(const std::wstring& Face, int PixelHeight, bool Bold, bool Underline) {
  return ::CreateFontW(-PixelHeight, 0, 0, 0, Bold ? FW_BOLD : FW_NORMAL, FALSE, Underline, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, Face.c_str());
}

}  // namespace

TFormLook::TFormLook(const TFormDescription& D) {
  const std::wstring face = Widen(D.FontName);
  Font = MakeFont(face, D.FontPixelHeight, false, false);
  WarningFont = MakeFont(face, 16, true, false);
  LinkFont = MakeFont(face, D.FontPixelHeight, false, true);
  SetBackground(ColorRefOf(D.Color, COLOR_BTNFACE));
}

TFormLook::~TFormLook() {
  ::DeleteObject(Font);
  ::DeleteObject(WarningFont);
  ::DeleteObject(LinkFont);
  ::DeleteObject(BackgroundBrush);
}

HFONT TFormLook::FontFor(TFontStyle Style) const {
  switch (Style) {
    case TFontStyle::Warning:
      return WarningFont;
    case TFontStyle::Link:
      return LinkFont;
    case TFontStyle::WindowFont:
      break;
  }
  return Font;
}

void TFormLook::SetBackground(COLORREF Color) {
  if (BackgroundBrush) ::DeleteObject(BackgroundBrush);
  Background = Color;
  BackgroundBrush = ::CreateSolidBrush(Color);
}

// --- every peer ----------------------------------------------------------------------------------

TNativePeer::~TNativePeer() {
  RemoveTools();
  if (!FHandle) return;  // went with its form
  const HWND window = FHandle;
  FHandle = nullptr;
  ::RemoveWindowSubclass(window, Subclass, kSubclassId);
  ::RemovePropW(window, kPeerProperty);
  ::DestroyWindow(window);
}

TNativePeer* TNativePeer::Of(HWND Window) {
  return Window ? static_cast<TNativePeer*>(::GetPropW(Window, kPeerProperty)) : nullptr;
}

TNativePeer& TNativePeer::Of(const TWinControl& Control) {
  return dynamic_cast<TNativePeer&>(Control.Peer());
}

void TNativePeer::Attach(HWND Window) {
  if (!Window)
    throw std::runtime_error("cannot create the window of " + FControl.Name() + ": error " +
                             std::to_string(::GetLastError()));
  FHandle = Window;
  ::SetPropW(Window, kPeerProperty, this);
  ::SetWindowSubclass(Window, Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TNativePeer::Subclass(HWND Window, UINT Message, WPARAM W, LPARAM L, UINT_PTR,
                                       DWORD_PTR Data) {
  if (Message == WM_NCDESTROY) {
    auto* peer = reinterpret_cast<TNativePeer*>(Data);
    ::RemoveWindowSubclass(Window, Subclass, kSubclassId);
    ::RemovePropW(Window, kPeerProperty);
    peer->FHandle = nullptr;
    peer->FTools.clear();  // the tooltip goes with the form's window
    peer->FAreaTool = false;
  }
  if (Message == WM_WINDOWPOSCHANGED) reinterpret_cast<TNativePeer*>(Data)->AreaChanged();
  return ::DefSubclassProc(Window, Message, W, L);
}

void TNativePeer::AreaChanged() {
  if (!FAreaTool) return;
  TTTOOLINFOW ti = AreaTool();
  ::SendMessageW(FLook.Tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TNativePeer::SetFont(HWND Window, TFontStyle Style) {
  ::SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(FLook.FontFor(Style)), FALSE);
}

void TNativePeer::RemoveTools() {
  if (!FLook.Tooltip || !::IsWindow(FLook.Tooltip)) return;
  for (HWND tool : FTools) {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = ::GetParent(tool);
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ::SendMessageW(FLook.Tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  FTools.clear();
  if (FAreaTool) {
    TTTOOLINFOW ti = AreaTool();
    ::SendMessageW(FLook.Tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    FAreaTool = false;
  }
}

// The windows of the control that sit in its container, together; none while
// it is hidden (its hint must not show over what is there instead).
RECT TNativePeer::Area() const {
  const HWND container = ::GetParent(FHandle);
  RECT area{};
  if (!(::GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_VISIBLE)) return area;
  for (HWND part : FTools) {
    if (::GetParent(part) != container) continue;  // inside another part
    RECT r;
    ::GetWindowRect(part, &r);
    ::MapWindowPoints(HWND_DESKTOP, container, reinterpret_cast<POINT*>(&r), 2);
    ::UnionRect(&area, &area, &r);
  }
  return area;
}

TTTOOLINFOW TNativePeer::AreaTool() const {
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = ::GetParent(FHandle);
  ti.uId = static_cast<UINT_PTR>(::GetDlgCtrlID(FHandle));  // a child's own, never a window's
  ti.rect = Area();
  return ti;
}

void TNativePeer::SetHintOn(const std::vector<HWND>& Windows, const std::string& Hint) {
  FHint = Hint;
  RemoveTools();
  if (Hint.empty() || !FLook.Tooltip || !::IsWindow(FLook.Tooltip)) return;
  std::wstring text = Widen(Hint);
  for (HWND tool : Windows) {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(tool);
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = text.data();
    if (::SendMessageW(FLook.Tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)))
      FTools.push_back(tool);
  }
  if (!(::GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD)) return;  // the form has no container
  TTTOOLINFOW ti = AreaTool();
  ti.lpszText = text.data();
  FAreaTool = ::SendMessageW(FLook.Tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}

// --- containers ----------------------------------------------------------------------------------

bool ContainerMessage(HWND Window, UINT Message, WPARAM W, LPARAM L, LRESULT& Result) {
  TNativePeer* self = TNativePeer::Of(Window);
  switch (Message) {
    case WM_COMMAND:
      if (TNativePeer* peer = TNativePeer::Of(reinterpret_cast<HWND>(L))) {
        Report([&] { peer->Command(HIWORD(W)); });
        Result = 0;
        return true;
      }
      return false;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      const auto from = reinterpret_cast<HWND>(L);
      // A combo box's edit part asks through the combo box.
      TNativePeer* peer = TNativePeer::Of(from);
      if (!peer) peer = TNativePeer::Of(::GetParent(from));
      const auto dc = reinterpret_cast<HDC>(W);
      HBRUSH brush = peer ? peer->ControlColor(dc) : nullptr;
      if (!brush && Message != WM_CTLCOLOREDIT && Message != WM_CTLCOLORLISTBOX && self) {
        ::SetBkMode(dc, TRANSPARENT);
        brush = self->Look().BackgroundBrush;
      }
      if (!brush) return false;
      Result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    case WM_SETCURSOR:
      if (TNativePeer* peer = TNativePeer::Of(reinterpret_cast<HWND>(W));
          peer && peer->HandCursor()) {
        ::SetCursor(::LoadCursorW(nullptr, kHandCursor));
        Result = TRUE;
        return true;
      }
      return false;
    case WM_ERASEBKGND: {
      if (!self) return false;
      RECT r;
      ::GetClientRect(Window, &r);
      ::FillRect(reinterpret_cast<HDC>(W), &r, self->Look().BackgroundBrush);
      Result = 1;
      return true;
    }
    default:
      // WM_NOTIFY and WM_VSCROLL (the up-down's) need nothing: a spin edit's
      // value changes through its edit part's text.
      return false;
  }
}
