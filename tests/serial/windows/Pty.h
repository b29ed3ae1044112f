#pragma once

// The far end of a serial line under Wine: COM6, which a relay outside Wine
// (socat) joins to COM5, the port under test (tests/wine/SerialSuite.sh).
// A hang-up cannot be played from here: tests of it are Linux's.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "tests/support/Wait.h"

class TPty {
 public:
  static constexpr bool kCanHangUp = false;

  TPty() {
    FFarEnd = ::CreateFileA("\\\\.\\COM6", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
    if (FFarEnd == INVALID_HANDLE_VALUE) return;
    // Reads return at once with what has arrived.
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
    ::SetCommTimeouts(FFarEnd, &t);
    ::PurgeComm(FFarEnd, PURGE_RXCLEAR | PURGE_TXCLEAR);
  }
  ~TPty() { HangUp(); }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  bool Ok() const { return FFarEnd != INVALID_HANDLE_VALUE; }
  const std::string& SlavePath() const { return FPortUnderTest; }

  void Write(const std::string& Bytes) const {
    DWORD written = 0;
    ::WriteFile(FFarEnd, Bytes.data(), static_cast<DWORD>(Bytes.size()), &written, nullptr);
  }

  // Reads until Count bytes arrived or Milliseconds passed, serving the main
  // loop meanwhile.
  std::string Read(std::size_t Count, int Milliseconds = 5000) const {
    std::string got;
    (void)WaitFor(
        [&] {
          char buffer[4096];
          DWORD n = 0;
          while (got.size() < Count &&
                 ::ReadFile(FFarEnd, buffer,
                            static_cast<DWORD>(std::min(sizeof buffer, Count - got.size())), &n,
                            nullptr) &&
                 n > 0)
            got.append(buffer, n);
          return got.size() >= Count;
        },
        Milliseconds);
    return got;
  }

  // Closes the far end (the relay keeps the port under test's line up).
  void HangUp() {
    if (FFarEnd != INVALID_HANDLE_VALUE) ::CloseHandle(FFarEnd);
    FFarEnd = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE FFarEnd = INVALID_HANDLE_VALUE;
  std::string FPortUnderTest = "COM5";
};
