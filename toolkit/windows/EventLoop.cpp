// The toolkit's own event loop on Windows: WaitForMultipleObjects over the
// watched handles.

#include <windows.h>

#include <algorithm>
#include <system_error>
#include <vector>

#include "toolkit/EventLoop.h"

struct TEventLoop::TImpl {
  struct TEntry {
    std::uint64_t Id;
    HANDLE Handle;
    std::shared_ptr<std::function<void()>> Callback;
  };
  std::uint64_t NextId = 1;
  std::vector<TEntry> Entries;
  std::size_t Start = 0;  // where the next wait begins, so that no handle starves the others
};

namespace {

class TWaitWatch : public TLoopWatch {
 public:
  TWaitWatch(std::weak_ptr<TEventLoop::TImpl> Loop, std::uint64_t Id)
      : FLoop(std::move(Loop)), FId(Id) {}
  ~TWaitWatch() override {
    const auto loop = FLoop.lock();
    if (!loop) return;
    std::erase_if(loop->Entries, [this](const auto& e) { return e.Id == FId; });
  }

 private:
  std::weak_ptr<TEventLoop::TImpl> FLoop;
  std::uint64_t FId;
};

}  // namespace

TEventLoop::TEventLoop() : F(std::make_shared<TImpl>()) {}

TEventLoop::~TEventLoop() = default;

std::unique_ptr<TLoopWatch> TEventLoop::Watch(TNativeHandle Handle,
                                              std::function<void()> OnSignalled) {
  if (F->Entries.size() >= MAXIMUM_WAIT_OBJECTS)
    throw std::system_error(ERROR_TOO_MANY_POSTS, std::system_category(), "too many watches");
  const std::uint64_t id = F->NextId++;
  F->Entries.push_back({id, reinterpret_cast<HANDLE>(Handle),
                        std::make_shared<std::function<void()>>(std::move(OnSignalled))});
  return std::make_unique<TWaitWatch>(F, id);
}

void TEventLoop::WaitAndDispatch(int Milliseconds) {
  const std::size_t n = F->Entries.size();
  if (n == 0) {
    ::Sleep(static_cast<DWORD>(Milliseconds));  // nothing to wait for until the time is over
    return;
  }
  std::vector<HANDLE> handles;
  std::vector<std::uint64_t> ids;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& e = F->Entries[(F->Start + i) % n];
    handles.push_back(e.Handle);
    ids.push_back(e.Id);
  }
  const DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(n), handles.data(), FALSE,
                                           static_cast<DWORD>(Milliseconds));
  if (r == WAIT_TIMEOUT) return;
  if (r >= WAIT_OBJECT_0 + n)
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "WaitForMultipleObjects");
  const std::uint64_t id = ids[r - WAIT_OBJECT_0];
  const auto it = std::find_if(F->Entries.begin(), F->Entries.end(),
                               [id](const auto& e) { return e.Id == id; });
  if (it == F->Entries.end()) return;
  F->Start = static_cast<std::size_t>(it - F->Entries.begin()) + 1;
  // Held while it runs: the callback may end its own watch.
  const auto callback = it->Callback;
  (*callback)();
}
