// The wake-up and the timer on Linux: an eventfd and a timerfd, which epoll
// and Qt's loop watch as readable descriptors.

#include "toolkit/SystemHandles.h"

#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

int Fd(TNativeHandle Handle) {
  return static_cast<int>(Handle);
}

timespec ToTimespec(std::chrono::nanoseconds Time) {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(Time);
  return timespec{static_cast<time_t>(s.count()), static_cast<long>((Time - s).count())};
}

}  // namespace

TWakeEvent::TWakeEvent() {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::system_category(), "eventfd");
  FHandle = fd;
}

TWakeEvent::~TWakeEvent() {
  ::close(Fd(FHandle));
}

void TWakeEvent::Signal() {
  const std::uint64_t one = 1;
  while (::write(Fd(FHandle), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void TWakeEvent::Acknowledge() {
  std::uint64_t count;
  while (::read(Fd(FHandle), &count, sizeof count) < 0 && errno == EINTR) {
  }
}

TSystemTimer::TSystemTimer() {
  const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::system_category(), "timerfd_create");
  FHandle = fd;
}

TSystemTimer::~TSystemTimer() {
  ::close(Fd(FHandle));
}

void TSystemTimer::Arm(std::chrono::nanoseconds First, std::chrono::nanoseconds Period) {
  // An all-zero first expiry would disarm the timer: one already due is due
  // in a nanosecond.
  const itimerspec setting{ToTimespec(Period),
                           ToTimespec(std::max(First, std::chrono::nanoseconds(1)))};
  ::timerfd_settime(Fd(FHandle), 0, &setting, nullptr);
}

void TSystemTimer::Disarm() {
  // Also forgets an expiry that the event loop has not delivered yet.
  const itimerspec off{};
  ::timerfd_settime(Fd(FHandle), 0, &off, nullptr);
}

bool TSystemTimer::Acknowledge() {
  std::uint64_t expiries = 0;
  // Nothing to read: disarmed after the loop saw it expire.
  return ::read(Fd(FHandle), &expiries, sizeof expiries) == sizeof expiries;
}
