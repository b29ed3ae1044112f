#pragma once

// The window's event loop on Windows: one message loop for the windows and
// the watched handles. The windows' modal loops (a message box, moving the
// window) dispatch messages but know nothing of our handles, so a watcher
// thread waits on the handles and posts each one that is signalled to a
// message-only window of ours; its window procedure runs the watch's callback
// on the main thread, in whichever loop is running. Installs itself as the main
// loop while it exists (toolkit/EventLoop.h).

#include <functional>
#include <memory>

#include "toolkit/EventLoop.h"

class TWindowEventLoop : public IEventLoop {
 public:
  TWindowEventLoop();
  ~TWindowEventLoop() override;
  TWindowEventLoop(const TWindowEventLoop&) = delete;
  TWindowEventLoop& operator=(const TWindowEventLoop&) = delete;

  // Any number of watches up to the system's limit of waited handles less one.
  std::unique_ptr<TLoopWatch> Watch(TNativeHandle Handle,
                                    std::function<void()> OnSignalled) override;
  // Leaves a WM_QUIT it meets in the queue, for Run.
  bool RunUntil(const std::function<bool()>& Done, int Milliseconds) override;
  // The program's loop: until WM_QUIT; returns its exit code.
  int Run();
  // True while Run runs: destroying a form then ends the program.
  static bool Running();

  // What the watcher posts to its window: LPARAM is the watch's id.
  static constexpr unsigned kSignalledMessage = 0x8000 + 0x100;  // WM_APP + 0x100

  struct TImpl;

 private:
  std::shared_ptr<TImpl> F;
};
