// Fault soak, unplugging and a busy port: the real window (offscreen), the
// real serial port and event thread, real timers, and the probe simulator on
// a pseudo-terminal injecting every fault it has.
//
// KALMET_SOAK_CYCLES sets the number of cycles per probe family (default 6;
// scripts/soak.sh runs many more).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "tests/ui/FormFixture.h"
#include "toolkit/Numbers.h"
#include "tools/SimulatorServer.h"

namespace {

int Cycles() {
  const char* text = std::getenv("KALMET_SOAK_CYCLES");
  return text ? std::max(1, std::atoi(text)) : 6;
}

// A lock on the device as another program holds it: flock locks belong to
// open file descriptions, so one of this process's own conflicts with the
// tool's exactly as another program's does. (Not a child process: QProcess
// starts children with clone(CLONE_VM | CLONE_VFORK), which ThreadSanitizer
// passes through unhandled; the child runs the sanitizer's interceptors on
// this process's main-thread state, and correctly locked accesses made
// afterwards are reported as data races.)
class TDeviceLock {
 public:
  explicit TDeviceLock(const std::string& Path)
      : FFd(::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    FLocked = FFd >= 0 && ::flock(FFd, LOCK_EX | LOCK_NB) == 0;
  }
  ~TDeviceLock() {
    if (FFd >= 0) ::close(FFd);
  }
  bool Locked() const { return FLocked; }

 private:
  int FFd;
  bool FLocked = false;
};

long CpuMicroseconds() {
  rusage r{};
  ::getrusage(RUSAGE_SELF, &r);
  return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000L + r.ru_utime.tv_usec +
         r.ru_stime.tv_usec;
}

struct TFaultKind {
  const char* Name;
  sim::TFaults Faults;
};

std::vector<TFaultKind> FaultKinds() {
  std::vector<TFaultKind> kinds;
  const auto add = [&](const char* name, auto set) {
    sim::TFaults f;
    set(f);
    kinds.push_back({name, f});
  };
  add("none", [](sim::TFaults&) {});
  add("silence", [](sim::TFaults& f) {
    f.SilentAfter = 2;
    f.SilentFor = 2;
  });
  add("bad checksum", [](sim::TFaults& f) { f.BadChecksum = 2; });
  add("bad status", [](sim::TFaults& f) { f.BadStatus = 2; });
  add("split replies", [](sim::TFaults& f) {
    f.SplitParts = 3;
    f.SplitGapMs = 40;
  });
  add("doubled replies", [](sim::TFaults& f) { f.TwiceEvery = 3; });
  add("over-long lines", [](sim::TFaults& f) { f.OverlongEvery = 4; });
  add("unsolicited bytes", [](sim::TFaults& f) { f.UnsolicitedEvery = 2; });
  add("unsolicited lines", [](sim::TFaults& f) {
    f.UnsolicitedEvery = 3;
    f.UnsolicitedLine = true;
  });
  return kinds;
}

class SoakTest : public FormTest {
 protected:
  void Serve(const std::string& Preset, const std::string& Link = "",
             const sim::TFaults& Faults = {}) {
    sim::TServerOptions options;
    options.Link = Link;
    options.Faults = Faults;
    Server = std::make_unique<sim::TSimulatorServer>(*sim::Preset(Preset), options);
    std::string error;
    ASSERT_TRUE(Server->Open(error)) << error;
    Server->Start();
    if (!Form) MakeForm();
    Pick(Server->DevicePath());
  }
  void TearDown() override {
    FormTest::TearDown();
    Server.reset();
  }
  std::string Status() const { return Q(Form->Edit_Status)->text().toStdString(); }
  bool Resting() const {
    const TConnectionState& s = Form->State();
    return s.ReadComplete == 1 && s.SequenceState == ssIdle && s.RequestCode == 0 &&
           !Form->TimerRequestNext->Enabled() && !Form->TimerTimeout->Enabled();
  }
  bool WaitForRest(int Milliseconds = 30000) {
    return QTest::qWaitFor([&] { return Resting(); }, Milliseconds);
  }
  bool OnlyProtocolMessages() const {
    for (const auto& m : Messages)
      if (m != "Error: No answer from probe!\r\n\r\nTrying to connect/re-connect." &&
          m != "ERROR: Wrong answer received!")
        return false;
    return true;
  }
  static std::string ThreeDecimals(const QString& Shown) {
    long double value = 0;
    if (!TryTextToFloat(Shown.toStdString(), value, '.')) return "?";
    return FormatFloat("0.000", value, '.');
  }
  static std::string ThreeDecimals(double Value) { return FormatFloat("0.000", Value, '.'); }

