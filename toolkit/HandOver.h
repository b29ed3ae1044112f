#pragma once

// Runs routines of a worker thread on the main thread and lets the worker
// wait for them.
//
// The worker calls Synchronize(routine): the routine is queued for the main
// thread's event loop (also its nested loops, e.g. a modal message box), the
// worker blocks until it has run, and an exception it raised is raised again
// in the worker. Cancel() releases a waiting worker at once and refuses every
// later hand-over; a routine that has not started by then never runs. So the
// main thread can stop and join a worker that is blocked in a hand-over
// without waiting for itself.
//
// The hand-over may be destroyed while one of its routines runs further up
// the main thread's stack (a routine that opens a message box in which the
// worker is stopped and disposed of): the shared state lives on until that
// routine has returned.
//
// Create and cancel on the main thread. The wake-up goes through a wake event
// watched by the main loop (toolkit/EventLoop.h); all shared state is under
// one mutex.

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "toolkit/EventLoop.h"
#include "toolkit/SystemHandles.h"

class THandOver {
 public:
  THandOver();
  ~THandOver();
  THandOver(const THandOver&) = delete;
  THandOver& operator=(const THandOver&) = delete;

  // Worker thread. True when the routine ran to its end (its exception, if
  // any, is raised here); false when the hand-over was cancelled.
  bool Synchronize(const std::function<void()>& Routine);

  // Main thread (or any thread). Idempotent.
  void Cancel();
  bool Cancelled() const;

 private:
  struct TRequest {
    std::function<void()> Routine;
    bool Started = false;
    bool Done = false;
    std::exception_ptr Error;
  };
  struct TShared {
    void RunPending();  // main thread, on the wake-up

    mutable std::mutex Mutex;
    std::condition_variable Changed;
    bool Cancelled = false;
    std::shared_ptr<TRequest> Pending;
    TWakeEvent Wake;
    std::unique_ptr<TLoopWatch> Watch;
  };
  std::shared_ptr<TShared> F;
};
