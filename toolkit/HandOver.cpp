#include "toolkit/HandOver.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

THandOver::THandOver() : F(std::make_shared<TShared>()) {
  F->WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (F->WakeFd < 0) throw std::system_error(errno, std::system_category(), "eventfd");
  F->Notifier = std::make_unique<QSocketNotifier>(F->WakeFd, QSocketNotifier::Read);
  // The running routine holds the state, not the hand-over.
  QObject::connect(F->Notifier.get(), &QSocketNotifier::activated,
                   [weak = std::weak_ptr<TShared>(F)] {
                     if (const auto shared = weak.lock()) shared->RunPending();
                   });
}

THandOver::~THandOver() {
  Cancel();
}

THandOver::TShared::~TShared() {
  Notifier.reset();
  ::close(WakeFd);
}

bool THandOver::Synchronize(const std::function<void()>& Routine) {
  auto request = std::make_shared<TRequest>();
  request->Routine = Routine;
  std::unique_lock lock(F->Mutex);
  if (F->Cancelled) return false;
  F->Pending = request;
  // Written under the lock: after Cancel() returns, no wake-up is in flight.
  const std::uint64_t one = 1;
  while (::write(F->WakeFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
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
  std::uint64_t count;
  while (::read(WakeFd, &count, sizeof count) < 0 && errno == EINTR) {
  }
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
