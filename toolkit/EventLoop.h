#pragma once

// The main thread's event loop, as the toolkit uses it: it watches handles of
// the system and calls back on the main thread when one is signalled. Timers
// (toolkit/Timer.h) and the hand-over from worker threads (toolkit/HandOver.h)
// work through it, so they run on whichever loop the program has:
//  - the toolkit's own loop, TEventLoop (epoll on Linux; the system's wait
//    functions on Windows), for programs without a window and for tests;
//  - the window toolkit's loop (toolkit/qt/QtEventLoop.h), which installs
//    itself as the main loop while it exists.

#include <cstdint>
#include <functional>
#include <memory>

#include "toolkit/SystemHandles.h"

// Stops its watch when destroyed, also from inside the watch's own callback.
class TLoopWatch {
 public:
  virtual ~TLoopWatch() = default;
};

class IEventLoop {
 public:
  virtual ~IEventLoop() = default;
  // Calls OnSignalled whenever Handle is signalled (a file descriptor
  // readable; a waitable object set), until the watch is destroyed. The
  // callback acknowledges the signal itself.
  virtual std::unique_ptr<TLoopWatch> Watch(TNativeHandle Handle,
                                            std::function<void()> OnSignalled) = 0;
  // Handles events until Done() holds (asked whenever the loop is about to
  // wait, so after each round of callbacks) or Milliseconds have passed.
  // Returns Done(). Callbacks may run the loop again (a nested loop).
  virtual bool RunUntil(const std::function<bool()>& Done, int Milliseconds) = 0;
};

// The toolkit's own loop.
class TEventLoop : public IEventLoop {
 public:
  TEventLoop();
  ~TEventLoop() override;
  TEventLoop(const TEventLoop&) = delete;
  TEventLoop& operator=(const TEventLoop&) = delete;

  std::unique_ptr<TLoopWatch> Watch(TNativeHandle Handle,
                                    std::function<void()> OnSignalled) override;
  bool RunUntil(const std::function<bool()>& Done, int Milliseconds) override;

  struct TImpl;  // per system; watches hold it weakly

 private:
  // One round, per system: waits up to Milliseconds for a watched handle
  // and runs the callbacks of what was signalled.
  void WaitAndDispatch(int Milliseconds);

  std::shared_ptr<TImpl> F;
};

// The process's own loop: the main loop unless another is installed.
TEventLoop& OwnEventLoop();
// The loop that watches for timers and hand-overs made from now on.
IEventLoop& MainLoop();
// Installs Loop as the main loop (nullptr: the own loop again). Watches made
// before stay with the loop that made them.
void SetMainLoop(IEventLoop* Loop);
