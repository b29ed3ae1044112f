#pragma once

// Connects to a serial device server off the main thread, for a window that
// must not wait for the network while it tries to reach a lost server again:
// the connection is kept for the next open of that address, which then
// takes it at once (TNetworkLine::ConnectAhead). Done runs on the main loop
// when the connection is made or has failed. An attempt outlives its object
// (it ends by its own time limit), but reports to nobody then, and a
// connection it makes then is closed.

#include <functional>
#include <memory>
#include <string>

class TLoopWatch;

namespace platform {

class TServerConnect {
 public:
  TServerConnect(const std::string& Address, std::function<void(bool Connected)> Done);
  ~TServerConnect();
  TServerConnect(const TServerConnect&) = delete;
  TServerConnect& operator=(const TServerConnect&) = delete;

  struct TAttempt;  // shared with the connecting thread

 private:
  std::shared_ptr<TAttempt> FAttempt;
  std::unique_ptr<TLoopWatch> FWatch;
};

}  // namespace platform
