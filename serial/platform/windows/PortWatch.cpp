// The port watch on Windows: the system tells every top-level window when a
// device comes or goes (WM_DEVICECHANGE); a hidden window of ours hears it
// on the main thread. A lost port needs no watch of its own: its return is
// such a notice too.

#include "serial/platform/PortWatch.h"

#include <windows.h>

#include <dbt.h>

namespace platform {

namespace {

constexpr wchar_t kClassName[] = L"KalmetPortWatch";

LRESULT CALLBACK WatchProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == WM_DEVICECHANGE &&
      (W == DBT_DEVICEARRIVAL || W == DBT_DEVICEREMOVECOMPLETE || W == DBT_DEVNODES_CHANGED)) {
    auto* onChange =
        reinterpret_cast<std::function<void()>*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (onChange && *onChange) (*onChange)();
    return TRUE;
  }
  return ::DefWindowProcW(Window, Message, W, L);
}

}  // namespace

struct TPortWatch::TImpl {
  std::function<void()> OnChange;
  HWND Window = nullptr;
};

TPortWatch::TPortWatch(const TDeviceRoots&, std::function<void()> OnChange)
    : F(std::make_unique<TImpl>()) {
  F->OnChange = std::move(OnChange);
  WNDCLASSW c{};
  c.lpfnWndProc = WatchProc;
  c.hInstance = ::GetModuleHandleW(nullptr);
  c.lpszClassName = kClassName;
  ::RegisterClassW(&c);  // fails harmlessly when a second watch registers it again
  // Top-level (not message-only): only top-level windows hear the notices.
  F->Window = ::CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                c.hInstance, nullptr);
  if (!F->Window) return;  // no notices then; the list stays as it was read
  ::SetWindowLongPtrW(F->Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&F->OnChange));
}

TPortWatch::~TPortWatch() {
  if (F->Window) ::DestroyWindow(F->Window);
}

void TPortWatch::WatchFor(const std::string&) {}

void TPortWatch::StopWatchingFor() {}

}  // namespace platform
