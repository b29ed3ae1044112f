// Program entry of the KALMET Configuration Tool on Windows: the same window,
// on the system's own controls. No command-line options.

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/MessageBoxes.h"
#include "toolkit/windows/ui/NativePeer.h"
#include "toolkit/windows/ui/WindowEventLoop.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

// A program started from the desktop has no console: what keeps the window
// from coming up is told in a box, not on an output nobody sees.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::unique_ptr<TWindowEventLoop> loop;  // timers and serial events on the window's loop
  std::unique_ptr<TForm1> Form1;
  try {
    loop = std::make_unique<TWindowEventLoop>();
    Application().SetTitle("KALMET Configuration");
    InstallMessageBoxes();
    Form1 = std::make_unique<TForm1>();
    Form1->Show();
  } catch (const std::exception& e) {
    const std::string text = std::string("The KALMET Configuration Tool cannot start: ") + e.what();
    ::MessageBoxW(nullptr, Widen(text).c_str(), L"KALMET Configuration", MB_OK | MB_ICONERROR);
    return 1;
  }
  return loop->Run();
}
