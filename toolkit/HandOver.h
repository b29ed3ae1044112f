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
// Create and cancel on the main thread. The wake-up goes through an eventfd
// watched by the main loop; all shared state is under one mutex.

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class QSocketNotifier;

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
  // Main thread: a routine of this hand-over is running now (maybe in a
  // nested event loop further up the stack).
  bool Running() const { return FRunning > 0; }

 private:
  struct TRequest {
    std::function<void()> Routine;
    bool Started = false;
    bool Done = false;
    std::exception_ptr Error;
  };
  void RunPending();  // main thread, on the wake-up

  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  bool FCancelled = false;
  std::shared_ptr<TRequest> FPending;
  int FRunning = 0;  // main thread only
  int FWakeFd = -1;
  std::unique_ptr<QSocketNotifier> FNotifier;
};
