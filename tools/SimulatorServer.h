#pragma once

// Carries a virtual probe's conversation over a serial line: a new
// pseudo-terminal (optionally with a symbolic link, e.g. /dev/ttyKALMET0) or
// a real serial device at 1200 8N1. Request lines in, reply lines out, with
// optional line pacing, reply latency and injected faults, and a log of
// every request and reply.

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/ProbeModel.h"

namespace sim {

// Each fault is off by default. Requests, searches and replies are counted
// from 1, from the start or from the last SetFaults.
struct TFaults {
  int SilentAfter = -1;          // no answer to the requests after this many ...
  int SilentFor = -1;            // ... for this many requests (-1: for ever)
  int BadChecksum = 0;           // the first K search replies carry a wrong checksum
  int BadStatus = 0;             // the first K search replies carry status "1"
  int SplitParts = 1;            // every reply in this many writes ...
  int SplitGapMs = 0;            // ... with these gaps
  int OverlongEvery = 0;         // before every Kth reply: a line of 60 bytes
  int UnsolicitedEvery = 0;      // after every Kth reply: stray bytes ...
  bool UnsolicitedLine = false;  // ... ending in CR LF (else without a line end)
  int TwiceEvery = 0;            // every Kth reply is sent twice
  int HangUpAfter = -1;          // the line is closed after this many requests ...
  int ReturnAfterMs = -1;        // ... and opened again (same link) after this long
  int EchoEvery = 0;             // every Kth request comes back as received (a 2-wire
                                 // adapter whose receiver stays on), 1: every one
};

struct TTiming {
  bool Pace = false;  // bytes take their time on the line: 10 bits at Baud
  int Baud = 1200;
  int LatencyMs = 0;  // from the end of a request to the start of its reply
};

struct TServerOptions {
  std::string Link;  // symbolic link to the pseudo-terminal (removed on exit)
  std::string Port;  // serve this serial device instead of a pseudo-terminal
  TTiming Timing;
  TFaults Faults;
};

struct TLogEntry {
  double Ms;         // since the server started
  std::string Kind;  // REQ, REP, ECHO, FAULT, HANGUP, RETURN
  std::string Text;  // bytes with \r, \n and \xHH escaped
  // On the line, in the same time: REQ when its first byte arrived, REP
  // when its last byte was handed to the line (-1 while not yet).
  double LineMs = -1;
};

class TSimulatorServer {
 public:
  TSimulatorServer(TProbeModel Model, TServerOptions Options);
  ~TSimulatorServer();
  TSimulatorServer(const TSimulatorServer&) = delete;
  TSimulatorServer& operator=(const TSimulatorServer&) = delete;

  // Makes the line; false with a reason.
  bool Open(std::string& Error);
  // The device the tool opens (the pseudo-terminal's slave, or the port).
  std::string DevicePath() const;

  void Run();    // serves until Stop()
  void Start();  // Run() on a thread of its own
  void Stop();   // from any thread or a signal handler
  // Closes the line now, as an unplugged cable does, and opens it again
  // after ReturnAfterMs (never when negative). From any thread.
  void Unplug(int ReturnAfterMs);

  // Thread-safe views and changes.
  TProbeModel Model() const;
  void SetFaults(const TFaults& Faults);
  std::vector<TLogEntry> Log() const;
  int Requests() const;
  bool LineOpen() const;

  // Called with every log line as text ("12.345 REQ TXP40217AD\r\n"), on the
  // serving thread; set before Run().
  std::function<void(const std::string&)> LogSink;

  static std::string Escape(const std::string& Bytes);

 private:
  using TClock = std::chrono::steady_clock;
  struct TOutput {
    TClock::time_point Due;
    std::string Bytes;
    std::optional<std::size_t> EndOfReply;  // the REP log entry these bytes end
  };

  bool OpenLine(std::string& Error);
  void CloseLine();
  void HangUpLine(int ReturnAfterMs, TClock::time_point Now);  // FMutex held
  void OnBytes(const char* Data, std::size_t Count, TClock::time_point Now);
  // Raw: the request as received, its line end included.
  void OnRequest(const std::string& Raw, TClock::time_point FirstByte, TClock::time_point Now);
  void Queue(TClock::time_point Start, const std::string& Bytes);
  void Flush(TClock::time_point Now);
  std::optional<TClock::time_point> NextDue() const;
  void Record(const std::string& Kind, const std::string& Text);  // FMutex held
  double Since(TClock::time_point Time) const;
  std::chrono::microseconds ByteTime() const;

  TServerOptions FOptions;
  mutable std::mutex FMutex;  // model, faults, log, counters
  TProbeModel FModel;
  std::vector<TLogEntry> FLog;
  int FRequests = 0;       // since the start
  int FFaultRequests = 0;  // since the faults were set
  int FFaultReplies = 0;
  int FSearches = 0;

  int FMaster = -1;     // the line (pseudo-terminal master or the port)
  int FHeldSlave = -1;  // keeps the pseudo-terminal alive between tool sessions
  std::string FSlavePath;
  std::string FLinkTarget;  // where the link we made points
  int FStopFd = -1;
  int FUnplugFd = -1;                     // wakes the serving thread for ...
  std::optional<int> FUnplugReturnAfter;  // ... an Unplug()
  bool FLineOpen = false;
  std::optional<TClock::time_point> FReturnAt;
  std::string FLine;
  TClock::time_point FLineStart;
  std::deque<TOutput> FOutput;
  TClock::time_point FLineFreeAt{};  // when the last queued byte has left
  TClock::time_point FStarted = TClock::now();
  std::thread FThread;
};

}  // namespace sim
