// termios2 is used throughout, so that every rate goes through the same
// arbitrary-rate interface (BOTHER). <termios.h> must not be included here:
// it clashes with the kernel's definitions.

#include "serial/platform/linux/LineSettings.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

static_assert(sizeof(TTermiosFields::Cc) == sizeof(termios2::c_cc));

}  // namespace

int GetFields(int Fd, TTermiosFields& F) {
  termios2 t{};
  if (::ioctl(Fd, TCGETS2, &t) != 0) return errno;
  F.IFlag = t.c_iflag;
  F.OFlag = t.c_oflag;
  F.CFlag = t.c_cflag;
  F.LFlag = t.c_lflag;
  std::memcpy(F.Cc, t.c_cc, sizeof F.Cc);
  F.Speed = t.c_ospeed;
  return 0;
}

int SetFields(int Fd, const TTermiosFields& F) {
  termios2 t{};
  if (::ioctl(Fd, TCGETS2, &t) != 0) return errno;
  t.c_iflag = F.IFlag;
  t.c_oflag = F.OFlag;
  t.c_cflag = F.CFlag;
  t.c_lflag = F.LFlag;
  std::memcpy(t.c_cc, F.Cc, sizeof F.Cc);
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ospeed = t.c_ispeed = F.Speed;
  return ::ioctl(Fd, TCSETS2, &t) == 0 ? 0 : errno;
}

namespace {

// Modem-control lines; devices without them (pseudo-terminals) ignore this.
void SetModemLine(int Fd, int Line, bool On) {
  ::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Line);
}

}  // namespace

