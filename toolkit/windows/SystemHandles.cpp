// The wake-up and the timer on Windows: an auto-reset event and a
// synchronization waitable timer, high-resolution where the system has it
// (a plain one expires on the system tick, up to about 16 ms late). The wait
// that sees one signalled also resets it.
//
// The window's loop waits on another thread and hands the expiry over later
// (toolkit/windows/ui/WindowEventLoop.h): by then the timer may have been
// disarmed or re-armed. So each timer keeps its due time on the steady clock,
// and Acknowledge takes only an expiry that is due by it.

#include "toolkit/SystemHandles.h"

#include <windows.h>

#include <algorithm>
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
  const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(Period);
  FDue = std::chrono::steady_clock::now() + std::chrono::nanoseconds(ticks * 100);
  FPeriod = period;
  FArmed = true;
  ::SetWaitableTimer(H(FHandle), &due, static_cast<LONG>(period.count()), nullptr, nullptr, FALSE);
}

void TSystemTimer::Disarm() {
  FArmed = false;
  ::CancelWaitableTimer(H(FHandle));
  ::WaitForSingleObject(H(FHandle), 0);  // cancelling leaves a due expiry signalled
}

bool TSystemTimer::Acknowledge() {
  // The wait that saw it reset it.
  if (!FArmed) return false;  // disarmed since
  using namespace std::chrono;
  // The system's timers and the steady clock may disagree by a little; a plain
  // (not high-resolution) timer by up to a tick of the system's clock.
  const nanoseconds tolerance = std::min<nanoseconds>(FPeriod / 2, milliseconds(16));
  const auto now = steady_clock::now();
  if (now < FDue - tolerance) return false;  // an expiry of before the last Arm
  if (FPeriod.count() <= 0) {
    FArmed = false;  // once only
    return true;
  }
  // Expiries missed meanwhile count as one.
  FDue += FPeriod * ((now - FDue) / FPeriod + 1);
  return true;
}