  // What the window shows of the configuration, as the wire carries it.
  std::map<std::string, std::string> ShownConfiguration() const {
    if (IsCurrentLoopProbe(Form->State().ProbeType))
      return {{"PL", ThreeDecimals(Q(Form->Edit_LevelAt4mA)->text())},
              {"PH", ThreeDecimals(Q(Form->Edit_LevelAt20mA)->text())},
              {"FS", std::to_string(Q(Form->ComboBox_AlarmCurrent)->currentIndex())}};
    return {{"AD", std::to_string(Q(Form->SpinEdit_Address)->value())},
            {"OP", ThreeDecimals(Q(Form->Edit_Offset1)->text())},
            {"OW", ThreeDecimals(Q(Form->Edit_Offset2)->text())}};
  }
  std::map<std::string, std::string> ProbeConfiguration() const {
    const sim::TProbeModel p = Server->Model();
    if (p.Family == sim::TFamily::CurrentLoop)
      return {{"PL", ThreeDecimals(p.LevelAt4mA)},
              {"PH", ThreeDecimals(p.LevelAt20mA)},
              {"FS", std::to_string(p.AlarmCurrent)}};
    return {{"AD", std::to_string(p.Address)},
            {"OP", ThreeDecimals(p.Offset1)},
            {"OW", ThreeDecimals(p.Offset2)}};
  }
  void Edit(int Cycle) {
    if (IsCurrentLoopProbe(Form->State().ProbeType)) {
      Paste(Q(Form->Edit_LevelAt4mA), QString::number(100 + Cycle * 1.25, 'f', 2));
      Paste(Q(Form->Edit_LevelAt20mA), QString::number(2000 + Cycle * 3.5, 'f', 2));
      const int alarm = Cycle % 2;
      Q(Form->ComboBox_AlarmCurrent)->setCurrentIndex(alarm);
      emit Q(Form->ComboBox_AlarmCurrent)->activated(alarm);
    } else {
      Q(Form->SpinEdit_Address)->setValue(192 + (Cycle * 7) % 62);
      Paste(Q(Form->Edit_Offset1), QString::number(std::fmod(Cycle * 123.456, 10000.0), 'f', 3));
      Paste(Q(Form->Edit_Offset2), QString::number(Cycle * 0.5, 'f', 3));
    }
  }

  void Soak(const std::string& Preset);

  std::unique_ptr<sim::TSimulatorServer> Server;
};

void SoakTest::Soak(const std::string& Preset) {
  Serve(Preset);
  ASSERT_TRUE(WaitForRest()) << Status();
  const auto kinds = FaultKinds();
  std::map<std::string, int> survived;
  int writesChecked = 0, readsChecked = 0, interrupted = 0;
  const int cycles = Cycles();
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const TFaultKind& kind = kinds[static_cast<std::size_t>(cycle) % kinds.size()];
    const bool write = cycle % 2 == 1;
    SCOPED_TRACE(std::string(kind.Name) + (write ? " during a write" : " during a read") +
                 ", cycle " + std::to_string(cycle));
    Server->SetFaults(kind.Faults);
    const std::size_t messagesBefore = Messages.size();
    std::map<std::string, std::string> pressed;
    if (write) {
      Edit(cycle);
      pressed = ShownConfiguration();
      ASSERT_TRUE(Q(Form->Button_Write)->isEnabled());
      QTest::mouseClick(Q(Form->Button_Write), Qt::LeftButton);
    } else {
      ASSERT_TRUE(Q(Form->Button_Read)->isEnabled());
      QTest::mouseClick(Q(Form->Button_Read), Qt::LeftButton);
    }
    // Back at rest: after the command, or after a time-out and a new first read.
    ASSERT_TRUE(WaitForRest(60000)) << "hangs in: " << Status();
    const bool timedOut =
        std::any_of(Messages.begin() + static_cast<long>(messagesBefore), Messages.end(),
                    [](const std::string& m) { return m.rfind("Error: No answer", 0) == 0; });
    if (write && !timedOut && Status() == "Writing probe data done.") {
      EXPECT_EQ(ProbeConfiguration(), pressed) << "what the technician saw is what the probe got";
      ++writesChecked;
    }
    if (timedOut) ++interrupted;
    EXPECT_TRUE(OnlyProtocolMessages());
    ++survived[kind.Name];

    // A clean read: the window shows exactly the probe.
    Server->SetFaults({});
    QTest::mouseClick(Q(Form->Button_Read), Qt::LeftButton);
    ASSERT_TRUE(WaitForRest()) << Status();
    EXPECT_EQ(Status(), "Reading probe data done.");
    EXPECT_EQ(ShownConfiguration(), ProbeConfiguration());
    const sim::TProbeModel p = Server->Model();
    EXPECT_EQ(Q(Form->Edit_SerialNumber)->text().toStdString(), p.Id);
    ++readsChecked;
  }
  std::printf("\nSoak of a %s probe: %d cycles\n", Preset.c_str(), cycles);
  std::printf("  %-20s %s\n", "fault", "cycles survived");
  for (const auto& [name, count] : survived) std::printf("  %-20s %d\n", name.c_str(), count);
  std::printf("  writes checked: %d, clean reads checked: %d, time-outs shown: %d, messages: %zu\n",
              writesChecked, readsChecked, interrupted, Messages.size());
}

