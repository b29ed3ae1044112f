// The form: a top-level window of a class of ours with a fixed client area,
// the fonts, background and tooltip its controls share, and the Tab order.

#include <map>

#include "toolkit/windows/ui/ControlPeer.h"
#include "toolkit/windows/ui/NativePeer.h"
#include "toolkit/windows/ui/WindowEventLoop.h"

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

// Made before the window's peer and gone after it (base classes go in reverse).
struct TLookHolder {
  explicit TLookHolder(const TFormDescription& D) : Shared(D) {}
  TFormLook Shared;
};

// What the frame adds to the client area.
SIZE FrameOf(HWND Window) {
  RECT window, client;
  ::GetWindowRect(Window, &window);
  ::GetClientRect(Window, &client);
  return {window.right - window.left - client.right, window.bottom - window.top - client.bottom};
}

void SetIcons(HWND Window) {
  const HINSTANCE self = ::GetModuleHandleW(nullptr);
  const auto load = [&](int Width, int Height) {
    return ::LoadImageW(self, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(Width),
                        ::GetSystemMetrics(Height), LR_SHARED);
  };
  if (HANDLE big = load(SM_CXICON, SM_CYICON))
    ::SendMessageW(Window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (HANDLE small = load(SM_CXSMICON, SM_CYSMICON))
    ::SendMessageW(Window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

class TFormWindowPeer : private TLookHolder, public TWindowPeer<TFormPeer> {
 public:
  TFormWindowPeer(TForm& Form, const TFormDescription& D)
      : TLookHolder(D), TWindowPeer(Form, Shared) {
    RECT r{0, 0, D.ClientWidth, D.ClientHeight};
    ::AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    Attach(::CreateWindowExW(kExStyle, kFormClass, Widen(D.Caption).c_str(), kStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr));
    SetClientSize(D.ClientWidth, D.ClientHeight);
    SetIcons(Handle());
    Shared.Tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                       WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(),
                                       nullptr, ::GetModuleHandleW(nullptr), nullptr);
    // With a maximum width the tip breaks its lines at CR LF.
    ::SendMessageW(Shared.Tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
    Unmute();
  }

  // The window's place on the screen, and the size of its client area.
  TBounds Bounds() const override {
    RECT window, client;
    ::GetWindowRect(Handle(), &window);
    ::GetClientRect(Handle(), &client);
    return {window.left, window.top, client.right, client.bottom};
  }
  void SetBounds(const TBounds& B) override {
    const SIZE frame = FrameOf(Handle());
    ::SetWindowPos(Handle(), nullptr, B.Left, B.Top, B.Width + frame.cx, B.Height + frame.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void SetHint(const std::string& Value) override { SetHintOn({}, Value); }
  void SetColor(TColor Value) override {
    Shared.SetBackground(ColorRefOf(Value, COLOR_BTNFACE));
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }

  void Show() override {
    if (!FShown) {
      FShown = true;
      RECT area, window;
      ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
      ::GetWindowRect(Handle(), &window);
      const int w = window.right - window.left, h = window.bottom - window.top;
      ::SetWindowPos(Handle(), nullptr, area.left + (area.right - area.left - w) / 2,
                     area.top + (area.bottom - area.top - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::ShowWindow(Handle(), SW_SHOW);
    if (const HWND first = ::GetNextDlgTabItem(Handle(), nullptr, FALSE)) ::SetFocus(first);
  }
  void Close() override { ::SendMessageW(Handle(), WM_CLOSE, 0, 0); }

  // Tab order is Z-order on Windows: each parent's controls in the chain's
  // order, ahead of those not in it.
  void SetTabOrder(const std::vector<TWinControl*>& Chain) override {
    std::map<HWND, HWND> after;  // per parent: what the next control goes behind
    for (TWinControl* control : Chain) {
      TNativePeer& peer = TNativePeer::Of(*control);
      const HWND parent = ::GetParent(peer.Handle());
      for (HWND part : peer.Parts()) {
        if (::GetParent(part) != parent) continue;  // a combo box's edit part
        HWND& previous = after.try_emplace(parent, HWND_TOP).first->second;
        ::SetWindowPos(part, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = part;
      }
      // A group is no stop itself: the dialog keys go into it (WS_EX_CONTROLPARENT).
      if (!peer.IsContainer())
        ::SetWindowLongPtrW(peer.Handle(), GWL_STYLE,
                            ::GetWindowLongPtrW(peer.Handle(), GWL_STYLE) | WS_TABSTOP);
    }
  }

 private:
  void SetClientSize(int Width, int Height) {
    // In case the frame is not what AdjustWindowRectEx said.
    const SIZE frame = FrameOf(Handle());
    ::SetWindowPos(Handle(), nullptr, 0, 0, Width + frame.cx, Height + frame.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  bool FShown = false;
};

}  // namespace

LRESULT CALLBACK FormWindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  LRESULT result = 0;
  if (ContainerMessage(Window, Message, W, L, result)) return result;
  switch (Message) {
    case WM_CLOSE:
      // OnClose may dispose of the form, and the window with it.
      if (TNativePeer* peer = TNativePeer::Of(Window))
        Report([&] { static_cast<TForm&>(peer->Control()).PeerClosing(); });
      if (::IsWindow(Window)) ::DestroyWindow(Window);
      return 0;
    case WM_DESTROY:
      if (TWindowEventLoop::Running()) ::PostQuitMessage(0);
      break;
  }
  return ::DefWindowProcW(Window, Message, W, L);
}

std::unique_ptr<TFormPeer> CreateFormPeer(TForm& Form, const TFormDescription& Description) {
  InitControls();
  return std::make_unique<TFormWindowPeer>(Form, Description);
}

HWND TooltipOf(const TForm& Form) {
  return TNativePeer::Of(Form).Look().Tooltip;
}
