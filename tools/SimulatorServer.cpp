#include "tools/SimulatorServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

// Raw mode: bytes pass unchanged in both directions.
void MakeRaw(int Fd, bool Set1200) {
  termios t{};
  if (::tcgetattr(Fd, &t) != 0) return;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (Set1200) {
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8;
    ::cfsetispeed(&t, B1200);
    ::cfsetospeed(&t, B1200);
  }
  ::tcsetattr(Fd, TCSANOW, &t);
}

}  // namespace

TSimulatorServer::TSimulatorServer(TProbeModel Model, TServerOptions Options)
    : FOptions(std::move(Options)), FModel(std::move(Model)) {
  FStopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  FUnplugFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TSimulatorServer::~TSimulatorServer() {
  Stop();
  if (FThread.joinable()) FThread.join();
  CloseLine();
  if (!FOptions.Link.empty()) {
    // Only our own link goes.
    char target[4096];
    const ssize_t n = ::readlink(FOptions.Link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == FSlavePath)
      ::unlink(FOptions.Link.c_str());
  }
  if (FStopFd >= 0) ::close(FStopFd);
  if (FUnplugFd >= 0) ::close(FUnplugFd);
}

std::string TSimulatorServer::Escape(const std::string& Bytes) {
  std::string out;
  for (unsigned char c : Bytes) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else if (c < 0x20 || c >= 0x7F) {
      char b[5];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    } else
      out += static_cast<char>(c);
  }
  return out;
}

bool TSimulatorServer::Open(std::string& Error) {
  return OpenLine(Error);
}

bool TSimulatorServer::OpenLine(std::string& Error) {
  if (!FOptions.Port.empty()) {
    FMaster = ::open(FOptions.Port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FMaster < 0) {
      Error = FOptions.Port + ": " + std::strerror(errno);
      return false;
    }
    MakeRaw(FMaster, true);
    FSlavePath = FOptions.Port;
  } else {
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0) {
      Error = std::string("pseudo-terminal: ") + std::strerror(errno);
      return false;
    }
    char name[256];
    if (::ptsname_r(FMaster, name, sizeof name) != 0) {
      Error = std::string("pseudo-terminal: ") + std::strerror(errno);
      return false;
    }
    FSlavePath = name;
    // Held open so that the line stays up while no tool has it open.
    FHeldSlave = ::open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FHeldSlave >= 0) MakeRaw(FHeldSlave, false);
    MakeRaw(FMaster, false);
    if (!FOptions.Link.empty()) {
      // Only a link that leads nowhere any more (ours from before the line
      // went away, or a stopped simulator's) is replaced; never a file, a
      // device or another simulator's live link.
      struct stat target {};
      struct stat link {};
      char pointsTo[4096] = {};
      if (::lstat(FOptions.Link.c_str(), &link) == 0) {
        // Ours from before the line went away: its old number may be in use
        // by another pseudo-terminal by now (or by our new line).
        const bool ours = ::readlink(FOptions.Link.c_str(), pointsTo, sizeof pointsTo - 1) > 0 &&
                          (FLinkTarget == pointsTo || FSlavePath == pointsTo);
        if (!S_ISLNK(link.st_mode) || (!ours && ::stat(FOptions.Link.c_str(), &target) == 0)) {
          Error = FOptions.Link + ": is there already (not replaced)";
          return false;
        }
        ::unlink(FOptions.Link.c_str());
      }
      if (::symlink(FSlavePath.c_str(), FOptions.Link.c_str()) != 0) {
        Error = FOptions.Link + ": " + std::strerror(errno);
        return false;
      }
      FLinkTarget = FSlavePath;
    }
  }
  std::lock_guard lock(FMutex);
  FLineOpen = true;
  return true;
}

void TSimulatorServer::CloseLine() {
  if (FMaster >= 0) ::close(FMaster);
  if (FHeldSlave >= 0) ::close(FHeldSlave);
  FMaster = FHeldSlave = -1;
  FLine.clear();
  FOutput.clear();
}

std::string TSimulatorServer::DevicePath() const {
  return FOptions.Link.empty() ? FSlavePath : FOptions.Link;
}

void TSimulatorServer::Start() {
  FThread = std::thread([this] { Run(); });
}

void TSimulatorServer::Stop() {
  const std::uint64_t one = 1;
  if (FStopFd >= 0) (void)!::write(FStopFd, &one, sizeof one);
}

void TSimulatorServer::Unplug(int ReturnAfterMs) {
  {
    std::lock_guard lock(FMutex);
    FUnplugReturnAfter = ReturnAfterMs;
  }
  const std::uint64_t one = 1;
  (void)!::write(FUnplugFd, &one, sizeof one);
}

void TSimulatorServer::HangUpLine(int ReturnAfterMs, TClock::time_point Now) {
  // Unplugged: the line goes away under the tool.
  Record("HANGUP", "");
  CloseLine();
  FLineOpen = false;
  if (ReturnAfterMs >= 0) FReturnAt = Now + std::chrono::milliseconds(ReturnAfterMs);
}

