// kalmet-cli: reads and configures KALMET probes from a terminal and from
// scripts, with the same protocol engine as the window and the real port.

#include <sys/eventfd.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <fstream>
#include <iostream>

#include "cli/Command.h"
#include "toolkit/Application.h"

namespace {

constexpr const char* kSummary =
    "Reads and configures KALMET level probes on a serial port.\n"
    "\n"
    "Commands:\n"
    "  ports [--json]                    the serial ports of this machine\n"
    "  read PORT [--json] [--timeout S]  search for the probe and read it\n"
    "  write PORT VALUE... [--json]      write values, read again and compare\n"
    "\n"
    "PORT is a name from the port list (ttyUSB0), a device (/dev/ttyUSB0) or a\n"
    "/dev/serial/by-id link. 'kalmet-cli COMMAND --help' describes a command.\n"
    "\n"
    "Exit codes: 0 done, 1 no probe answered, 2 usage error, 3 refused or not\n"
    "verified, 4 port not available, 5 the probe stopped answering part-way,\n"
    "130 interrupted.";

int Interrupt = -1;  // eventfd written by the signal handler
bool Interrupted = false;

void OnSignal(int) {
  const std::uint64_t one = 1;
  (void)!::write(Interrupt, &one, sizeof one);
}

int Usage(const QString& Problem) {
  std::cerr << "kalmet-cli: " << Problem.toStdString() << "\nTry 'kalmet-cli --help'.\n";
  return exUsage;
}

// Runs the event loop until Done() holds, checked whenever the loop is about
// to sleep (no polling), or until the time is over.
bool RunUntil(const std::function<bool()>& Done, int Milliseconds) {
  if (Done()) return true;
  QEventLoop loop;
  const auto check = QObject::connect(QAbstractEventDispatcher::instance(),
                                      &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                                        if (Done()) loop.quit();
                                      });
  QTimer::singleShot(Milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(check);
  return Done();
}

std::optional<long double> Millimetres(const QCommandLineParser& Parser, const QString& Name,
                                       bool& Ok) {
  if (!Parser.isSet(Name)) return std::nullopt;
  bool ok = false;
  const double value = Parser.value(Name).toDouble(&ok);  // "." whatever the locale
  if (!ok || !std::isfinite(value)) Ok = false;
  return value;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("kalmet-cli");
  QCoreApplication::setApplicationVersion(KALMET_VERSION);
  Application().SetTitle("kalmet-cli");

  QStringList args = app.arguments();
  const QString command = args.size() > 1 && !args[1].startsWith('-') ? args[1] : QString();
  if (!command.isEmpty()) args.removeAt(1);

  QCommandLineParser parser;
  parser.setApplicationDescription(kSummary);
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({"h", "help"}, "Shows this help.");
  const QCommandLineOption version("version", "Shows the version.");
  const QCommandLineOption json("json", "Results as JSON.");
  const QCommandLineOption quiet("quiet", "No progress on standard error.");
  const QCommandLineOption timeout("timeout", "Search for the probe this long (default 10).", "S",
                                   "10");
  const QCommandLineOption record("record", "Append a service record (one JSON line) to FILE.",
                                  "FILE");
  const QCommandLineOption address("address", "Bus address (RS-485 probes).", "N");
  const QCommandLineOption offset1("offset1", "Offset of float 1 in mm (RS-485 probes).", "MM");
  const QCommandLineOption offset2("offset2", "Offset of float 2 in mm (RS-485 probes).", "MM");
  const QCommandLineOption level4("level4", "Level at 4 mA in mm (current-loop probes).", "MM");
  const QCommandLineOption level20("level20", "Level at 20 mA in mm (current-loop probes).", "MM");
  const QCommandLineOption alarm("alarm", "Alarm current: 21.5 or 3.6 (mA).", "MA");
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(json);
  if (command == "read" || command == "write") {
    parser.addOption(quiet);
    parser.addOption(timeout);
    parser.addOption(record);
    parser.addPositionalArgument("PORT", "The probe's port.");
  }
  if (command == "write")
    for (const auto& o : {address, offset1, offset2, level4, level20, alarm}) parser.addOption(o);

  if (!parser.parse(args)) return Usage(parser.errorText());
  if (parser.isSet(version)) {
    std::cout << "kalmet-cli " << KALMET_VERSION << "\n";
    return exDone;
  }
  if (parser.isSet(help)) {
    QString text = parser.helpText();
    text.replace(0, text.indexOf('\n'),
                 "Usage: kalmet-cli " + (command.isEmpty() ? "COMMAND" : command) +
                     (command == "read" || command == "write" ? " PORT" : "") + " [options]");
    std::cout << text.toStdString();
    return exDone;
  }
  if (command.isEmpty()) return Usage("a command is needed: ports, read or write");
  if (command != "ports" && command != "read" && command != "write")
    return Usage("no command '" + command + "'");

  Interrupt = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  QSocketNotifier interruption(Interrupt, QSocketNotifier::Read);
  QObject::connect(&interruption, &QSocketNotifier::activated, [] { Interrupted = true; });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  TRealTimerFactory timers;
  TCommandContext context;
  context.OpenLine = [](const std::string& Port, std::string& Reason) {
    auto line = std::make_unique<TComPortLine>();
    return line->Open(Port, Reason) ? std::unique_ptr<TProbeLine>(std::move(line)) : nullptr;
  };
  context.Timers = &timers;
  context.RunUntil = RunUntil;
  context.Out = &std::cout;
  context.Err = &std::cerr;
  context.Interrupted = &Interrupted;
  context.Now = [] { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(); };
  // What the engine would show in a box while it goes on (a wrong answer).
  Application().SetMessagePresenter([](const std::string&, const std::string& Text) {
    std::cerr << "kalmet-cli: " << Text << "\n";
  });

  if (command == "ports") {
    if (!parser.positionalArguments().isEmpty()) return Usage("ports takes no port");
    return TPortsCommand(context, parser.isSet(json)).Run();
  }

  if (parser.positionalArguments().size() != 1) return Usage("one PORT is needed");
  context.Progress = !parser.isSet(quiet) && ::isatty(STDERR_FILENO);
  TCommonOptions options;
  options.Port = parser.positionalArguments().front().toStdString();
  options.Json = parser.isSet(json);
  bool ok = false;
  options.SearchSeconds = parser.value(timeout).toInt(&ok);
  if (!ok || options.SearchSeconds <= 0 || options.SearchSeconds > 86400)
    return Usage("--timeout needs a whole number of seconds, at most 86400");
  options.RecordFile = parser.value(record).toStdString();
  if (!options.RecordFile.empty() && !std::ofstream(options.RecordFile, std::ios::app))
    return Usage("cannot write the service record " + parser.value(record));

  if (command == "read") return TReadCommand(context, options).Run();

  TWriteValues values;
  ok = true;
  if (parser.isSet(address)) {
    bool number = false;
    values.Address = parser.value(address).toInt(&number);
    ok = ok && number;
  }
  values.Offset1 = Millimetres(parser, "offset1", ok);
  values.Offset2 = Millimetres(parser, "offset2", ok);
  values.LevelAt4mA = Millimetres(parser, "level4", ok);
  values.LevelAt20mA = Millimetres(parser, "level20", ok);
  if (!ok) return Usage("the values need numbers (with \".\" as decimal separator)");
  if (parser.isSet(alarm)) {
    const QString a = parser.value(alarm);
    if (a != "21.5" && a != "3.6") return Usage("--alarm is 21.5 or 3.6");
    values.AlarmCurrentIndex = a == "21.5" ? 0 : 1;
  }
  if (!values.Any()) return Usage("write needs at least one value to write");
  return TWriteCommand(context, options, values).Run();
}