TEST_F(SoakTest, Rs485ProbeUnderFaults) {
  Soak("rs485-d");
}

TEST_F(SoakTest, CurrentLoopProbeUnderFaults) {
  Soak("current-loop");
}

// An adapter unplugged and plugged in again: the simulator closes its line
// and opens it again under the same link.
class UnplugTest : public SoakTest {
 protected:
  void SetUp() override {
    SoakTest::SetUp();
    Link = Dir.filePath("ttyKALMET0").toStdString();
  }
  static sim::TFaults UnplugAt(int Request) {
    sim::TFaults f;
    f.HangUpAfter = Request;
    f.ReturnAfterMs = 1500;
    return f;
  }
  // The window's answer to the unplug, at once; then, when the adapter is
  // back, it opens the port by itself and reads the probe afresh.
  void ExpectFailurePathThenReconnection() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Server->LineOpen(); }, 10000)) << "unplugged";
    QElapsedTimer sinceUnplug;
    sinceUnplug.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.empty(); }, 5000));
    EXPECT_LT(sinceUnplug.elapsed(), 1000) << "the window reacts at once";
    EXPECT_EQ(Messages, std::vector<std::string>{
                            "The selected COM Port is not available!\r\n\r\nThe adapter was "
                            "unplugged (the port is gone). Plug it in again: the tool opens the "
                            "port again by itself."});
    EXPECT_EQ(Status(), "Please select correct COM port.");
    EXPECT_EQ(Q(Form->ComboBox_ComPort)->Text(), QString("Select COM Port ..."));
    EXPECT_TRUE(Q(Form->Edit_TxIndicator)->isHidden() && Q(Form->Label_Rx)->isHidden());
    EXPECT_FALSE(Form->TimerRequestNext->Enabled());
    EXPECT_FALSE(Form->TimerTimeout->Enabled());
    EXPECT_FALSE(Form->State().PortOpen);
    const long cpu = CpuMicroseconds();
    QTest::qWait(500);
    EXPECT_LT(CpuMicroseconds() - cpu, 100000) << "no busy loop after the unplug";
    Server->SetFaults({});  // they have done their part
    const std::size_t logged = Server->Log().size();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Status() == "Reading probe data done." && Resting(); }, 30000))
        << "reconnected and read: " << Status();
    EXPECT_EQ(Messages.size(), 1u);
    std::vector<std::string> requests;
    const auto log = Server->Log();
    for (std::size_t i = logged; i < log.size(); ++i)
      if (log[i].Kind == "REQ") requests.push_back(log[i].Text);
    EXPECT_EQ(requests,
              (std::vector<std::string>{"S 0\\r\\n", "TXP40217VN4\\r\\n", "TXP40217CS\\r\\n",
                                        "TXP40217AD\\r\\n", "TXP40217OP\\r\\n", "TXP40217OW\\r\\n",
                                        "TXP40217SL\\r\\n", "TXP40217IS\\r\\n", "TXP40217PL\\r\\n",
                                        "TXP40217PH\\r\\n", "TXP40217FS\\r\\n"}));
    EXPECT_EQ(Q(Form->Edit_SerialNumber)->text(), QString("40217"));
  }

  QTemporaryDir Dir;
  std::string Link;
};