TProbeModel TSimulatorServer::Model() const {
  std::lock_guard lock(FMutex);
  return FModel;
}

void TSimulatorServer::SetFaults(const TFaults& Faults) {
  std::lock_guard lock(FMutex);
  FOptions.Faults = Faults;
  // New faults count their requests, searches and replies from now on.
  FFaultRequests = FFaultReplies = FSearches = 0;
}

std::vector<TLogEntry> TSimulatorServer::Log() const {
  std::lock_guard lock(FMutex);
  return FLog;
}

int TSimulatorServer::Requests() const {
  std::lock_guard lock(FMutex);
  return FRequests;
}

bool TSimulatorServer::LineOpen() const {
  std::lock_guard lock(FMutex);
  return FLineOpen;
}

std::chrono::microseconds TSimulatorServer::ByteTime() const {
  if (!FOptions.Timing.Pace || FOptions.Timing.Baud <= 0) return std::chrono::microseconds(0);
  return std::chrono::microseconds(10'000'000LL / FOptions.Timing.Baud);  // 10 bits a byte
}

double TSimulatorServer::Since(TClock::time_point Time) const {
  return std::chrono::duration<double, std::milli>(Time - FStarted).count();
}

void TSimulatorServer::Record(const std::string& Kind, const std::string& Text) {
  const double ms = Since(TClock::now());
  FLog.push_back({ms, Kind, Text, -1});
  if (LogSink) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f ", ms);
    LogSink(stamp + Kind + (Text.empty() ? "" : " " + Text) + "\n");
  }
}

