#include "toolkit/Timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "toolkit/Application.h"

void TCustomTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TCustomTimer::SetInterval(unsigned Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TCustomTimer::SetOnTimer(const TNotifyEvent& Value) {
  if (Value == FOnTimer) return;
  FOnTimer = Value;
  UpdateTimer();
}

void TCustomTimer::UpdateTimer() {
  Disarm();
  if (Running()) Arm(FInterval);
}

void TCustomTimer::Timer() {
  if (!FOnTimer) return;
  try {
    FOnTimer(this);
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
}

TTimer::TTimer(TComponent* AOwner) : TCustomTimer(AOwner) {
  FFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (FFd < 0) throw std::system_error(errno, std::system_category(), "timerfd_create");
  FNotifier = std::make_unique<QSocketNotifier>(FFd, QSocketNotifier::Read);
  QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { Expired(); });
}

TTimer::~TTimer() {
  FNotifier.reset();
  ::close(FFd);
}

void TTimer::Arm(unsigned Interval) {
  // Counting starts now and repeats every interval.
  const timespec interval{static_cast<time_t>(Interval / 1000),
                          static_cast<long>(Interval % 1000) * 1'000'000};
  const itimerspec setting{interval, interval};
  ::timerfd_settime(FFd, 0, &setting, nullptr);
}

void TTimer::Disarm() {
  // Also forgets an expiry that the event loop has not delivered yet.
  const itimerspec off{};
  ::timerfd_settime(FFd, 0, &off, nullptr);
}

void TTimer::Expired() {
  std::uint64_t expiries = 0;
  // Nothing to read: disarmed after the loop saw it expire.
  if (::read(FFd, &expiries, sizeof expiries) != sizeof expiries) return;
  // Expiries missed while the loop was busy count as one, as in any event loop.
  Timer();
}
