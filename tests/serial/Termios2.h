#pragma once

// The line settings of a terminal as the kernel holds them, with the exact
// rate (termios2). Flags have the values of <termios.h>.

#include <cstdint>

struct TTermiosView {
  unsigned IFlag = 0, OFlag = 0, CFlag = 0, LFlag = 0;
  unsigned char Cc[19] = {};
  std::uint32_t Speed = 0;
};

// For a pseudo-terminal master these are its slave's settings.
TTermiosView ReadTermios(int Fd);
// Sets rate, size (5..8) and parity enable on Fd.
void SetTermios(int Fd, std::uint32_t Speed, int DataBits, bool Parity);