void TSimulatorServer::Run() {
  if (FOptions.Timing.Pace) {
    // A paced line stands in for hardware, which the tool's own work on this
    // machine does not delay: run ahead of every ordinary thread where that
    // is permitted (the tool raises its own priority while a port is open).
    const sched_param realTime{1};
    (void)::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &realTime);
  }
  char buffer[512];
  for (;;) {
    const auto now = TClock::now();
    std::optional<TClock::time_point> next = NextDue();
    if (FReturnAt && (!next || *FReturnAt < *next)) next = FReturnAt;
    // Bytes go onto the line at their due time to the microsecond, not to
    // the next whole millisecond.
    timespec timeout{};
    if (next) {
      const auto left = std::max<TClock::duration>(*next - now, TClock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    pollfd fds[3] = {{FStopFd, POLLIN, 0}, {FUnplugFd, POLLIN, 0}, {FMaster, POLLIN, 0}};
    if (!FOutput.empty() && FOutput.front().Due <= now) fds[2].events |= POLLOUT;
    const int n = ::ppoll(fds, FMaster >= 0 ? 3 : 2, next ? &timeout : nullptr, nullptr);
    if (n < 0 && errno != EINTR) return;
    if (fds[0].revents & POLLIN) return;
    const auto after = TClock::now();
    if (fds[1].revents & POLLIN) {
      std::uint64_t count;
      (void)!::read(FUnplugFd, &count, sizeof count);
      std::lock_guard lock(FMutex);
      if (FUnplugReturnAfter && FMaster >= 0) HangUpLine(*FUnplugReturnAfter, after);
      FUnplugReturnAfter.reset();
    }
    if (FMaster >= 0 && (fds[2].revents & POLLIN)) {
      ssize_t got;
      while ((got = ::read(FMaster, buffer, sizeof buffer)) > 0)
        OnBytes(buffer, static_cast<std::size_t>(got), after);
    }
    // With no tool on the line a pseudo-terminal master reports a hang-up;
    // that is no reason to end (the held slave keeps the line).
    if (FMaster >= 0) Flush(after);
    if (FReturnAt && *FReturnAt <= after) {
      FReturnAt.reset();
      std::string error;
      if (OpenLine(error)) {
        std::lock_guard lock(FMutex);
        Record("RETURN", FSlavePath);
      }
    }
  }
}

void TSimulatorServer::OnBytes(const char* Data, std::size_t Count, TClock::time_point Now) {
  for (std::size_t i = 0; i < Count && FMaster >= 0; ++i) {
    if (FLine.empty()) FLineStart = Now;
    FLine += Data[i];
    if (Data[i] != '\n') {
      if (FLine.size() > 200) FLine.clear();  // noise, not a request
      continue;
    }
    const std::string raw = FLine;
    FLine.clear();
    OnRequest(raw, FLineStart, Now);
  }
}

void TSimulatorServer::OnRequest(const std::string& Raw, TClock::time_point FirstByte,
                                 TClock::time_point Now) {
  std::string Line = Raw.substr(0, Raw.size() - 1);
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  std::lock_guard lock(FMutex);
  const TFaults& f = FOptions.Faults;
  ++FRequests;
  const int number = ++FFaultRequests;
  Record("REQ", Escape(Line + "\r\n"));
  FLog.back().LineMs = Since(FirstByte);
  if (f.EchoEvery > 0 && number % f.EchoEvery == 0) {
    // Each byte comes back as it goes out: with pacing, alongside the request.
    Queue(FirstByte, Raw);
    Record("ECHO", Escape(Raw));
  }

  if (f.HangUpAfter >= 0 && number >= f.HangUpAfter) {
    FOptions.Faults.HangUpAfter = -1;
    HangUpLine(f.ReturnAfterMs, Now);
    return;
  }
  if (f.SilentAfter >= 0 && number > f.SilentAfter &&
      (f.SilentFor < 0 || number <= f.SilentAfter + f.SilentFor)) {
    Record("FAULT", "silent");
    return;
  }

  TProbeModel& model = FModel;
  std::optional<std::string> reply;
  if (Line == "S 0") {
    ++FSearches;
    const char status = model.Status;
    if (FSearches <= f.BadStatus) model.Status = '1';
    reply = Answer(model, Line);
    model.Status = status;
    if (FSearches <= f.BadStatus) Record("FAULT", "status 1");
    if (FSearches <= f.BadChecksum && reply) {
      std::string& r = *reply;
      const std::size_t digits = r.size() - 5;
      const int wrong = (std::stoi(r.substr(digits, 3)) + 1) % 1000;
      char text[8];
      std::snprintf(text, sizeof text, "%03d", wrong);
      r.replace(digits, 3, text);
      Record("FAULT", "bad checksum");
    }
  } else {
    reply = Answer(model, Line);
  }
  if (!reply) return;

  const int replyNumber = ++FFaultReplies;
  // A real line delivers the request byte by byte: it ends that much after
  // its first byte, and the reply follows after the latency.
  const auto requestEnd =
      std::max(Now, FirstByte + ByteTime() * static_cast<long>(Line.size() + 2));
  auto start = requestEnd + std::chrono::milliseconds(FOptions.Timing.LatencyMs);

  std::string out;
  if (f.OverlongEvery > 0 && replyNumber % f.OverlongEvery == 0) {
    Queue(start, std::string(58, 'X') + "\r\n");
    Record("FAULT", "over-long line");
    start = FLineFreeAt;
  }
  const int parts = std::max(1, std::min<int>(f.SplitParts, static_cast<int>(reply->size())));
  const std::size_t partSize = (reply->size() + parts - 1) / parts;
  for (std::size_t at = 0; at < reply->size(); at += partSize) {
    Queue(start, reply->substr(at, partSize));
    start =
        FLineFreeAt + std::chrono::milliseconds(at + partSize < reply->size() ? f.SplitGapMs : 0);
  }
  if (parts > 1) Record("FAULT", "split in " + std::to_string(parts));
  Record("REP", Escape(*reply));
  FOutput.back().EndOfReply = FLog.size() - 1;
  if (f.TwiceEvery > 0 && replyNumber % f.TwiceEvery == 0) {
    Queue(start, *reply);
    Record("FAULT", "answered twice");
  }
  if (f.UnsolicitedEvery > 0 && replyNumber % f.UnsolicitedEvery == 0) {
    const std::string noise = f.UnsolicitedLine ? "NOISE\r\n" : std::string("\x00\xFF~noise~", 9);
    Queue(start + std::chrono::milliseconds(20), noise);
    Record("FAULT", "unsolicited " + Escape(noise));
  }
}

void TSimulatorServer::Queue(TClock::time_point Start, const std::string& Bytes) {
  const auto byteTime = ByteTime();
  Start = std::max(Start, FLineFreeAt);
  if (byteTime.count() == 0) {
    FOutput.push_back({Start, Bytes, std::nullopt});
    FLineFreeAt = Start;
    return;
  }
  // Paced: one byte at a time, each handed over when its stop bit has ended.
  for (std::size_t i = 0; i < Bytes.size(); ++i)
    FOutput.push_back(
        {Start + byteTime * static_cast<long>(i + 1), std::string(1, Bytes[i]), std::nullopt});
  FLineFreeAt = Start + byteTime * static_cast<long>(Bytes.size());
}

std::optional<TSimulatorServer::TClock::time_point> TSimulatorServer::NextDue() const {
  if (FOutput.empty()) return std::nullopt;
  return FOutput.front().Due;
}

void TSimulatorServer::Flush(TClock::time_point Now) {
  while (!FOutput.empty() && FOutput.front().Due <= Now && FMaster >= 0) {
    TOutput& o = FOutput.front();
    const ssize_t n = ::write(FMaster, o.Bytes.data(), o.Bytes.size());
    if (n < 0) return;  // full (POLLOUT wakes us) or no reader
    o.Bytes.erase(0, static_cast<std::size_t>(n));
    if (!o.Bytes.empty()) continue;
    if (o.EndOfReply) {
      std::lock_guard lock(FMutex);
      FLog[*o.EndOfReply].LineMs = Since(TClock::now());
    }
    FOutput.pop_front();
  }
}

}  // namespace sim