bool DcbToTermios(const DCB& Dcb, TTermiosFields& F) {
  if (Dcb.ByteSize < 5 || Dcb.ByteSize > 8 || Dcb.Parity > SPACEPARITY ||
      Dcb.StopBits > TWOSTOPBITS || Dcb.BaudRate == 0)
    return false;
  F.Speed = Dcb.BaudRate;

  F.CFlag &= ~CSIZE;
  F.CFlag |= Dcb.ByteSize == 5 ? CS5 : Dcb.ByteSize == 6 ? CS6 : Dcb.ByteSize == 7 ? CS7 : CS8;

  F.CFlag &= ~(PARENB | PARODD | CMSPAR);
  switch (Dcb.Parity) {
    case ODDPARITY:
      F.CFlag |= PARENB | PARODD;
      break;
    case EVENPARITY:
      F.CFlag |= PARENB;
      break;
    case MARKPARITY:
      F.CFlag |= PARENB | PARODD | CMSPAR;
      break;
    case SPACEPARITY:
      F.CFlag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (Dcb.fParity)
    F.IFlag |= INPCK;
  else
    F.IFlag &= ~INPCK;

  // 1.5 stop bits is what the hardware gives for "two" at 5 data bits.
  if (Dcb.StopBits == ONESTOPBIT)
    F.CFlag &= ~CSTOPB;
  else
    F.CFlag |= CSTOPB;

  if (Dcb.fOutxCtsFlow || Dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
    F.CFlag |= CRTSCTS;
  else
    F.CFlag &= ~CRTSCTS;

  F.IFlag &= ~(IXON | IXOFF);
  if (Dcb.fOutX) F.IFlag |= IXON;
  if (Dcb.fInX) F.IFlag |= IXOFF;
  F.Cc[VSTART] = static_cast<unsigned char>(Dcb.XonChar);
  F.Cc[VSTOP] = static_cast<unsigned char>(Dcb.XoffChar);
  return true;
}

DCB TermiosToDcb(const TTermiosFields& F) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.fBinary = 1;
  dcb.BaudRate = F.Speed;
  switch (F.CFlag & CSIZE) {
    case CS5:
      dcb.ByteSize = 5;
      break;
    case CS6:
      dcb.ByteSize = 6;
      break;
    case CS7:
      dcb.ByteSize = 7;
      break;
    default:
      dcb.ByteSize = 8;
      break;
  }
  if (!(F.CFlag & PARENB))
    dcb.Parity = NOPARITY;
  else if (F.CFlag & CMSPAR)
    dcb.Parity = F.CFlag & PARODD ? MARKPARITY : SPACEPARITY;
  else
    dcb.Parity = F.CFlag & PARODD ? ODDPARITY : EVENPARITY;
  dcb.StopBits = F.CFlag & CSTOPB ? TWOSTOPBITS : ONESTOPBIT;
  dcb.fParity = (F.IFlag & INPCK) ? 1 : 0;
  dcb.fOutxCtsFlow = (F.CFlag & CRTSCTS) ? 1 : 0;
  dcb.fRtsControl = (F.CFlag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fOutX = (F.IFlag & IXON) ? 1 : 0;
  dcb.fInX = (F.IFlag & IXOFF) ? 1 : 0;
  dcb.XonChar = static_cast<char>(F.Cc[VSTART]);
  dcb.XoffChar = static_cast<char>(F.Cc[VSTOP]);
  return dcb;
}

int MakeRaw(int Fd) {
  TTermiosFields f;
  if (int e = GetFields(Fd, f)) return e;
  f.IFlag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IUCLC | IMAXBEL);
  f.OFlag &= ~OPOST;
  f.LFlag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
  f.CFlag |= CREAD | CLOCAL;
  f.CFlag &= ~HUPCL;
  // VMIN 0 would make "no data" look like a hang-up to a reader.
  f.Cc[VMIN] = 1;
  f.Cc[VTIME] = 0;
  return SetFields(Fd, f);
}

int ReadLineSettings(int Fd, DCB& Dcb) {
  TTermiosFields f;
  if (int e = GetFields(Fd, f)) return e;
  Dcb = TermiosToDcb(f);
  int lines = 0;
  if (::ioctl(Fd, TIOCMGET, &lines) == 0) {
    if (!(lines & TIOCM_DTR)) Dcb.fDtrControl = DTR_CONTROL_DISABLE;
    if (!(f.CFlag & CRTSCTS) && !(lines & TIOCM_RTS)) Dcb.fRtsControl = RTS_CONTROL_DISABLE;
  }
  return 0;
}

int WriteLineSettings(int Fd, const DCB& Dcb) {
  TTermiosFields f;
  if (int e = GetFields(Fd, f)) return e;
  if (!DcbToTermios(Dcb, f)) return EINVAL;
  if (int e = SetFields(Fd, f)) return e;

  SetModemLine(Fd, TIOCM_DTR, Dcb.fDtrControl != DTR_CONTROL_DISABLE);
  if (Dcb.fRtsControl == RTS_CONTROL_DISABLE || Dcb.fRtsControl == RTS_CONTROL_ENABLE)
    SetModemLine(Fd, TIOCM_RTS, Dcb.fRtsControl == RTS_CONTROL_ENABLE);
  // RTS toggling around transmissions is the RS-485 mode of the driver,
  // where it has one.
  serial_rs485 rs485{};
  if (::ioctl(Fd, TIOCGRS485, &rs485) == 0) {
    const bool toggle = Dcb.fRtsControl == RTS_CONTROL_TOGGLE;
    if (toggle != bool(rs485.flags & SER_RS485_ENABLED)) {
      if (toggle)
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
      else
        rs485.flags &= ~SER_RS485_ENABLED;
      ::ioctl(Fd, TIOCSRS485, &rs485);
    }
  }
  return 0;
}

long CharacterMicroseconds(int Fd) {
  TTermiosFields f;
  if (GetFields(Fd, f) != 0 || f.Speed == 0) return 0;
  const DCB dcb = TermiosToDcb(f);
  const int bits = 1 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1 : 0) + (dcb.StopBits ? 2 : 1);
  return static_cast<long>(1000000LL * bits / f.Speed);
}

}  // namespace platform
