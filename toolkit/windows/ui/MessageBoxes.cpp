#include "toolkit/windows/ui/MessageBoxes.h"

#include <windows.h>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/NativePeer.h"

namespace {

// Modal to our own window, never to another program's.
HWND Owner() {
  if (HWND active = ::GetActiveWindow()) return active;
  HWND foreground = ::GetForegroundWindow();
  if (foreground && ::GetWindowThreadProcessId(foreground, nullptr) == ::GetCurrentThreadId())
    return foreground;
  return nullptr;
}

}  // namespace

void InstallMessageBoxes() {
  Application().SetMessagePresenter([](const std::string& Caption, const std::string& Text) {
    // Modal to every window of ours, also when none is active (a lost port
    // is told while the technician is in another program).
    HWND owner = Owner();
    ::MessageBoxW(owner, Widen(Text).c_str(), Widen(Caption).c_str(),
                  MB_OK | (owner ? 0 : MB_TASKMODAL));
  });
}
