// The window's event loop: timers and hand-overs go on in the system's modal
// loops, a stale expiry never fires, and no watch holds up the others.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>

#include "toolkit/Application.h"
#include "toolkit/HandOver.h"
#include "toolkit/Timer.h"
#include "toolkit/windows/ui/MessageBoxes.h"
#include "toolkit/windows/ui/WindowEventLoop.h"

namespace {

struct TTicks : TObject {
  std::function<void()> OnTick;
  void Tick(TObject*) { OnTick(); }
  TNotifyEvent Handler() { return TNotifyEvent::Of<&TTicks::Tick>(this); }
};

TEST(WindowEventLoop, TimersAndHandOversRunWhileAMessageBoxIsOpen) {
  const auto previous = Application().SetMessagePresenter(nullptr);
  InstallMessageBoxes();
  const std::string title = Application().Title();
  Application().SetTitle("Box °C");

  THandOver handOver;
  int handed = 0;
  std::thread worker([&] {
    while (handOver.Synchronize([&] { ++handed; })) {
    }
  });

  TComponent owner(nullptr);
  TTimer timer(&owner);
  TTicks ticks;
  int ticksInBox = 0, handedInBox = -1;
  bool closed = false;
  ticks.OnTick = [&] {
    const HWND box = ::FindWindowW(L"#32770", L"Box \u00b0C");
    if (!box || closed) return;
    if (handedInBox < 0) handedInBox = handed;
    if (++ticksInBox >= 3 && handed - handedInBox >= 3) {
      closed = true;
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  };
  timer.SetInterval(20);
  timer.SetOnTimer(ticks.Handler());

  Application().ShowMessage("Line 1\r\nLine 2");
  handOver.Cancel();
  worker.join();
  Application().SetTitle(title);
  Application().SetMessagePresenter(previous);
  EXPECT_TRUE(closed);
  EXPECT_GE(ticksInBox, 3);
}

// The watcher has seen the expiry and posted it; before the main thread
// takes it, the program stops or restarts the timer.
TEST(WindowEventLoop, AnExpiryPostedBeforeTheTimerChangedDoesNotFire) {
  struct TCase {
    const char* What;
    std::function<void(TTimer&)> Change;
  };
  const TCase cases[] = {
      {"disabled", [](TTimer& t) { t.SetEnabled(false); }},
      {"restarted", [](TTimer& t) { t.SetInterval(60'000); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TComponent owner(nullptr);
    TTimer timer(&owner);
    TTicks ticks;
    int fired = 0;
    ticks.OnTick = [&] { ++fired; };
    timer.SetInterval(1);
    timer.SetOnTimer(ticks.Handler());
    // Waits for the post without dispatching it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    MSG msg;
    while (!::PeekMessageW(&msg, nullptr, TWindowEventLoop::kSignalledMessage,
                           TWindowEventLoop::kSignalledMessage, PM_NOREMOVE)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      ASSERT_GT(left.count(), 0) << "the expiry was never posted";
      ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_POSTMESSAGE,
                                    0);
    }
    c.Change(timer);
    // A later wake-up is queued behind the stale expiry: once it ran, so had that.
    TWakeEvent marker;
    bool marked = false;
    const auto watch = MainLoop().Watch(marker.Handle(), [&] { marked = true; });
    marker.Signal();
    ASSERT_TRUE(MainLoop().RunUntil([&] { return marked; }, 5000));
    EXPECT_EQ(fired, 0);
  }
}

TEST(WindowEventLoop, AHandleThatStaysSignalledStarvesNoOtherAndMayEndItsOwnWatch) {
  const HANDLE stuck = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);  // never reset
  int stuckRuns = 0;
  std::unique_ptr<TLoopWatch> stuckWatch =
      MainLoop().Watch(reinterpret_cast<TNativeHandle>(stuck), [&] {
        if (++stuckRuns == 50) stuckWatch.reset();
      });
  TWakeEvent other;
  int otherRuns = 0;
  const auto otherWatch = MainLoop().Watch(other.Handle(), [&] { ++otherRuns; });
  other.Signal();
  EXPECT_TRUE(MainLoop().RunUntil([&] { return otherRuns == 1; }, 5000));
  EXPECT_TRUE(MainLoop().RunUntil([&] { return stuckRuns == 50; }, 5000));
  // Anything the ended watch had posted has run by the time this wake-up has.
  other.Signal();
  EXPECT_TRUE(MainLoop().RunUntil([&] { return otherRuns == 2; }, 5000));
  EXPECT_EQ(stuckRuns, 50);
  ::CloseHandle(stuck);
}

TEST(WindowEventLoop, RunUntilLeavesTheQuitMessageForRun) {
  auto& loop = dynamic_cast<TWindowEventLoop&>(MainLoop());
  ::PostQuitMessage(3);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 5000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(loop.Run(), 3);
}

}  // namespace
