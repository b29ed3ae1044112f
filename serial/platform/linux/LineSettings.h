#pragma once

// The device control block on termios: raw mode, rates (also arbitrary ones),
// character size, parity, stop bits, flow control and the DTR/RTS lines.

#include <cstdint>

#include "serial/platform/linux/CommServices.h"

namespace platform {

// The termios fields the control block maps to (flag values as in
// <termios.h>; the rate is exact, as termios2 holds it).
struct TTermiosFields {
  unsigned IFlag = 0;
  unsigned OFlag = 0;
  unsigned CFlag = 0;
  unsigned LFlag = 0;
  unsigned char Cc[19] = {};
  std::uint32_t Speed = 0;
};

// The mapping itself, without a device: writes rate, size, parity, stop
// bits, parity check, RTS/CTS and XON/XOFF of Dcb into Fields, keeping the
// rest. False for values termios cannot take (4 data bits, unknown codes).
bool DcbToTermios(const DCB& Dcb, TTermiosFields& Fields);
// The control block as termios has it; lines not known from termios (DTR,
// RTS) as enabled.
DCB TermiosToDcb(const TTermiosFields& Fields);

// The terminal's settings as the kernel holds them (for a pseudo-terminal
// master: its slave's), and setting them, the rate exactly. 0 or an errno.
int GetFields(int Fd, TTermiosFields& Fields);
int SetFields(int Fd, const TTermiosFields& Fields);

// Raw mode, keeping rate, size, parity and stop bits: no canonical
// processing, no echo, no CR/LF translation, no signals; reads return as
// soon as one byte is there. 0 or an errno.
int MakeRaw(int Fd);

// The control block as the driver has it now. 0 or an errno.
int ReadLineSettings(int Fd, DCB& Dcb);

// Applies the control block, and the DTR/RTS lines where the device has
// them. Fields termios cannot hold are left to the caller to keep.
// 0 or an errno (EINVAL for values the device cannot take).
int WriteLineSettings(int Fd, const DCB& Dcb);

// Time a character takes on the line under the current settings, in
// microseconds (start bit, data bits, parity bit, stop bits).
long CharacterMicroseconds(int Fd);

}  // namespace platform
