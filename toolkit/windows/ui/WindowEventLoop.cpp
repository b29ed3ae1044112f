#include "toolkit/windows/ui/WindowEventLoop.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/windows/ui/ControlPeer.h"

struct TWindowEventLoop::TImpl {
  // Shared with the watcher thread, under Mutex. A watch is Pending from the
  // watcher's post until the main thread took it, and not waited for
  // meanwhile: a handle that stays signalled would flood the queue.
  struct TEntry {
    std::uint64_t Id;
    HANDLE Duplicate;
    bool Removed = false;
    bool Pending = false;
  };
  std::mutex Mutex;
  std::vector<TEntry> Entries;
  bool Stopping = false;
  std::size_t Start = 0;     // where the next wait begins, so that no handle starves the others
  HANDLE Changed = nullptr;  // auto-reset: the set changed, or the watcher is to stop
  HWND Window = nullptr;     // set before the watcher starts

  // Main thread only.
  std::uint64_t NextId = 1;
  std::map<std::uint64_t, std::shared_ptr<std::function<void()>>> Callbacks;
  std::thread Watcher;

  void WatchHandles();
  void Signalled(std::uint64_t Id);
  void Remove(std::uint64_t Id);
};

namespace {

constexpr wchar_t kClassName[] = L"KalmetLoopWindow";
int RunDepth = 0;

class TWatch : public TLoopWatch {
 public:
  TWatch(std::weak_ptr<TWindowEventLoop::TImpl> Loop, std::uint64_t Id)
      : FLoop(std::move(Loop)), FId(Id) {}
  // The watcher closes its duplicate when it next builds its set.
  ~TWatch() override {
    if (const auto loop = FLoop.lock()) loop->Remove(FId);
  }

 private:
  std::weak_ptr<TWindowEventLoop::TImpl> FLoop;
  std::uint64_t FId;
};

LRESULT CALLBACK LoopWindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == TWindowEventLoop::kSignalledMessage) {
    auto* impl =
        reinterpret_cast<TWindowEventLoop::TImpl*>(::GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (impl) impl->Signalled(static_cast<std::uint64_t>(L));
    return 0;
  }
  return ::DefWindowProcW(Window, Message, W, L);
}

void RegisterLoopClass() {
  static const bool registered = [] {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = LoopWindowProc;
    c.hInstance = ::GetModuleHandleW(nullptr);
    c.lpszClassName = kClassName;
    return ::RegisterClassExW(&c) != 0;
  }();
  if (!registered)
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "RegisterClassEx");
}

void Dispatch(MSG& Msg) {
  // The forms take Tab, the arrows, Enter and Escape as dialogs do.
  const HWND root = Msg.hwnd ? ::GetAncestor(Msg.hwnd, GA_ROOT) : nullptr;
  if (root && IsFormWindow(root) && ::IsDialogMessageW(root, &Msg)) return;
  ::TranslateMessage(&Msg);
  ::DispatchMessageW(&Msg);
}

// Dispatches what is queued. False when it met WM_QUIT, which it leaves for Run.
bool DispatchQueued() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    Dispatch(msg);
  }
  return true;
}

}  // namespace

void TWindowEventLoop::TImpl::WatchHandles() {
  std::vector<HANDLE> handles;
  std::vector<std::uint64_t> ids;
  for (;;) {
    handles.assign(1, Changed);
    ids.assign(1, 0);
    {
      std::lock_guard lock(Mutex);
      if (Stopping) return;
      std::erase_if(Entries, [](const TEntry& e) {
        if (e.Removed) ::CloseHandle(e.Duplicate);
        return e.Removed;
      });
      const std::size_t n = Entries.size();
      for (std::size_t i = 0; i < n; ++i) {
        const TEntry& e = Entries[(Start + i) % n];
        if (e.Pending) continue;
        handles.push_back(e.Duplicate);
        ids.push_back(e.Id);
      }
    }
    const DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                             FALSE, INFINITE);
    std::size_t index;
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size())
      index = r - WAIT_OBJECT_0;
    else if (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + handles.size())
      index = r - WAIT_ABANDONED_0;
    else {
      // Every handle is a duplicate of ours: a failure here is a bug, and a
      // loop that silently stopped watching would hang the program.
      std::fprintf(stderr, "window event loop: WaitForMultipleObjects failed (%lu)\n",
                   ::GetLastError());
      std::terminate();
    }
    if (index == 0) continue;
    std::lock_guard lock(Mutex);
    const auto it = std::find_if(Entries.begin(), Entries.end(),
                                 [&](const TEntry& e) { return e.Id == ids[index]; });
    if (it == Entries.end() || it->Removed) continue;
    it->Pending = true;
    Start = static_cast<std::size_t>(it - Entries.begin()) + 1;
    ::PostMessageW(Window, kSignalledMessage, 0, static_cast<LPARAM>(it->Id));
  }
}

