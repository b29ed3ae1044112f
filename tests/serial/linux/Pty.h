#pragma once

// A pseudo-terminal pair: the port under test opens the slave side, the test
// plays the far end on the master side.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "tests/support/Wait.h"

class TPty {
 public:
  static constexpr bool kCanHangUp = true;

  TPty() {
    int slave = -1;
    char name[128];
    if (::openpty(&FMaster, &slave, name, nullptr, nullptr) != 0) return;
    FSlavePath = name;
    ::close(slave);  // the port opens it itself
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    ::fcntl(FMaster, F_SETFD, FD_CLOEXEC);
  }
  ~TPty() { HangUp(); }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  bool Ok() const { return FMaster >= 0; }
  const std::string& SlavePath() const { return FSlavePath; }
  int Master() const { return FMaster; }

  void Write(const std::string& Bytes) const {
    std::size_t done = 0;
    while (done < Bytes.size()) {
      const ssize_t n = ::write(FMaster, Bytes.data() + done, Bytes.size() - done);
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else {
        pollfd p{FMaster, POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
  }

  // Reads until Count bytes arrived or Milliseconds passed, serving the main
  // loop meanwhile.
  std::string Read(std::size_t Count, int Milliseconds = 5000) const {
    std::string got;
    (void)WaitFor(
        [&] {
          char buffer[4096];
          ssize_t n;
          while (got.size() < Count &&
                 (n = ::read(FMaster, buffer, std::min(sizeof buffer, Count - got.size()))) > 0)
            got.append(buffer, static_cast<std::size_t>(n));
          return got.size() >= Count;
        },
        Milliseconds);
    return got;
  }

  // Closing the master side hangs the slave up: an unplugged adapter.
  void HangUp() {
    if (FMaster >= 0) ::close(FMaster);
    FMaster = -1;
  }

 private:
  int FMaster = -1;
  std::string FSlavePath;
};