TEST_F(UnplugTest, WhileSearching) {
  sim::TFaults f = UnplugAt(2);
  f.SilentAfter = 0;
  Serve("rs485-d", Link, f);
  ExpectFailurePathThenReconnection();
}

TEST_F(UnplugTest, DuringTheFirstRead) {
  Serve("rs485-d", Link, UnplugAt(4));
  ExpectFailurePathThenReconnection();
}

TEST_F(UnplugTest, WhileIdle) {
  Serve("rs485-d", Link);
  ASSERT_TRUE(WaitForRest());
  Server->Unplug(1500);
  ExpectFailurePathThenReconnection();
}

TEST_F(UnplugTest, DuringARead) {
  Serve("rs485-d", Link);
  ASSERT_TRUE(WaitForRest());
  Server->SetFaults(UnplugAt(2));
  QTest::mouseClick(Q(Form->Button_Read), Qt::LeftButton);
  ExpectFailurePathThenReconnection();
}

TEST_F(UnplugTest, DuringAWriteWhatDidNotReachTheProbeStaysMarked) {
  Serve("rs485-d", Link);
  ASSERT_TRUE(WaitForRest());
  Server->SetFaults(UnplugAt(2));  // the address goes through, offset 1 does not
  Q(Form->SpinEdit_Address)->setValue(200);
  Paste(Q(Form->Edit_Offset1), "7.5");
  QTest::mouseClick(Q(Form->Button_Write), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.empty(); }, 10000));
  EXPECT_FALSE(Marked(Q(Form->SpinEdit_Address)));
  EXPECT_TRUE(Marked(Q(Form->Edit_Offset1)));
  EXPECT_EQ(Server->Model().Address, 200);
  ExpectFailurePathThenReconnection();
  EXPECT_EQ(Q(Form->SpinEdit_Address)->value(), 200);
  EXPECT_TRUE(Q(Form->Edit_Offset1)->isEnabled()) << "unlocked by the new read";
}

TEST_F(UnplugTest, APortPickedMeanwhileStaysWhenTheLostOneReturns) {
  Serve("rs485-d", Link);
  ASSERT_TRUE(WaitForRest());
  Server->Unplug(800);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.empty(); }, 5000));
  sim::TSimulatorServer other(*sim::Preset("current-loop"), {});
  std::string error;
  ASSERT_TRUE(other.Open(error)) << error;
  other.Start();
  Pick(other.DevicePath());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Server->LineOpen(); }, 5000));
  ASSERT_TRUE(WaitForRest());
  QTest::qWait(300);
  EXPECT_EQ(Form->Com->DeviceName(), "\\\\.\\" + other.DevicePath());
  EXPECT_EQ(Q(Form->GroupBox_ProbeData)->title(), QString(" KALMET-C "));
  Form.reset();
}

TEST_F(SoakTest, PortHeldByAnotherProgramIsRefusedAndTheToolWorksOnAnother) {
  sim::TSimulatorServer held(*sim::Preset("rs485-d"), {});
  std::string error;
  ASSERT_TRUE(held.Open(error)) << error;
  const TDeviceLock holder(held.DevicePath());
  ASSERT_TRUE(holder.Locked());
  MakeForm();
  Pick(held.DevicePath());
  EXPECT_EQ(Messages,
            std::vector<std::string>{
                "The selected COM Port is not available!\r\n\r\nAnother program is "
                "using this port. Close that program and pick the port again; \"fuser -v " +
                held.DevicePath() + "\" shows which program it is."});
  EXPECT_EQ(Status(), "Please select correct COM port.");
  Messages.clear();
  Serve("current-loop");
  ASSERT_TRUE(WaitForRest());
  EXPECT_EQ(Status(), "Reading probe data done.");
  EXPECT_TRUE(Messages.empty());
}

}  // namespace
