// kalmet-probe-sim: a virtual KALMET probe on a serial line.

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>

#include "tools/SimulatorServer.h"

namespace {

constexpr const char* kVersion = "kalmet-probe-sim " KALMET_VERSION;

constexpr const char* kHelp = R"(Usage: kalmet-probe-sim [OPTION]...
Behaves on a serial line like a KALMET level probe, so that the KALMET
Configuration Tool can find, read and configure it without hardware.

It makes a new pseudo-terminal, prints its device path (or the link made
with --link) on the first line and answers there until you stop it
(Ctrl+C). The tool lists the link made with --link NAME: pick NAME in its
port list (a bare pseudo-terminal, /dev/pts/N, is not listed).

Probe:
  --preset NAME        probe type: rs485-d (default), rs485-m, rs485-u, rs485,
                       current-loop, hart, kalmet, tag, sc, unknown
  --id DIGITS          identifier (serial number), 5 to 9 digits
  --type NAME          type name the probe reports (overrides the preset)
  --firmware TEXT      firmware version;  --checksum TEXT  firmware checksum
  --temperature C      average temperature (deg C)
  --level1 MM          level of float 1;  --level2 MM  level of float 2
  --coarse             levels in 0.01 mm steps instead of 0.001 mm
  --address N          bus address (RS-485 probes)
  --offset1 MM         offset of float 1;  --offset2 MM  offset of float 2
  --length MM          probe length
  --current MA         loop current (current-loop probes)
  --level4 MM          level at 4 mA;  --level20 MM  level at 20 mA
  --alarm 0|1          alarm current 21.5 mA (0) or 3.6 mA (1)

Line:
  --link NAME|PATH     also make a symbolic link to the pseudo-terminal, named
                       tty... (e.g. ttyKALMET0): in /dev when that may be
                       written (root), else in your own folder of virtual
                       ports ($XDG_RUNTIME_DIR/kalmet-ports); the tool lists
                       it under that name. Or at PATH. Removed when the
                       simulator stops
  --port DEVICE        answer on a real serial device (1200 baud, 8N1)
  --pace               send at the real speed of the line (10 bits a byte)
  --baud N             speed for --pace (default 1200)
  --latency MS         wait this long before each reply
  --echo               send every request back as received, before the reply
                       (a 2-wire RS-485 adapter whose receiver stays on)
  --echo-every K       ... only every Kth request

Faults (all off by default; requests and replies are counted from 1):
  --silent-after N     stop answering after N requests ...
  --silent-for M       ... for M requests, then answer again
  --bad-checksum K     the first K search replies have a wrong checksum
  --bad-status K       the first K search replies have status 1
  --split N            send every reply in N pieces ...
  --split-gap MS       ... with this pause between them
  --overlong-every K   before every Kth reply, a line too long for the tool
  --unsolicited-every K  after every Kth reply, stray bytes ...
  --unsolicited-line   ... ending in CR LF
  --twice-every K      send every Kth reply twice
  --hangup-after N     close the line after N requests (an unplugged cable) ...
  --return-after MS    ... and open it again after this long (same link)

Output:
  --log FILE           log requests and replies to FILE instead of standard output
  --quiet              no log
  --help               this text;  --version  the version

Log lines: "<ms since start> <REQ|REP|ECHO|FAULT|HANGUP|RETURN> <bytes>", with
CR, LF and other control bytes written as \r, \n, \xHH.
)";

sim::TSimulatorServer* Server = nullptr;

void OnSignal(int) {
  if (Server) Server->Stop();
}

[[noreturn]] void Usage(const std::string& Problem) {
  std::fprintf(stderr, "kalmet-probe-sim: %s\nTry 'kalmet-probe-sim --help'.\n", Problem.c_str());
  std::exit(2);
}

double Number(const std::string& Option, const char* Text) {
  char* end = nullptr;
  const double v = std::strtod(Text, &end);
  if (!*Text || *end) Usage(Option + " needs a number, not '" + Text + "'");
  return v;
}

// A bare name goes where the tool looks for virtual ports: /dev if this user
// may write there, else the user's own folder of them (the tool's rule:
// serial/platform/PortEnumeration.h).
std::string LinkPath(const std::string& Link) {
  if (Link.rfind("tty", 0) != 0 && Link.find('/') == std::string::npos)
    std::fprintf(stderr, "kalmet-probe-sim: the tool lists only links named tty...\n");
  if (Link.find('/') != std::string::npos) return Link;
  if (::access("/dev", W_OK) == 0) return "/dev/" + Link;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtime && *runtime
                                 ? std::string(runtime) + "/kalmet-ports"
                                 : "/tmp/kalmet-ports-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    Usage(folder + " is not your own folder: give --link a path");
  return folder + "/" + Link;
}

int Count(const std::string& Option, const char* Text) {
  const double v = Number(Option, Text);
  if (v < 0 || v != static_cast<int>(v)) Usage(Option + " needs a whole number");
  return static_cast<int>(v);
}

}  // namespace

