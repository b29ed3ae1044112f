#include "tests/serial/Termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

TTermiosView ReadTermios(int Fd) {
  termios2 t{};
  ::ioctl(Fd, TCGETS2, &t);
  TTermiosView v;
  v.IFlag = t.c_iflag;
  v.OFlag = t.c_oflag;
  v.CFlag = t.c_cflag;
  v.LFlag = t.c_lflag;
  std::memcpy(v.Cc, t.c_cc, sizeof v.Cc);
  v.Speed = t.c_ospeed;
  return v;
}

void SetTermios(int Fd, std::uint32_t Speed, int DataBits, bool Parity) {
  termios2 t{};
  ::ioctl(Fd, TCGETS2, &t);
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB);
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_cflag |= DataBits == 5 ? CS5 : DataBits == 6 ? CS6 : DataBits == 7 ? CS7 : CS8;
  if (Parity) t.c_cflag |= PARENB;
  t.c_ospeed = t.c_ispeed = Speed;
  ::ioctl(Fd, TCSETS2, &t);
}
