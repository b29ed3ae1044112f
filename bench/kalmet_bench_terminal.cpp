// kalmet-bench-terminal: how fast a terminal program (kalmet-cli, or
// kalmet-cli.exe under Wine) runs the first read against the 1200-baud line
// limit. Measured on the line, from the first byte of the search to the last
// byte of the last reply, so that a program's start (Wine's above all) does
// not count; the lower bound is every byte on the line plus the 200 ms
// pauses between a reply and the next request.
// Usage: kalmet-bench-terminal RUNS LABEL LINK PROGRAM [ARG]...
//   the simulator's line is made at LINK; PROGRAM reads the probe there.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/LineLimit.h"
#include "tools/SimulatorServer.h"

extern char** environ;

namespace {

int Run(const std::vector<std::string>& Command) {
  std::vector<char*> argv;
  for (const std::string& a : Command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // What the program prints is not the benchmark's.
  posix_spawn_file_actions_t quiet;
  ::posix_spawn_file_actions_init(&quiet);
  ::posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int failed = ::posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&quiet);
  if (failed) throw std::runtime_error("cannot start " + Command[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct TRead {
  double Ms, BoundMs;
  std::vector<double> Pauses;
};

TRead MeasureOnce(const std::string& Preset, const std::string& Link,
                  const std::vector<std::string>& Command) {
  sim::TServerOptions options;
  options.Timing.Pace = true;
  options.Link = Link;
  sim::TSimulatorServer server(*sim::Preset(Preset), options);
  std::string error;
  if (!server.Open(error)) throw std::runtime_error(error);
  server.Start();
  if (Run(Command) != 0) throw std::runtime_error("the program did not read the probe");
  const auto log = server.Log();
  TRead read{};
  double first = -1, last = -1, replyEnd = -1;
  std::size_t bytes = 0;
  int replies = 0;
  for (const auto& e : log) {
    if (e.Kind != "REQ" && e.Kind != "REP") continue;
    if (replies == 11) break;  // the search and the ten requests of the first read
    bytes += LoggedBytes(e.Text);
    if (e.Kind == "REQ") {
      if (first < 0) first = e.LineMs;
      if (replyEnd >= 0) read.Pauses.push_back(e.LineMs - replyEnd);
    } else {
      ++replies;
      last = replyEnd = e.LineMs;
    }
  }
  if (replies != 11) throw std::runtime_error("the first read did not finish");
  read.Ms = last - first;
  read.BoundMs = bytes * kByteMs + (replies - 1) * kPauseMs;
  return read;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 5) {
    std::fprintf(stderr, "Usage: kalmet-bench-terminal RUNS LABEL LINK PROGRAM [ARG]...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  const std::string label = argv[2], link = argv[3];
  const std::vector<std::string> command(argv + 4, argv + argc);
  try {
    std::vector<double> pauses;
    for (const char* preset : {"current-loop", "rs485-d"}) {
      std::vector<double> ms, bound;
      for (int i = 0; i < runs; ++i) {
        const TRead r = MeasureOnce(preset, link, command);
        ms.push_back(r.Ms);
        bound.push_back(r.BoundMs);
        pauses.insert(pauses.end(), r.Pauses.begin(), r.Pauses.end());
      }
      const double m = Median(ms), b = Median(bound);
      std::printf(
          "| first read on the line, %s probe, %s | %.1f ms | %.1f ms | %.1f ms | %.2f %% |\n",
          preset, label.c_str(), m, b, m - b, 100 * (m - b) / b);
    }
    std::sort(pauses.begin(), pauses.end());
    std::printf(
        "| pause from a reply to the next request, %s: min / median / max | %.2f / %.2f / "
        "%.2f ms | 200.00 ms | | |\n",
        label.c_str(), pauses.front(), Median(pauses), pauses.back());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kalmet-bench-terminal: %s\n", e.what());
    return 1;
  }
  return 0;
}
