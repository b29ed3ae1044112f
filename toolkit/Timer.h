#pragma once

// Timers with the rules the protocol's pacing depends on (QTimer alone does
// not keep them):
//  - a timer repeats until it is disabled;
//  - enabling an enabled timer does not restart it;
//  - setting a different interval on an enabled timer restarts it;
//  - interval 0 never fires; a timer without OnTimer does not run;
//  - setting a property to the value it has does nothing.
//
// TCustomTimer keeps the rules; TTimer runs on the event loop of the main
// thread and TVirtualTimer (toolkit/VirtualClock.h) on a virtual clock.

#include "toolkit/Component.h"

#include <chrono>
#include <memory>

#include "toolkit/EventLoop.h"
#include "toolkit/SystemHandles.h"

class TCustomTimer : public TComponent {
 public:
  explicit TCustomTimer(TComponent* AOwner) : TComponent(AOwner) {}

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Enables the timer as though that had happened Ago earlier: the first
  // expiry is due one interval after that instant (at once if that has
  // passed). Like SetEnabled(true), it does nothing to an enabled timer.
  void EnableSince(std::chrono::microseconds Ago);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(const TNotifyEvent& Value);

  // True while the timer is counting towards an expiry.
  bool Running() const { return FEnabled && FInterval != 0 && FOnTimer; }

 protected:
  // Start counting afresh (whatever was counting before), repeating every
  // Interval ms; the first expiry is due Interval after the instant Elapsed
  // before now. Stop counting.
  virtual void Arm(unsigned Interval, std::chrono::microseconds Elapsed) = 0;
  virtual void Disarm() = 0;
  // Expiry: calls OnTimer; an exception goes to the application's handler.
  void Timer();

 private:
  void UpdateTimer(std::chrono::microseconds Elapsed = {});

  bool FEnabled = true;
  unsigned FInterval = 1000;
  TNotifyEvent FOnTimer;
};

// A timer of the main thread's event loop. It expires on time to the
// microsecond: a timer of the system (toolkit/SystemHandles.h) that the loop
// watches, not a loop timeout rounded up to whole milliseconds. A disarmed
// timer wakes nothing.
class TTimer : public TCustomTimer {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

 protected:
  void Arm(unsigned Interval, std::chrono::microseconds Elapsed) override;
  void Disarm() override;

 private:
  void Expired();

  TSystemTimer FSystemTimer;
  std::unique_ptr<TLoopWatch> FWatch;
};

// Creates the timers of a component tree, so that the same tree runs on the
// event loop or on a virtual clock.
class TTimerFactory {
 public:
  virtual ~TTimerFactory() = default;
  virtual TCustomTimer* CreateTimer(TComponent* AOwner) = 0;
};

class TRealTimerFactory : public TTimerFactory {
 public:
  TCustomTimer* CreateTimer(TComponent* AOwner) override { return new TTimer(AOwner); }
};