int main(int argc, char* argv[]) {
  std::string presetName = "rs485-d";
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--preset" && i + 1 < argc) presetName = argv[i + 1];
  auto preset = sim::Preset(presetName);
  if (!preset) Usage("no preset called '" + presetName + "'");
  sim::TProbeModel probe = *preset;
  sim::TServerOptions options;
  std::string logFile;
  bool quiet = false;

  using TArg = std::function<void(const char*)>;
  const std::map<std::string, TArg> withValue = {
      {"--preset", [](const char*) {}},
      {"--id",
       [&](const char* v) {
         const std::string id = v;
         if (id.size() < 5 || id.size() > 9 ||
             id.find_first_not_of("0123456789") != std::string::npos)
           Usage("--id needs 5 to 9 digits");
         probe.Id = id;
       }},
      {"--type",
       [&](const char* v) {
         probe.TypeName = v;
         probe.Family = sim::FamilyOf(v);
       }},
      {"--firmware", [&](const char* v) { probe.FirmwareVersion = v; }},
      {"--checksum", [&](const char* v) { probe.FirmwareChecksum = v; }},
      {"--temperature", [&](const char* v) { probe.Temperature = Number("--temperature", v); }},
      {"--level1", [&](const char* v) { probe.Level1 = Number("--level1", v); }},
      {"--level2", [&](const char* v) { probe.Level2 = Number("--level2", v); }},
      {"--address", [&](const char* v) { probe.Address = Count("--address", v); }},
      {"--offset1", [&](const char* v) { probe.Offset1 = Number("--offset1", v); }},
      {"--offset2", [&](const char* v) { probe.Offset2 = Number("--offset2", v); }},
      {"--length", [&](const char* v) { probe.ProbeLength = Number("--length", v); }},
      {"--current", [&](const char* v) { probe.Current = Number("--current", v); }},
      {"--level4", [&](const char* v) { probe.LevelAt4mA = Number("--level4", v); }},
      {"--level20", [&](const char* v) { probe.LevelAt20mA = Number("--level20", v); }},
      {"--alarm", [&](const char* v) { probe.AlarmCurrent = Count("--alarm", v) ? 1 : 0; }},
      {"--link", [&](const char* v) { options.Link = LinkPath(v); }},
      {"--port", [&](const char* v) { options.Port = v; }},
      {"--baud", [&](const char* v) { options.Timing.Baud = Count("--baud", v); }},
      {"--latency", [&](const char* v) { options.Timing.LatencyMs = Count("--latency", v); }},
      {"--log", [&](const char* v) { logFile = v; }},
      {"--silent-after",
       [&](const char* v) { options.Faults.SilentAfter = Count("--silent-after", v); }},
      {"--silent-for", [&](const char* v) { options.Faults.SilentFor = Count("--silent-for", v); }},
      {"--bad-checksum",
       [&](const char* v) { options.Faults.BadChecksum = Count("--bad-checksum", v); }},
      {"--bad-status", [&](const char* v) { options.Faults.BadStatus = Count("--bad-status", v); }},
      {"--split", [&](const char* v) { options.Faults.SplitParts = Count("--split", v); }},
      {"--split-gap", [&](const char* v) { options.Faults.SplitGapMs = Count("--split-gap", v); }},
      {"--overlong-every",
       [&](const char* v) { options.Faults.OverlongEvery = Count("--overlong-every", v); }},
      {"--unsolicited-every",
       [&](const char* v) { options.Faults.UnsolicitedEvery = Count("--unsolicited-every", v); }},
      {"--twice-every",
       [&](const char* v) { options.Faults.TwiceEvery = Count("--twice-every", v); }},
      {"--hangup-after",
       [&](const char* v) { options.Faults.HangUpAfter = Count("--hangup-after", v); }},
      {"--return-after",
       [&](const char* v) { options.Faults.ReturnAfterMs = Count("--return-after", v); }},
      {"--echo-every", [&](const char* v) { options.Faults.EchoEvery = Count("--echo-every", v); }},
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::puts(kVersion);
      return 0;
    }
    if (arg == "--coarse")
      probe.FineResolution = false;
    else if (arg == "--pace")
      options.Timing.Pace = true;
    else if (arg == "--quiet")
      quiet = true;
    else if (arg == "--unsolicited-line")
      options.Faults.UnsolicitedLine = true;
    else if (arg == "--echo")
      options.Faults.EchoEvery = 1;
    else if (auto it = withValue.find(arg); it != withValue.end()) {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      it->second(argv[++i]);
    } else {
      Usage("unknown option '" + arg + "'");
    }
  }

  std::ofstream log;
  if (!logFile.empty()) {
    log.open(logFile, std::ios::app);
    if (!log) Usage("cannot write the log file " + logFile);
  }
  sim::TSimulatorServer server(probe, options);
  std::string error;
  if (!server.Open(error)) {
    std::fprintf(stderr, "kalmet-probe-sim: %s\n", error.c_str());
    return 1;
  }
  if (!quiet) {
    server.LogSink = [&](const std::string& line) {
      if (log.is_open())
        log << line << std::flush;
      else
        std::fputs(line.c_str(), stdout), std::fflush(stdout);
    };
  }
  std::printf("%s\n", server.DevicePath().c_str());
  std::fflush(stdout);

  Server = &server;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  server.Run();
  Server = nullptr;
  return 0;
}
