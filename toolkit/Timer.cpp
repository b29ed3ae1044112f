#include "toolkit/Timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "toolkit/Application.h"

void TCustomTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TCustomTimer::EnableSince(std::chrono::microseconds Ago) {
  if (FEnabled) return;
  FEnabled = true;
  UpdateTimer(std::max(Ago, std::chrono::microseconds{}));
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

void TCustomTimer::UpdateTimer(std::chrono::microseconds Elapsed) {
  if (Running())
    Arm(FInterval, Elapsed);
  else
    Disarm();
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

void TTimer::Arm(unsigned Interval, std::chrono::microseconds Elapsed) {
  using namespace std::chrono;
  const auto ToTimespec = [](nanoseconds t) {
    const auto s = duration_cast<seconds>(t);
    return timespec{static_cast<time_t>(s.count()), static_cast<long>((t - s).count())};
  };
  const nanoseconds interval = milliseconds(Interval);
  // An all-zero first expiry would disarm the timer: one already due is due
  // in a nanosecond.
  const nanoseconds elapsed = std::min<nanoseconds>(Elapsed, interval);
  const nanoseconds first = std::max(interval - elapsed, nanoseconds(1));
  const itimerspec setting{ToTimespec(interval), ToTimespec(first)};
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
