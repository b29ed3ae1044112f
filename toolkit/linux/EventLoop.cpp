// The toolkit's own event loop on Linux: epoll over the watched descriptors.

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <system_error>

#include "toolkit/EventLoop.h"

struct TEventLoop::TImpl {
  ~TImpl() { ::close(Epoll); }
  int Epoll = -1;
  std::uint64_t NextId = 1;
  // By watch, not by descriptor: a signal seen for a watch that has gone
  // meanwhile reaches nobody, even if its descriptor number is in use again.
  std::map<std::uint64_t, std::shared_ptr<std::function<void()>>> Callbacks;
};

namespace {

class TEpollWatch : public TLoopWatch {
 public:
  TEpollWatch(std::weak_ptr<TEventLoop::TImpl> Loop, int Fd, std::uint64_t Id)
      : FLoop(std::move(Loop)), FFd(Fd), FId(Id) {}
  ~TEpollWatch() override {
    const auto loop = FLoop.lock();
    if (!loop) return;
    ::epoll_ctl(loop->Epoll, EPOLL_CTL_DEL, FFd, nullptr);
    loop->Callbacks.erase(FId);
  }

 private:
  std::weak_ptr<TEventLoop::TImpl> FLoop;
  int FFd;
  std::uint64_t FId;
};

}  // namespace

TEventLoop::TEventLoop() : F(std::make_shared<TImpl>()) {
  F->Epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (F->Epoll < 0) throw std::system_error(errno, std::system_category(), "epoll_create1");
}

TEventLoop::~TEventLoop() = default;

std::unique_ptr<TLoopWatch> TEventLoop::Watch(TNativeHandle Handle,
                                              std::function<void()> OnSignalled) {
  const int fd = static_cast<int>(Handle);
  const std::uint64_t id = F->NextId++;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = id;
  if (::epoll_ctl(F->Epoll, EPOLL_CTL_ADD, fd, &event) < 0)
    throw std::system_error(errno, std::system_category(), "epoll_ctl");
  F->Callbacks[id] = std::make_shared<std::function<void()>>(std::move(OnSignalled));
  return std::make_unique<TEpollWatch>(F, fd, id);
}

void TEventLoop::WaitAndDispatch(int Milliseconds) {
  epoll_event events[16];
  const int n = ::epoll_wait(F->Epoll, events, 16, Milliseconds);
  if (n < 0) {
    if (errno == EINTR) return;
    throw std::system_error(errno, std::system_category(), "epoll_wait");
  }
  for (int i = 0; i < n; ++i) {
    const auto it = F->Callbacks.find(events[i].data.u64);
    if (it == F->Callbacks.end()) continue;
    // Held while it runs: the callback may end its own watch.
    const auto callback = it->second;
    (*callback)();
  }
}
