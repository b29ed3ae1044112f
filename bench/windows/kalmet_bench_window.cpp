// kalmet-bench-window.exe: the Windows window's first read, for the line-limit
// benchmark (kalmet-bench-terminal measures it on the line). Opens the window,
// picks PORT as the technician does, and ends once the probe has been read:
// exit 0, or 1 when it was not read within a minute.
// Usage: kalmet-bench-window.exe PORT

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/WindowEventLoop.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: kalmet-bench-window.exe PORT\n");
    return 2;
  }
  TWindowEventLoop loop;
  Application().SetTitle("KALMET Configuration");
  TForm1 form;
  form.Show();
  form.PickPort(argv[1]);
  const bool read =
      loop.RunUntil([&] { return form.Edit_Status->Text() == "Reading probe data done."; }, 60000);
  return read ? 0 : 1;
}
