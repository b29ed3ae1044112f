#include "toolkit/HandOver.h"

THandOver::THandOver() : F(std::make_shared<TShared>()) {
  // The running routine holds the state, not the hand-over.
  F->Watch = MainLoop().Watch(F->Wake.Handle(), [weak = std::weak_ptr<TShared>(F)] {
    if (const auto shared = weak.lock()) shared->RunPending();
  });
}

THandOver::~THandOver() {
  Cancel();
}

bool THandOver::Synchronize(const std::function<void()>& Routine) {
  auto request = std::make_shared<TRequest>();
  request->Routine = Routine;
  std::unique_lock lock(F->Mutex);
  if (F->Cancelled) return false;
  F->Pending = request;
  // Set under the lock: after Cancel() returns, no wake-up is in flight.
  F->Wake.Signal();
  F->Changed.wait(lock, [&] { return request->Done || F->Cancelled; });
  if (F->Pending == request) F->Pending.reset();
  if (!request->Done) return false;
  // The worker takes the exception over whole, so that it is released on
  // this thread only: its reference count lives in the C++ runtime, whose
  // atomics ThreadSanitizer does not see, and a release on the main thread
  // would be reported as racing with the worker's use of the exception.
  const std::exception_ptr error = std::move(request->Error);
  lock.unlock();
  if (error) std::rethrow_exception(error);
  return true;
}

void THandOver::Cancel() {
  std::lock_guard lock(F->Mutex);
  F->Cancelled = true;
  F->Changed.notify_all();
}

bool THandOver::Cancelled() const {
  std::lock_guard lock(F->Mutex);
  return F->Cancelled;
}

void THandOver::TShared::RunPending() {
  Wake.Acknowledge();
  std::shared_ptr<TRequest> request;
  {
    std::lock_guard lock(Mutex);
    if (Cancelled || !Pending || Pending->Started) return;
    request = Pending;
    request->Started = true;
  }
  // The routine runs without the lock: it may open message boxes (nested
  // loops) or cancel this hand-over itself.
  std::exception_ptr error;
  try {
    request->Routine();
  } catch (...) {
    error = std::current_exception();
  }
  std::lock_guard lock(Mutex);
  request->Error = std::move(error);
  request->Done = true;
  Changed.notify_all();
}
