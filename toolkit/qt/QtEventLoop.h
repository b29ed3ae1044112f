#pragma once

// Qt's event loop as the main loop of the toolkit: the window's program (and
// its tests) make one beside the QApplication, and while it exists timers and
// hand-overs are watched by Qt's loop, also in its nested loops (message boxes).

#include "toolkit/EventLoop.h"

class TQtEventLoop : public IEventLoop {
 public:
  TQtEventLoop();  // installs itself as the main loop
  ~TQtEventLoop() override;
  TQtEventLoop(const TQtEventLoop&) = delete;
  TQtEventLoop& operator=(const TQtEventLoop&) = delete;

  std::unique_ptr<TLoopWatch> Watch(TNativeHandle Handle,
                                    std::function<void()> OnSignalled) override;
  bool RunUntil(const std::function<bool()>& Done, int Milliseconds) override;
};
