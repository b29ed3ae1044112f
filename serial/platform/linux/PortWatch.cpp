// The port watch on Linux: inotify on /dev and the user's folder of virtual
// ports, and on the nearest existing folder of a lost port's path (a link
// such as /dev/serial/by-id/... comes back one folder after the other).

#include "serial/platform/PortWatch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "serial/platform/CommServices.h"
#include "toolkit/EventLoop.h"

namespace platform {

struct TPortWatch::TImpl {
  int Fd = -1;
  std::function<void()> OnChange;
  std::set<int> Roots;               // the watches of the machine's folders
  std::map<std::string, int> Extra;  // folder -> watch, beside the roots
  std::unique_ptr<TLoopWatch> LoopWatch;

  void Drain() {
    alignas(inotify_event) char buffer[4096];
    while (::read(Fd, buffer, sizeof buffer) > 0) {
    }
  }
  int Add(const std::string& Folder) {
    // Entries made, removed or renamed, and changed permissions of a device.
    return ::inotify_add_watch(Fd, Folder.c_str(),
                               IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
  }
};

TPortWatch::TPortWatch(const TDeviceRoots& Roots, std::function<void()> OnChange)
    : F(std::make_unique<TImpl>()) {
  F->OnChange = std::move(OnChange);
  F->Fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (F->Fd < 0) return;  // no notices then; the list stays as it was read
  F->Roots.insert(F->Add(Roots.Dev));
  // The user's own folder of virtual ports, made (for this user alone) so
  // that it can be watched.
  ::mkdir(Roots.User.c_str(), 0700);
  if (IsOwnFolder(Roots.User)) F->Roots.insert(F->Add(Roots.User));
  TImpl* impl = F.get();
  F->LoopWatch = MainLoop().Watch(F->Fd, [impl] {
    impl->Drain();
    if (impl->OnChange) impl->OnChange();
  });
}

TPortWatch::~TPortWatch() {
  F->LoopWatch.reset();
  if (F->Fd >= 0) ::close(F->Fd);
}

void TPortWatch::WatchFor(const std::string& DeviceName) {
  if (F->Fd < 0) return;
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::path(DevicePathOf(DeviceName)).parent_path();
  while (!dir.empty() && !fs::is_directory(dir, ec) && dir != dir.root_path())
    dir = dir.parent_path();
  if (dir.empty() || F->Extra.count(dir.string())) return;
  const int wd = F->Add(dir.string());
  if (wd >= 0) F->Extra.emplace(dir.string(), wd);
}

void TPortWatch::StopWatchingFor() {
  // A folder that is also a root keeps its watch: inotify gives one watch per
  // folder, and removing it would end the root's too.
  for (const auto& [folder, wd] : F->Extra)
    if (!F->Roots.count(wd)) ::inotify_rm_watch(F->Fd, wd);
  F->Extra.clear();
}

}  // namespace platform
