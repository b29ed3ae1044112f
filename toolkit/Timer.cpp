#include "toolkit/Timer.h"

#include <algorithm>

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

TTimer::TTimer(TComponent* AOwner)
    : TCustomTimer(AOwner),
      FWatch(MainLoop().Watch(FSystemTimer.Handle(), [this] { Expired(); })) {}

TTimer::~TTimer() = default;

void TTimer::Arm(unsigned Interval, std::chrono::microseconds Elapsed) {
  using namespace std::chrono;
  const nanoseconds interval = milliseconds(Interval);
  const nanoseconds elapsed = std::min<nanoseconds>(Elapsed, interval);
  FSystemTimer.Arm(interval - elapsed, interval);
}

void TTimer::Disarm() {
  FSystemTimer.Disarm();
}

void TTimer::Expired() {
  if (!FSystemTimer.Acknowledge()) return;
  // Expiries missed while the loop was busy count as one, as in any event loop.
  Timer();
}
