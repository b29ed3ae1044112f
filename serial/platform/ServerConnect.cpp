#include "serial/platform/ServerConnect.h"

#include <atomic>
#include <thread>

#include "serial/platform/network/NetworkLine.h"
#include "toolkit/EventLoop.h"
#include "toolkit/SystemHandles.h"

namespace platform {

struct TServerConnect::TAttempt {
  unsigned Number = 0;
  TWakeEvent Finished;
  std::atomic<bool> Connected{false};
  std::atomic<bool> Abandoned{false};
};

TServerConnect::TServerConnect(const std::string& Address, std::function<void(bool Connected)> Done)
    : FAttempt(std::make_shared<TAttempt>()) {
  static std::atomic<unsigned> attempts{0};
  FAttempt->Number = ++attempts;
  FWatch = MainLoop().Watch(FAttempt->Finished.Handle(), [this, Done = std::move(Done)] {
    FAttempt->Finished.Acknowledge();
    Done(FAttempt->Connected);
  });
  std::thread([Attempt = FAttempt, Address] {
    int detail = 0;
    const bool connected = TNetworkLine::ConnectAhead(Address, Attempt->Number, detail);
    if (connected && Attempt->Abandoned) TNetworkLine::DropConnectionAhead(Attempt->Number);
    Attempt->Connected = connected;
    Attempt->Finished.Signal();
  }).detach();
}

TServerConnect::~TServerConnect() {
  FWatch.reset();
  // Before the drop: a connection the attempt keeps after it, it drops itself.
  // A later attempt's connection stays.
  FAttempt->Abandoned = true;
  TNetworkLine::DropConnectionAhead(FAttempt->Number);
}

}  // namespace platform
