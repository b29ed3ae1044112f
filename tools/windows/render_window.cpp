// kalmet-render-window.exe: the Windows window, connected to a probe on PORT,
// into a bitmap file (for the documentation): its client area as the screen
// shows it. scripts/screenshots.sh runs it under Wine on a virtual display.
// Usage: kalmet-render-window.exe PORT OUTPUT.bmp

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/ControlPeer.h"
#include "toolkit/windows/ui/WindowEventLoop.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

namespace {

bool WriteClientArea(HWND Window, const char* Path) {
  RECT client{};
  ::GetClientRect(Window, &client);
  const int width = client.right, height = client.bottom;
  HDC screen = ::GetDC(Window);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom row first, as the file wants it
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  const int rows = ::GetDIBits(memory, bitmap, 0, height, pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(Window, screen);
  if (rows != height) return false;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(Path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: kalmet-render-window.exe PORT OUTPUT.bmp\n");
    return 2;
  }
  TWindowEventLoop loop;
  Application().SetTitle("KALMET Configuration");
  TForm1 form;
  form.Show();
  form.PickPort(argv[1]);
  if (!loop.RunUntil([&] { return form.Edit_Status->Text() == "Reading probe data done."; },
                     20000)) {
    std::fprintf(stderr, "kalmet-render-window.exe: the probe was not read\n");
    return 1;
  }
  loop.RunUntil([] { return false; }, 500);  // the indicators go dark, the screen is drawn
  if (!WriteClientArea(WindowOf(form), argv[2])) {
    std::fprintf(stderr, "kalmet-render-window.exe: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
