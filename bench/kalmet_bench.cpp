// kalmet-bench: how fast the tool runs the protocol against the line limit.
//
// The tool (real window offscreen, real serial port, real timers) talks to
// the probe simulator on a pseudo-terminal that paces every byte as a
// 1200-baud line does (10 bits a byte) and answers without latency. Measured:
//   read   time from port selection to "Reading probe data done."
//   write  time from Write to "Writing probe data done."
// each next to the lower bound the line allows: every request and reply byte
// on the line plus the fixed 200 ms pauses of the sequencer; beside the
// tool's first read, the same exchange by a plain blocking client (write a
// request, read its reply, sleep 200 ms) against the same simulator; for
// both, the pauses from a reply's last byte to the next request's first; and
//   idle     CPU time and context switches of the process over 10 s after a read
//   startup  time from process start to the first painted window, and memory.
//
// Usage: kalmet-bench [RUNS]      prints a Markdown table (medians of RUNS, default 5)
//        kalmet-bench RUNS --reads  only the reads, writes and pauses (a quick comparison)
//        kalmet-bench --startup   (internal: one start-up, prints its figures)

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QLineEdit>
#include "bench/LineLimit.h"
#include "toolkit/Application.h"
#include "toolkit/qt/QtEventLoop.h"
#include "tools/SimulatorServer.h"

#include "toolkit/qt/ControlPeer.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

namespace {

long CpuMicroseconds() {
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000L + r.ru_utime.tv_usec +
         r.ru_stime.tv_usec;
}

// Voluntary and involuntary context switches of every thread of the process.
long ContextSwitches() {
  long total = 0;
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return -1;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
          line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
  }
  ::closedir(dir);
  return total;
}

// Bytes of the requests and replies logged since entry From; Pairs counts
// the replies. Log texts escape CR and LF as two characters each.
std::size_t LineBytes(const std::vector<sim::TLogEntry>& Log, std::size_t From, int& Replies) {
  std::size_t bytes = 0;
  Replies = 0;
  for (std::size_t i = From; i < Log.size(); ++i) {
    const auto& e = Log[i];
    if (e.Kind != "REQ" && e.Kind != "REP") continue;
    bytes += LoggedBytes(e.Text);
    if (e.Kind == "REP") ++Replies;
  }
  return bytes;
}

