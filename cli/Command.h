#pragma once

// The command base of kalmet-cli and its three commands (one file each:
// PortsCommand.cpp, ReadCommand.cpp, WriteCommand.cpp).
//
// A command runs on a context: the line it opens, the timers, the way it
// waits for the conversation, where it writes, whether it was interrupted.
// The program gives it the real serial port and the event loop; tests give
// it a probe model on a virtual clock.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "cli/ProbeLine.h"
#include "cli/ProbeReport.h"
#include "cli/ProbeSession.h"
#include "serial/platform/PortEnumeration.h"

// Exit codes, as --help and the manual page give them.
enum TExitCode {
  exDone = 0,
  exNoProbe = 1,           // no probe answered
  exUsage = 2,             // the command line is wrong
  exRefused = 3,           // a value was refused, or the probe did not take it
  exPortNotAvailable = 4,  // the port could not be opened
  exStopped = 5,           // the probe stopped answering part-way (or the line went away)
  exInterrupted = 130,     // Ctrl+C or SIGTERM
};

struct TCommandContext {
  // The opened line, or nullptr with the reason why not.
  std::function<std::unique_ptr<TProbeLine>(const std::string& Port, std::string& Reason)> OpenLine;
  TTimerFactory* Timers = nullptr;
  // Runs the conversation until Done() holds (true) or Milliseconds have
  // passed (Done() then).
  std::function<bool(const std::function<bool()>& Done, int Milliseconds)> RunUntil;
  std::ostream* Out = nullptr;
  std::ostream* Err = nullptr;
  bool Progress = false;              // progress lines on Err
  const bool* Interrupted = nullptr;  // set by Ctrl+C or SIGTERM
  std::function<std::string()> Now;   // the time for service records (ISO 8601, UTC)
  platform::TDeviceRoots Devices;     // the machine whose ports are listed
};

struct TCommonOptions {
  std::string Port;
  bool Json = false;
  int SearchSeconds = 10;
  std::string RecordFile;
};

class TCommand {
 public:
  explicit TCommand(const TCommandContext& Context) : C(Context) {}
  virtual ~TCommand() = default;
  virtual int Run() = 0;

 protected:
  const TCommandContext& C;
};

// kalmet-cli ports
class TPortsCommand : public TCommand {
 public:
  TPortsCommand(const TCommandContext& Context, bool Json) : TCommand(Context), FJson(Json) {}
  int Run() override;

 private:
  bool FJson;
};

// A conversation with the probe on one port (read, write). Every run ends in
// an outcome: printed (as JSON with --json), and appended to the service
// record with --record, also when it failed.
class TProbeCommand : public TCommand {
 public:
  TProbeCommand(const TCommandContext& Context, TCommonOptions Options, const char* Name)
      : TCommand(Context), Options(std::move(Options)), FName(Name) {}
  int Run() final;

 protected:
  // The command's work: sets Outcome (and Result's details); the exit code.
  virtual int Execute() = 0;
  // Opens the port and runs the first read. exDone when the probe has been
  // read; otherwise the exit code with its Outcome.
  int OpenAndRead();
  // Waits until Done, the line is lost, the probe stops answering or Ctrl+C.
  // exDone when Done() held; otherwise the exit code with its Outcome. Ctrl+C
  // stops at once, or with StopAfterReply only once no reply is outstanding
  // (never between request and reply).
  int Converse(const std::function<bool()>& Done, int Milliseconds, bool StopAfterReply = false);
  void Progress(const std::string& Text) const;
  // What the outcome says of a line that went away while open.
  std::string LostOutcome() const;
  bool Interrupted() const { return C.Interrupted && *C.Interrupted; }
  // What the probe reported, with the port.
  TJson Report() const;

  TCommonOptions Options;
  std::unique_ptr<TProbeLine> Line;
  std::unique_ptr<TProbeSession> Session;
  std::string Outcome;
  TJson Result = TJson::object();  // details of the run (before, sent, after)
  bool PrintReport = false;        // on success, the report is the result (read)

 private:
  // As the window's close: a current-loop probe is released (rqReleaseLoop).
  void Release();
  void AppendRecord(const TJson& Record) const;

  const char* FName;
};

// kalmet-cli read PORT
class TReadCommand : public TProbeCommand {
 public:
  TReadCommand(const TCommandContext& Context, TCommonOptions Options)
      : TProbeCommand(Context, std::move(Options), "read") {}

 protected:
  int Execute() override;
};

// kalmet-cli write PORT [values]
// A value of a write: its option name, request code, text as sent or read.
struct TWritten {
  const char* Name;
  int Code;
  std::string Wire;
};

struct TWriteValues {
  std::optional<int> Address;
  std::optional<long double> Offset1, Offset2, LevelAt4mA, LevelAt20mA;
  std::optional<int> AlarmCurrentIndex;  // 0: 21.5 mA, 1: 3.6 mA
  bool Any() const {
    return Address || Offset1 || Offset2 || LevelAt4mA || LevelAt20mA || AlarmCurrentIndex;
  }
};

class TWriteCommand : public TProbeCommand {
 public:
  TWriteCommand(const TCommandContext& Context, TCommonOptions Options, TWriteValues Values)
      : TProbeCommand(Context, std::move(Options), "write"), FValues(Values) {}

 protected:
  int Execute() override;

 private:
  // The value that breaks a rule of the window, with the rule; empty when
  // all are fine. Before the read only what holds for every probe.
  std::string Refusal(bool ProbeKnown) const;
  void Apply();
  // The values that went out, with what the probe answered to each.
  std::string Acknowledged(const std::vector<TWritten>& Values) const;

  TWriteValues FValues;
  std::vector<int> FSentCodes;  // the write requests that went out
};
