// The wake-up and the timer on Windows: an auto-reset event and a
// synchronization waitable timer, high-resolution where the system has it
// (a plain one expires on the system tick, up to about 16 ms late). The wait
// that sees one signalled also resets it.

#include "toolkit/SystemHandles.h"

#include <windows.h>

#include <system_error>

namespace {

HANDLE H(TNativeHandle Handle) {
  return reinterpret_cast<HANDLE>(Handle);
}

TNativeHandle Checked(HANDLE Handle, const char* What) {
  if (!Handle)
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), What);
  return reinterpret_cast<TNativeHandle>(Handle);
}

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

HANDLE CreatePreciseTimer() {
  HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
  if (!timer) timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  return timer;
}

}  // namespace

TWakeEvent::TWakeEvent()
    : FHandle(Checked(::CreateEventW(nullptr, FALSE, FALSE, nullptr), "CreateEvent")) {}

TWakeEvent::~TWakeEvent() {
  ::CloseHandle(H(FHandle));
}

void TWakeEvent::Signal() {
  ::SetEvent(H(FHandle));
}

void TWakeEvent::Acknowledge() {
  // The wait that saw it reset it.
}

TSystemTimer::TSystemTimer() : FHandle(Checked(CreatePreciseTimer(), "CreateWaitableTimer")) {}

TSystemTimer::~TSystemTimer() {
  ::CloseHandle(H(FHandle));
}

void TSystemTimer::Arm(std::chrono::nanoseconds First, std::chrono::nanoseconds Period) {
  ::WaitForSingleObject(H(FHandle), 0);  // an expiry not yet seen is forgotten
  // Relative due times are negative, in 100 ns; one already due is due at once.
  const long long ticks = std::max<long long>(First.count() / 100, 1);
  LARGE_INTEGER due;
  due.QuadPart = -ticks;
  const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(Period).count();
  ::SetWaitableTimer(H(FHandle), &due, static_cast<LONG>(period), nullptr, nullptr, FALSE);
}

void TSystemTimer::Disarm() {
  ::CancelWaitableTimer(H(FHandle));
  ::WaitForSingleObject(H(FHandle), 0);  // cancelling leaves a due expiry signalled
}

bool TSystemTimer::Acknowledge() {
  return true;  // the wait that saw it reset it; a disarmed timer is never seen
}
