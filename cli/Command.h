#pragma once

// The command base of kalmet-cli and its three commands (one file each:
// PortsCommand.cpp, ReadCommand.cpp, WriteCommand.cpp).
//
// A command runs on a context: the line it opens, the timers, the way it
// waits for the conversation, where it writes, whether it was interrupted.
// The program gives it the real serial port and the event loop; tests give
// it a probe model on a virtual clock.

#include <QJsonObject>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

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
  // Opens the port and runs the first read. exDone when the probe has been
  // read; otherwise the exit code, its reason already written to Err.
  int OpenAndRead(const TCommonOptions& Options);
  // Waits until Done, the line is lost, the probe stops answering or Ctrl+C.
  // exDone when Done() held. Ctrl+C stops at once, or with StopAfterReply
  // only once no reply is outstanding (never between request and reply).
  int Converse(const std::function<bool()>& Done, int Milliseconds, bool StopAfterReply = false);
  void Progress(const std::string& Text) const;
  bool Interrupted() const { return C.Interrupted && *C.Interrupted; }
  // The service record: one JSON line appended to File.
  bool AppendRecord(const std::string& File, QJsonObject Record) const;
  // The JSON object of what was read, with the port.
  QJsonObject Report(const std::string& Port) const;

  const TCommandContext& C;
  std::unique_ptr<TProbeLine> Line;
  std::unique_ptr<TProbeSession> Session;
};

// kalmet-cli ports
class TPortsCommand : public TCommand {
 public:
  TPortsCommand(const TCommandContext& Context, bool Json) : TCommand(Context), FJson(Json) {}
  int Run() override;

 private:
  bool FJson;
};

// kalmet-cli read PORT
class TReadCommand : public TCommand {
 public:
  TReadCommand(const TCommandContext& Context, TCommonOptions Options)
      : TCommand(Context), FOptions(std::move(Options)) {}
  int Run() override;

 private:
  TCommonOptions FOptions;
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

class TWriteCommand : public TCommand {
 public:
  TWriteCommand(const TCommandContext& Context, TCommonOptions Options, TWriteValues Values)
      : TCommand(Context), FOptions(std::move(Options)), FValues(Values) {}
  int Run() override;

 private:
  // The value that breaks a rule of the window, with the rule; empty when
  // all are fine. Before the read only what holds for every probe.
  std::string Refusal(bool ProbeKnown) const;
  void Apply();
  int Interrupt();
  QJsonObject Sent() const;
  void Finish(const std::string& Outcome, int Code, const QJsonObject& Before);

  TCommonOptions FOptions;
  TWriteValues FValues;
  std::vector<TWritten> FSent;  // once the write has started
  bool FReadAgain = false;
  int FExit = exDone;
};
