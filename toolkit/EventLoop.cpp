#include "toolkit/EventLoop.h"

#include <chrono>

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

bool TEventLoop::RunUntil(const std::function<bool()>& Done, int Milliseconds) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + milliseconds(Milliseconds);
  while (!Done()) {
    const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    WaitAndDispatch(static_cast<int>(left));
  }
  return true;
}