// Runs the event loop until the status line reads Status (QTest's waiting
// sleeps between its checks, which would add to the figures). Clock, if
// given, is read when the status changes, not when the loop has finished
// what it was doing then (a repaint, say).
bool WaitForStatus(TForm1& Form, const QString& Status, const QElapsedTimer* Clock = nullptr,
                   double* AtMs = nullptr, int Milliseconds = 30000) {
  QLineEdit* status = static_cast<QLineEdit*>(WidgetOf(*Form.Edit_Status));
  if (status->text() == Status) return true;
  QEventLoop loop;
  const auto connection =
      QObject::connect(status, &QLineEdit::textChanged, &loop, [&](const QString& text) {
        if (text != Status) return;
        if (Clock && AtMs) *AtMs = Clock->nsecsElapsed() / 1e6;
        loop.quit();
      });
  QTimer::singleShot(Milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(connection);
  return status->text() == Status;
}

// Picks the simulator's line in the window, as the technician does; Clock
// starts with the pick itself, not with putting the line in the list.
void PickPort(TForm1& Form, const sim::TSimulatorServer& Server, QElapsedTimer* Clock = nullptr) {
  const std::string path = Server.DevicePath();
  Form.ComboBox_ComPort->AddItem(path);
  Form.ComboBox_ComPort->SetItemIndex(Form.ComboBox_ComPort->IndexOf(path));
  if (Clock) Clock->start();
  Form.ComboBox_ComPortChange(&Form);
}

// The pauses of the line from entry From on: from each reply's last byte to
// the first byte of the request that follows it.
std::vector<double> Pauses(const std::vector<sim::TLogEntry>& Log, std::size_t From) {
  std::vector<double> pauses;
  double replyEnd = -1;
  for (std::size_t i = From; i < Log.size(); ++i) {
    if (Log[i].Kind == "REP") replyEnd = Log[i].LineMs;
    if (Log[i].Kind == "REQ" && replyEnd >= 0) {
      pauses.push_back(Log[i].LineMs - replyEnd);
      replyEnd = -1;
    }
  }
  return pauses;
}

struct TRun {
  double ReadMs, ReadBoundMs, WriteMs, WriteBoundMs;
  std::vector<double> ReadPauses;
};

// The first read as a plain blocking client does it: 200 ms, a request, its
// reply, 200 ms, the next request ... and 200 ms after the last reply.
double PlainFirstRead(const sim::TSimulatorServer& Server) {
  // Timed from the opening of the line, as the tool is from the pick.
  QElapsedTimer clock;
  clock.start();
  const int fd = ::open(Server.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("plain client: cannot open the line");
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &t);
  const auto pause = [] {
    const timespec ms200{0, 200'000'000};
    ::clock_nanosleep(CLOCK_MONOTONIC, 0, &ms200, nullptr);
  };
  const auto ask = [fd](const std::string& Request) {
    const std::string frame = Request + "\r\n";
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
      throw std::runtime_error("plain client: write failed");
    std::string reply;
    char c = 0;
    while (c != '\n' && ::read(fd, &c, 1) == 1) reply += c;
    return reply;
  };
  pause();
  const std::string search = ask("S 0");
  const std::string id = search.substr(0, search.find(' '));
  for (const char* mnemonic : {"VN4", "CS", "AD", "OP", "OW", "SL", "IS", "PL", "PH", "FS"}) {
    pause();
    ask("TXP" + id + mnemonic);
  }
  pause();
  const double ms = clock.nsecsElapsed() / 1e6;
  ::close(fd);
  return ms;
}

// A simulated probe of Preset on a line paced like a 1200-baud one.
std::unique_ptr<sim::TSimulatorServer> PacedProbe(const std::string& Preset) {
  sim::TServerOptions options;
  options.Timing.Pace = true;
  auto server = std::make_unique<sim::TSimulatorServer>(*sim::Preset(Preset), options);
  std::string error;
  if (!server->Open(error)) throw std::runtime_error(error);
  server->Start();
  return server;
}

TRun MeasureOnce(const std::string& Preset) {
  const auto probe = PacedProbe(Preset);
  sim::TSimulatorServer& server = *probe;
  TForm1 form;
  form.Show();

  TRun run{};
  QElapsedTimer clock;
  PickPort(form, server, &clock);
  if (!WaitForStatus(form, "Reading probe data done.", &clock, &run.ReadMs))
    throw std::runtime_error("the probe was not read");
  run.ReadPauses = Pauses(server.Log(), 0);
  int replies = 0;
  std::size_t bytes = LineBytes(server.Log(), 0, replies);
  // One pause before each request and one before the closing step.
  run.ReadBoundMs = bytes * kByteMs + (replies + 1) * kPauseMs;

  const std::size_t logged = server.Log().size();
  if (IsCurrentLoopProbe(form.State().ProbeType)) {
    auto* field = static_cast<QLineEdit*>(WidgetOf(*form.Edit_LevelAt4mA));
    field->selectAll();
    field->insert("150");
  } else {
    form.SpinEdit_Address->SetValue(201);
  }
  clock.restart();
  form.Button_WriteClick(&form);
  if (!WaitForStatus(form, "Writing probe data done.", &clock, &run.WriteMs))
    throw std::runtime_error("the probe was not written");
  bytes = LineBytes(server.Log(), logged, replies);
  run.WriteBoundMs = bytes * kByteMs + (replies + 1) * kPauseMs;
  form.Close();
  return run;
}

struct TPlainRun {
  double ReadMs, ReadBoundMs;
  std::vector<double> ReadPauses;
};

TPlainRun MeasurePlainOnce(const std::string& Preset) {
  const auto probe = PacedProbe(Preset);
  sim::TSimulatorServer& server = *probe;
  TPlainRun run{};
  run.ReadMs = PlainFirstRead(server);
  run.ReadPauses = Pauses(server.Log(), 0);
  int replies = 0;
  const std::size_t bytes = LineBytes(server.Log(), 0, replies);
  run.ReadBoundMs = bytes * kByteMs + (replies + 1) * kPauseMs;
  return run;
}

// How late the window's timers expire: a 200 ms timer, armed again at each
// expiry, against the steady clock. Lateness in milliseconds.
std::vector<double> TimerLateness(int Expiries) {
  TComponent owner(nullptr);
  TTimer timer(&owner);
  timer.SetEnabled(false);
  timer.SetInterval(200);
  std::vector<double> late;
  QElapsedTimer clock;
  QEventLoop loop;
  struct TTick : TObject {
    std::function<void()> Run;
    void Fire(TObject*) { Run(); }
  } tick;
  tick.Run = [&] {
    late.push_back(clock.nsecsElapsed() / 1e6 - 200.0);
    timer.SetEnabled(false);
    if (static_cast<int>(late.size()) == Expiries) return loop.quit();
    clock.start();
    timer.SetEnabled(true);
  };
  timer.SetOnTimer(TNotifyEvent::Of<&TTick::Fire>(&tick));
  clock.start();
  timer.SetEnabled(true);
  loop.exec();
  return late;
}

void Idle(double& CpuPercent, long& Switches) {
  sim::TSimulatorServer server(*sim::Preset("rs485-d"), {});
  std::string error;
  if (!server.Open(error)) throw std::runtime_error(error);
  server.Start();
  TForm1 form;
  form.Show();
  PickPort(form, server);
  if (!WaitForStatus(form, "Reading probe data done."))
    throw std::runtime_error("the probe was not read");
  QTest::qWait(500);  // the indicators go dark
  const long cpu = CpuMicroseconds();
  const long switches = ContextSwitches();
  QElapsedTimer clock;
  clock.start();
  // Sleep in the event loop: what wakes now is the tool's own doing.
  QEventLoop loop;
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  const double elapsedUs = clock.nsecsElapsed() / 1e3;
  CpuPercent = 100.0 * (CpuMicroseconds() - cpu) / elapsedUs;
  Switches = ContextSwitches() - switches - 2;  // the benchmark's own timer wake-up
  form.Close();
}

int StartupChild(int argc, char* argv[]) {
  QApplication app(argc, argv);
  TQtEventLoop loop;
  Application().SetTitle("KALMET Configuration");
  TForm1 form;
  struct TPainted : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint && !Done) {
        Done = true;
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      }
      return false;
    }
    bool Done = false;
  } painted;
  WidgetOf(form)->installEventFilter(&painted);
  form.Show();
  app.exec();
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  std::printf("painted %ld\n", r.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 1 && std::string(argv[1]) == "--startup") return StartupChild(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  QApplication app(argc, argv);
  TQtEventLoop loop;
  Application().SetTitle("KALMET Configuration");
  Application().SetMessagePresenter([](const std::string&, const std::string& text) {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  });

  std::printf("| Measurement | Median | Lower bound | Overhead | Ratio |\n|---|---|---|---|---|\n");
  std::vector<double> toolPauses, plainPauses;
  for (const char* preset : {"current-loop", "rs485-d"}) {
    std::vector<double> read, readBound, write, writeBound, plain, plainBound;
    // Tool and plain client take turns, so that both see the same machine.
    for (int i = 0; i < runs; ++i) {
      const TRun r = MeasureOnce(preset);
      read.push_back(r.ReadMs);
      readBound.push_back(r.ReadBoundMs);
      write.push_back(r.WriteMs);
      writeBound.push_back(r.WriteBoundMs);
      toolPauses.insert(toolPauses.end(), r.ReadPauses.begin(), r.ReadPauses.end());
      const TPlainRun p = MeasurePlainOnce(preset);
      plain.push_back(p.ReadMs);
      plainBound.push_back(p.ReadBoundMs);
      plainPauses.insert(plainPauses.end(), p.ReadPauses.begin(), p.ReadPauses.end());
    }
    const auto row = [](const std::string& what, double measured, double bound) {
      std::printf("| %s | %.1f ms | %.1f ms | %.1f ms | %.2f %% |\n", what.c_str(), measured, bound,
                  measured - bound, 100.0 * (measured - bound) / bound);
    };
    row(std::string("first read, ") + preset + " probe", Median(read), Median(readBound));
    row(std::string("first read, ") + preset + " probe, plain blocking client", Median(plain),
        Median(plainBound));
    row(std::string("write, ") + preset + " probe", Median(write), Median(writeBound));
  }
  const auto pauses = [](const char* who, const std::vector<double>& p) {
    std::printf(
        "| pause from a reply to the next request (first reads), %s: min / median / max "
        "| %.2f / %.2f / %.2f ms | 200.00 ms | | |\n",
        who, *std::min_element(p.begin(), p.end()), Median(p),
        *std::max_element(p.begin(), p.end()));
  };
  pauses("tool", toolPauses);
  pauses("plain blocking client", plainPauses);
  if (argc > 2 && std::string(argv[2]) == "--reads") return 0;
  const std::vector<double> late = TimerLateness(std::max(10, runs * 5));
  std::printf(
      "| expiry of a 200 ms timer after its due time: min / median / max | %.3f / %.3f / "
      "%.3f ms | | | |\n",
      *std::min_element(late.begin(), late.end()), Median(late),
      *std::max_element(late.begin(), late.end()));

  std::vector<double> cpu, switches;
  for (int i = 0; i < std::min(runs, 3); ++i) {
    double c = 0;
    long s = 0;
    Idle(c, s);
    cpu.push_back(c);
    switches.push_back(static_cast<double>(s));
  }
  std::printf("| idle CPU over 10 s after a read | %.3f %% | | | |\n", Median(cpu));
  std::printf("| context switches in those 10 s (all threads) | %.0f | | | |\n", Median(switches));

  std::vector<double> startup, memory;
  for (int i = 0; i < runs; ++i) {
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {"--startup"});
    if (!child.waitForFinished(30000)) return 1;
    startup.push_back(clock.nsecsElapsed() / 1e6);
    const QByteArray out = child.readAllStandardOutput();
    const int at = out.indexOf("painted ");
    if (at >= 0) memory.push_back(out.mid(at + 8).trimmed().toDouble() / 1024.0);
  }
  std::printf("| start-up to the first painted window (whole process) | %.1f ms | | | |\n",
              Median(startup));
  if (!memory.empty()) std::printf("| peak memory at start-up | %.1f MB | | | |\n", Median(memory));
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  std::printf("| peak memory of this benchmark (tool + simulator) | %.1f MB | | | |\n",
              r.ru_maxrss / 1024.0);
  return 0;
}
