#pragma once

// Waiting in tests for what the main loop brings about.

#include <algorithm>
#include <chrono>
#include <functional>

#include "toolkit/EventLoop.h"

// Serves the main loop until Done() holds or Milliseconds have passed. Done is
// asked also every 10 ms, for conditions that no event of the loop announces
// (another thread's progress, bytes waiting in a device). True when Done.
inline bool WaitFor(const std::function<bool()>& Done, int Milliseconds) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + milliseconds(Milliseconds);
  while (!Done()) {
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    MainLoop().RunUntil(Done, static_cast<int>(std::min<long long>(left, 10)));
  }
  return true;
}

// Serves the main loop for Milliseconds.
inline void ServeLoopFor(int Milliseconds) {
  MainLoop().RunUntil([] { return false; }, Milliseconds);
}