void TWindowEventLoop::TImpl::Signalled(std::uint64_t Id) {
  {
    std::lock_guard lock(Mutex);
    for (TEntry& e : Entries)
      if (e.Id == Id) e.Pending = false;
  }
  ::SetEvent(Changed);
  const auto it = Callbacks.find(Id);
  if (it == Callbacks.end()) return;  // removed after the watcher saw it
  // Held while it runs: the callback may end its own watch.
  const auto callback = it->second;
  // An exception must not unwind through the system's frames (a modal loop).
  try {
    (*callback)();
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
}

void TWindowEventLoop::TImpl::Remove(std::uint64_t Id) {
  Callbacks.erase(Id);
  {
    std::lock_guard lock(Mutex);
    for (TEntry& e : Entries)
      if (e.Id == Id) e.Removed = true;
  }
  ::SetEvent(Changed);
}

TWindowEventLoop::TWindowEventLoop() : F(std::make_shared<TImpl>()) {
  RegisterLoopClass();
  F->Changed = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!F->Changed)
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreateEvent");
  F->Window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  if (!F->Window) {
    const auto error = static_cast<int>(::GetLastError());
    ::CloseHandle(F->Changed);
    throw std::system_error(error, std::system_category(), "CreateWindowEx");
  }
  ::SetWindowLongPtrW(F->Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(F.get()));
  F->Watcher = std::thread([impl = F.get()] { impl->WatchHandles(); });
  SetMainLoop(this);
}

TWindowEventLoop::~TWindowEventLoop() {
  if (&MainLoop() == this) SetMainLoop(nullptr);
  {
    std::lock_guard lock(F->Mutex);
    F->Stopping = true;
  }
  ::SetEvent(F->Changed);
  F->Watcher.join();
  for (const auto& e : F->Entries) ::CloseHandle(e.Duplicate);
  F->Entries.clear();
  F->Callbacks.clear();
  ::DestroyWindow(F->Window);
  ::CloseHandle(F->Changed);
}

std::unique_ptr<TLoopWatch> TWindowEventLoop::Watch(TNativeHandle Handle,
                                                    std::function<void()> OnSignalled) {
  HANDLE duplicate = nullptr;
  const HANDLE self = ::GetCurrentProcess();
  if (!::DuplicateHandle(self, reinterpret_cast<HANDLE>(Handle), self, &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "DuplicateHandle");
  const std::uint64_t id = F->NextId++;
  {
    std::lock_guard lock(F->Mutex);
    const auto live = std::count_if(F->Entries.begin(), F->Entries.end(),
                                    [](const TImpl::TEntry& e) { return !e.Removed; });
    // One slot of the wait is the watcher's own event.
    if (live + 1 >= MAXIMUM_WAIT_OBJECTS) {
      ::CloseHandle(duplicate);
      throw std::system_error(ERROR_TOO_MANY_POSTS, std::system_category(), "too many watches");
    }
    F->Entries.push_back({id, duplicate});
  }
  F->Callbacks.emplace(id, std::make_shared<std::function<void()>>(std::move(OnSignalled)));
  ::SetEvent(F->Changed);
  return std::make_unique<TWatch>(F, id);
}

bool TWindowEventLoop::RunUntil(const std::function<bool()>& Done, int Milliseconds) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + milliseconds(Milliseconds);
  while (!Done()) {
    const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    if (!DispatchQueued()) return Done();
  }
  return true;
}

int TWindowEventLoop::Run() {
  ++RunDepth;
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  --RunDepth;
  return static_cast<int>(msg.wParam);
}

bool TWindowEventLoop::Running() {
  return RunDepth > 0;
}
