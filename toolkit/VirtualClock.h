#pragma once

// Virtual time for tests and tools: timers with the rules of TCustomTimer that
// fire only when the clock is advanced, in deadline order (equal deadlines in
// the order they were armed). Handlers may enable, disable and re-arm timers,
// also other ones, while the clock runs.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "toolkit/Timer.h"

class TVirtualTimer;

class TVirtualClock : public TTimerFactory {
 public:
  using TTime = std::int64_t;  // milliseconds since the clock was made

  TVirtualClock() = default;
  ~TVirtualClock() override;
  TVirtualClock(const TVirtualClock&) = delete;
  TVirtualClock& operator=(const TVirtualClock&) = delete;

  TTime Now() const { return FNow; }
  std::optional<TTime> NextDeadline() const;

  // Moves time forward, firing every timer that falls due on the way.
  void Advance(TTime Milliseconds);
  void AdvanceTo(TTime Time);
  // Fires timers one after the other until Done() holds or Limit ms have
  // passed; returns Done(). Time stops at the expiry that made Done() true.
  bool RunUntil(const std::function<bool()>& Done, TTime Limit);

  TCustomTimer* CreateTimer(TComponent* AOwner) override;

 private:
  friend class TVirtualTimer;
  struct TArmed {
    TVirtualTimer* Timer;
    TTime Deadline;
    std::uint64_t Sequence;
  };
  void Arm(TVirtualTimer* Timer, unsigned Interval, std::chrono::microseconds Elapsed);
  void Disarm(TVirtualTimer* Timer);
  // Fires the earliest timer due at or before Time; false if none is.
  bool FireNext(TTime Time);

  TTime FNow = 0;
  std::uint64_t FSequence = 0;
  std::vector<TArmed> FArmed;
  std::vector<TVirtualTimer*> FTimers;
};

class TVirtualTimer : public TCustomTimer {
 public:
  TVirtualTimer(TComponent* AOwner, TVirtualClock& Clock);
  ~TVirtualTimer() override;

 protected:
  void Arm(unsigned Interval, std::chrono::microseconds Elapsed) override {
    if (FClock) FClock->Arm(this, Interval, Elapsed);
  }
  void Disarm() override {
    if (FClock) FClock->Disarm(this);
  }

 private:
  friend class TVirtualClock;
  TVirtualClock* FClock;
};
