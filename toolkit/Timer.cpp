#include "toolkit/Timer.h"

#include <QTimer>

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

TTimer::TTimer(TComponent* AOwner) : TCustomTimer(AOwner), FTimer(std::make_unique<QTimer>()) {
  FTimer->setTimerType(Qt::PreciseTimer);
  QObject::connect(FTimer.get(), &QTimer::timeout, [this] { Timer(); });
}

TTimer::~TTimer() {
  FTimer->stop();
}

void TTimer::Arm(unsigned Interval) {
  FTimer->start(static_cast<int>(Interval));
}

void TTimer::Disarm() {
  FTimer->stop();
}
