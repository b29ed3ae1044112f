#include "toolkit/EventLoop.h"

namespace {

IEventLoop* Installed = nullptr;

}  // namespace

TEventLoop& OwnEventLoop() {
  static TEventLoop loop;
  return loop;
}

IEventLoop& MainLoop() {
  return Installed ? *Installed : OwnEventLoop();
}

void SetMainLoop(IEventLoop* Loop) {
  Installed = Loop;
}
