// For tests under Wine only, never shipped: a library preloaded into Wine's
// processes (LD_PRELOAD) that answers the modem-line requests which a
// pseudo-terminal refuses. Wine's WaitCommEvent asks for the modem lines
// every millisecond and gives up the wait when that fails, so on a bare
// pseudo-terminal no byte would ever be waited for; a real adapter answers.
// Lines are reported as those of a connected adapter (DSR, CTS, DCD on); a
// pseudo-terminal whose other side has closed (an unplugged cable) fails as
// a vanished device does.
//
// Preloaded into Wine's server too, it opens every file without making it
// the controlling terminal: the server opens the COM ports' devices and is a
// session leader, and a pseudo-terminal that became its terminal would end
// it (and every Windows program with it) when the line hangs up.

#include <dlfcn.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

using TIoctl = int (*)(int, unsigned long, void*);

template <typename T>
T Next(const char* Name) {
  return reinterpret_cast<T>(::dlsym(RTLD_NEXT, Name));
}

bool IsModemRequest(unsigned long Request) {
  return Request == TIOCMGET || Request == TIOCMSET || Request == TIOCMBIS || Request == TIOCMBIC;
}

// The slave side of a Unix 98 pseudo-terminal (/dev/pts/N).
bool IsPseudoTerminal(int Fd) {
  struct stat s {};
  if (::fstat(Fd, &s) != 0 || !S_ISCHR(s.st_mode)) return false;
  const unsigned major = ::major(s.st_rdev);
  return major >= 136 && major <= 143;
}

bool HungUp(int Fd) {
  pollfd p{Fd, 0, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

}  // namespace

extern "C" int ioctl(int Fd, unsigned long Request, ...) {
  static const auto real = Next<TIoctl>("ioctl");
  va_list args;
  va_start(args, Request);
  void* argument = va_arg(args, void*);
  va_end(args);
  const int saved = errno;
  const int result = real(Fd, Request, argument);
  if (result == 0 || !IsModemRequest(Request) || !IsPseudoTerminal(Fd)) return result;
  if (HungUp(Fd)) {
    errno = EIO;
    return -1;
  }
  if (Request == TIOCMGET) *static_cast<int*>(argument) = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
  errno = saved;
  return 0;
}

namespace {

using TOpen = int (*)(const char*, int, ...);
using TOpenAt = int (*)(int, const char*, int, ...);

// The mode argument, which an open call passes only when it may create.
mode_t ModeOf(int Flags, va_list Args) {
  return (Flags & (O_CREAT | O_TMPFILE)) ? va_arg(Args, mode_t) : 0;
}

}  // namespace

// Every open adds O_NOCTTY.
extern "C" int open(const char* Path, int Flags, ...) {
  static const auto real = Next<TOpen>("open");
  va_list args;
  va_start(args, Flags);
  const mode_t mode = ModeOf(Flags, args);
  va_end(args);
  return real(Path, Flags | O_NOCTTY, mode);
}

extern "C" int open64(const char* Path, int Flags, ...) {
  static const auto real = Next<TOpen>("open64");
  va_list args;
  va_start(args, Flags);
  const mode_t mode = ModeOf(Flags, args);
  va_end(args);
  return real(Path, Flags | O_NOCTTY, mode);
}

extern "C" int openat(int Dir, const char* Path, int Flags, ...) {
  static const auto real = Next<TOpenAt>("openat");
  va_list args;
  va_start(args, Flags);
  const mode_t mode = ModeOf(Flags, args);
  va_end(args);
  return real(Dir, Path, Flags | O_NOCTTY, mode);
}

extern "C" int openat64(int Dir, const char* Path, int Flags, ...) {
  static const auto real = Next<TOpenAt>("openat64");
  va_list args;
  va_start(args, Flags);
  const mode_t mode = ModeOf(Flags, args);
  va_end(args);
  return real(Dir, Path, Flags | O_NOCTTY, mode);
}
