// kalmet-cli: reads and configures KALMET probes from a terminal and from
// scripts, with the same protocol engine as the window and the real port.

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <iostream>
#include <set>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "toolkit/Application.h"
#include "toolkit/EventLoop.h"

namespace {

constexpr const char* kSummary =
    "Reads and configures KALMET level probes on a serial port.\n"
    "\n"
    "PORT is a name from the port list (ttyUSB0, COM5, COM12), a device\n"
    "(/dev/ttyUSB0), a /dev/serial/by-id link, or a serial device server's\n"
    "port: rfc2217://HOST:PORT or socket://HOST:PORT. 'kalmet-cli COMMAND\n"
    "--help' describes a command.\n"
    "\n"
    "Exit codes: 0 done, 1 no probe answered, 2 usage error, 3 refused or not\n"
    "verified, 4 port not available, 5 the probe stopped answering part-way,\n"
    "130 interrupted.";

// The commands: each declares its own options (cli/Arguments.h).
const struct {
  const char* Name;
  const char* Summary;
  std::unique_ptr<TArguments> (*Make)();
} kCommands[] = {
    {"ports", "The serial ports of this machine.", PortsArguments},
    {"read", "Search for the probe on PORT and read it.", ReadArguments},
    {"write", "Write values, read again and compare.", WriteArguments},
};

TWakeEvent* Interrupt = nullptr;  // set by the signal handler
bool Interrupted = false;

void OnSignal(int) {
  Interrupt->Signal();
}

int Usage(const std::string& Problem) {
  std::cerr << "kalmet-cli: " << Problem << "\nTry 'kalmet-cli --help'.\n";
  return exUsage;
}

// "-json" is taken for "--json", as earlier releases did: an option's name
// with one dash (not a value that begins with one, such as "-x.json").
std::vector<std::string> Arguments(int argc, char* argv[]) {
  static const std::set<std::string> names = {"-json",    "-quiet",   "-timeout", "-record",
                                              "-address", "-offset1", "-offset2", "-level4",
                                              "-level20", "-alarm",   "-help",    "-version"};
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (names.count(a.substr(0, a.find('=')))) a.insert(0, 1, '-');
    args.push_back(a);
  }
  return args;
}

// Now in UTC, ISO 8601 to the second.
std::string Now() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  PrepareConsole();
  Application().SetTitle("kalmet-cli");
  CLI::App app(kSummary, "kalmet-cli");
  app.set_version_flag("--version", std::string("kalmet-cli ") + KALMET_VERSION,
                       "Shows the version.");
  app.set_help_flag("-h,--help", "Shows this help.");
  app.require_subcommand(0, 1);
  // A repeated option: the last one counts, as it always did.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::vector<std::unique_ptr<TArguments>> arguments;
  for (const auto& command : kCommands) {
    arguments.push_back(command.Make());
    CLI::App* sub = app.add_subcommand(command.Name, command.Summary);
    sub->set_help_flag("-h,--help", "Shows this help.");
    arguments.back()->Declare(*sub);
  }

  std::vector<std::string> args = Arguments(argc, argv);
  const auto known = [](const std::string& Name) {
    return std::any_of(std::begin(kCommands), std::end(kCommands),
                       [&](const auto& c) { return Name == c.Name; });
  };
  if (!args.empty() && args.front()[0] != '-' && !known(args.front()))
    return Usage("no command '" + args.front() + "'");
  std::reverse(args.begin(), args.end());  // as the parser takes them
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return Usage(e.what());
  }
  TArguments* chosen = nullptr;
  for (std::size_t i = 0; i < std::size(kCommands); ++i)
    if (app.got_subcommand(kCommands[i].Name)) chosen = arguments[i].get();
  if (!chosen) return Usage("a command is needed: ports, read or write");
  if (const std::string problem = chosen->Check(); !problem.empty()) return Usage(problem);

  TWakeEvent interrupt;
  Interrupt = &interrupt;
  const auto interruption = MainLoop().Watch(interrupt.Handle(), [&] {
    interrupt.Acknowledge();
    Interrupted = true;
  });
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  TRealTimerFactory timers;
  TCommandContext context;
  context.OpenLine = [](const std::string& Port, std::string& Reason) {
    auto line = std::make_unique<TComPortLine>();
    return line->Open(Port, Reason) ? std::unique_ptr<TProbeLine>(std::move(line)) : nullptr;
  };
  context.Timers = &timers;
  context.RunUntil = [](const std::function<bool()>& Done, int Milliseconds) {
    return MainLoop().RunUntil(Done, Milliseconds);
  };
  context.Out = &std::cout;
  context.Err = &std::cerr;
  context.Progress = ::isatty(STDERR_FILENO);
  context.Interrupted = &Interrupted;
  context.Now = Now;
  // What the engine would show in a box while it goes on (a wrong answer).
  Application().SetMessagePresenter([](const std::string&, const std::string& Text) {
    std::cerr << "kalmet-cli: " << Text << "\n";
  });
  const int code = chosen->Run(context);
  std::signal(SIGINT, SIG_DFL);  // the wake-up they set goes now
  std::signal(SIGTERM, SIG_DFL);
  return code;
}
