#include "toolkit/VirtualClock.h"

#include <algorithm>

TVirtualClock::~TVirtualClock() {
  // Timers that outlive their clock stop counting.
  for (TVirtualTimer* t : FTimers) t->FClock = nullptr;
}

std::optional<TVirtualClock::TTime> TVirtualClock::NextDeadline() const {
  std::optional<TTime> next;
  for (const TArmed& a : FArmed)
    if (!next || a.Deadline < *next) next = a.Deadline;
  return next;
}

void TVirtualClock::Advance(TTime Milliseconds) {
  AdvanceTo(FNow + Milliseconds);
}

void TVirtualClock::AdvanceTo(TTime Time) {
  while (FireNext(Time)) {
  }
  if (Time > FNow) FNow = Time;
}

bool TVirtualClock::RunUntil(const std::function<bool()>& Done, TTime Limit) {
  const TTime end = FNow + Limit;
  while (!Done()) {
    if (!FireNext(end)) {
      FNow = end;
      return Done();
    }
  }
  return true;
}

TCustomTimer* TVirtualClock::CreateTimer(TComponent* AOwner) {
  return new TVirtualTimer(AOwner, *this);
}

void TVirtualClock::Arm(TVirtualTimer* Timer, unsigned Interval,
                        std::chrono::microseconds Elapsed) {
  Disarm(Timer);
  // Whole milliseconds elapsed: the clock's resolution, never early.
  const TTime elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Elapsed).count();
  FArmed.push_back({Timer, FNow + std::max<TTime>(Interval - elapsed, 0), ++FSequence});
}

void TVirtualClock::Disarm(TVirtualTimer* Timer) {
  std::erase_if(FArmed, [Timer](const TArmed& a) { return a.Timer == Timer; });
}

bool TVirtualClock::FireNext(TTime Time) {
  auto due = std::min_element(FArmed.begin(), FArmed.end(), [](const TArmed& a, const TArmed& b) {
    return a.Deadline != b.Deadline ? a.Deadline < b.Deadline : a.Sequence < b.Sequence;
  });
  if (due == FArmed.end() || due->Deadline > Time) return false;
  TVirtualTimer* timer = due->Timer;
  FNow = std::max(FNow, due->Deadline);
  // Re-armed before the handler runs: a timer repeats until disabled, and the
  // handler may disable or re-arm it.
  due->Deadline = FNow + timer->Interval();
  due->Sequence = ++FSequence;
  timer->Timer();
  return true;
}

TVirtualTimer::TVirtualTimer(TComponent* AOwner, TVirtualClock& Clock)
    : TCustomTimer(AOwner), FClock(&Clock) {
  FClock->FTimers.push_back(this);
}

TVirtualTimer::~TVirtualTimer() {
  if (FClock) {
    FClock->Disarm(this);
    std::erase(FClock->FTimers, this);
  }
}
