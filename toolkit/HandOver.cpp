#include "toolkit/HandOver.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

THandOver::THandOver() {
  FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FWakeFd < 0) throw std::system_error(errno, std::system_category(), "eventfd");
  FNotifier = std::make_unique<QSocketNotifier>(FWakeFd, QSocketNotifier::Read);
  QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { RunPending(); });
}

THandOver::~THandOver() {
  Cancel();
  FNotifier.reset();
  ::close(FWakeFd);
}

bool THandOver::Synchronize(const std::function<void()>& Routine) {
  auto request = std::make_shared<TRequest>();
  request->Routine = Routine;
  std::unique_lock lock(FMutex);
  if (FCancelled) return false;
  FPending = request;
  // Written under the lock: after Cancel() returns, no wake-up is in flight.
  const std::uint64_t one = 1;
  while (::write(FWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
  FChanged.wait(lock, [&] { return request->Done || FCancelled; });
  if (FPending == request) FPending.reset();
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
  std::lock_guard lock(FMutex);
  FCancelled = true;
  FChanged.notify_all();
}

bool THandOver::Cancelled() const {
  std::lock_guard lock(FMutex);
  return FCancelled;
}

void THandOver::RunPending() {
  std::uint64_t count;
  while (::read(FWakeFd, &count, sizeof count) < 0 && errno == EINTR) {
  }
  std::shared_ptr<TRequest> request;
  {
    std::lock_guard lock(FMutex);
    if (FCancelled || !FPending || FPending->Started) return;
    request = FPending;
    request->Started = true;
  }
  // The routine runs without the lock: it may open message boxes (nested
  // loops) or cancel this hand-over itself.
  std::exception_ptr error;
  ++FRunning;
  try {
    request->Routine();
  } catch (...) {
    error = std::current_exception();
  }
  --FRunning;
  std::lock_guard lock(FMutex);
  request->Error = std::move(error);
  request->Done = true;
  FChanged.notify_all();
}
