// Program entry of the KALMET Configuration Tool on Windows: the same window,
// on the system's own controls. No command-line options.

#include <windows.h>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/MessageBoxes.h"
#include "toolkit/windows/ui/WindowEventLoop.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TWindowEventLoop loop;  // timers and serial events on the window's message loop
  Application().SetTitle("KALMET Configuration");
  InstallMessageBoxes();
  TForm1 Form1;
  Form1.Show();
  return loop.Run();
}
