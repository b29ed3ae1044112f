#pragma once

// A small client on a serial line for the simulator's tests: sends request
// frames and collects what comes back, waiting with generous limits.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

class TLineClient {
 public:
  explicit TLineClient(const std::string& Path) {
    FFd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0) return;
    termios t{};
    ::tcgetattr(FFd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(FFd, TCSANOW, &t);
  }
  ~TLineClient() {
    if (FFd >= 0) ::close(FFd);
  }
  bool Ok() const { return FFd >= 0; }

  void Send(const std::string& Line) {
    const std::string frame = Line + "\r\n";
    (void)::write(FFd, frame.data(), frame.size());
  }

  // Everything that arrives until Lines line ends were seen or the time is up.
  std::string Receive(int Lines = 1, int Milliseconds = 3000) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
    int seen = 0;
    while (seen < Lines) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      pollfd p{FFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      if (p.revents & (POLLHUP | POLLERR)) {
        Closed = true;
        break;
      }
      char buffer[256];
      const ssize_t n = ::read(FFd, buffer, sizeof buffer);
      if (n <= 0) {
        Closed = n == 0 || errno == EIO;
        if (Closed) break;
        continue;
      }
      Chunks.emplace_back(buffer, static_cast<std::size_t>(n));
      for (ssize_t i = 0; i < n; ++i) seen += buffer[i] == '\n';
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  std::string Ask(const std::string& Line, int Milliseconds = 3000) {
    Send(Line);
    return Receive(1, Milliseconds);
  }

  std::vector<std::string> Chunks;  // the reads, as they came
  bool Closed = false;

 private:
  int FFd = -1;
};
