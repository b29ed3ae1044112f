#pragma once

// The objects of the system that the event loop watches for the toolkit: a
// wake-up that any thread (or a signal handler) may set, and a precise timer.
// One implementation per system: toolkit/linux/ (eventfd, timerfd) and
// toolkit/windows/ (event objects, high-resolution waitable timers).

#include <chrono>
#include <cstdint>

// A file descriptor on Linux, a HANDLE on Windows.
using TNativeHandle = std::intptr_t;

class TWakeEvent {
 public:
  TWakeEvent();
  ~TWakeEvent();
  TWakeEvent(const TWakeEvent&) = delete;
  TWakeEvent& operator=(const TWakeEvent&) = delete;

  TNativeHandle Handle() const { return FHandle; }
  // Any thread; safe in a signal handler.
  void Signal();
  // Main thread, when the loop saw it signalled: clears it.
  void Acknowledge();

 private:
  TNativeHandle FHandle;
};

class TSystemTimer {
 public:
  TSystemTimer();
  ~TSystemTimer();
  TSystemTimer(const TSystemTimer&) = delete;
  TSystemTimer& operator=(const TSystemTimer&) = delete;

  TNativeHandle Handle() const { return FHandle; }
  // Counts afresh: the first expiry is due in First (at once when it is 0 or
  // less), then one every Period.
  void Arm(std::chrono::nanoseconds First, std::chrono::nanoseconds Period);
  // Stops counting, and forgets an expiry that was not acknowledged yet.
  void Disarm();
  // When the loop saw it signalled: true if it had expired (false when it
  // was disarmed or re-armed meanwhile). Clears the signal.
  bool Acknowledge();

 private:
  TNativeHandle FHandle;
  // When it is due next, for a loop that sees an expiry late, after the timer
  // may have been disarmed or armed again (the Windows window's loop hands
  // expiries over from another thread; Linux needs none of it).
  [[maybe_unused]] std::chrono::steady_clock::time_point FDue{};
  [[maybe_unused]] std::chrono::nanoseconds FPeriod{};
  [[maybe_unused]] bool FArmed = false;
};
