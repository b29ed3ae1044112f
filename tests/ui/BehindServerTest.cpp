// The window through a real serial device server: ser2net on 127.0.0.1 in
// front of the probe simulator's pseudo-terminal, its address typed into the
// port selector; the server stopped under the tool and started again.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <random>

#include "tests/ui/FormFixture.h"
#include "tools/SimulatorServer.h"

extern char** environ;

namespace {

// ser2net on a free port of 127.0.0.1, as an RFC 2217 and a raw TCP port.
class TSer2net {
 public:
  explicit TSer2net(std::string Line) : FLine(std::move(Line)) {}
  ~TSer2net() { Stop(); }

  // Listening on both ports (tried on others until it could take them).
  bool Start() {
    static std::mt19937 pick(std::random_device{}());
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (!FFixedPorts) Rfc2217 = 20000 + static_cast<int>(pick() % 20000);
      if (Launch() &&
          QTest::qWaitFor([this] { return Listening(Rfc2217) && Listening(Raw()); }, 2500))
        return true;
      Stop();
      if (FFixedPorts) return false;
    }
    return false;
  }
  // Started again later: on the same ports.
  void KeepPorts() { FFixedPorts = true; }
  void Stop() {
    if (FPid <= 0) return;
    ::kill(FPid, SIGTERM);
    ::waitpid(FPid, nullptr, 0);
    FPid = 0;
  }
  int Raw() const { return Rfc2217 + 1; }

  int Rfc2217 = 0;

 private:
  bool Launch() {
    const QString config = FDir.filePath("ser2net.yaml");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto connection = [&](const char* Name, const char* Accepter, int Port) {
      return QString(
                 "connection: &%1\n    accepter: %2,127.0.0.1,%3\n"
                 "    connector: serialdev,%4,1200n81,local\n"
                 "    options:\n      kickolduser: true\n")
          .arg(Name, Accepter)
          .arg(Port)
          .arg(QString::fromStdString(FLine));
    };
    file.write(("%YAML 1.1\n---\n" + connection("rfc2217", "telnet(rfc2217),tcp", Rfc2217) +
                connection("raw", "tcp", Raw()))
                   .toUtf8());
    file.close();
    const std::string path = config.toStdString();
    const std::string pidFile = FDir.filePath("ser2net.pid").toStdString();
    const char* argv[] = {"ser2net", "-n", "-c", path.c_str(), "-P", pidFile.c_str(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const int failed = ::posix_spawn(&FPid, KALMET_SER2NET, &quiet, nullptr,
                                     const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (failed) FPid = 0;
    return !failed;
  }
  // Whether ser2net listens on 127.0.0.1:Port (the kernel's socket table;
  // the socket must be its own, not another test's).
  bool Listening(int Port) const {
    QFile table("/proc/net/tcp");
    if (!table.open(QIODevice::ReadOnly)) return false;
    const QByteArray want =
        QString("0100007F:%1").arg(Port, 4, 16, QChar('0')).toUpper().toLatin1();
    for (const QByteArray& line : table.readAll().split('\n')) {
      const QList<QByteArray> f = line.simplified().split(' ');
      if (f.size() <= 9 || f[1] != want || f[3] != "0A") continue;
      const QString socket = "socket:[" + QString::fromLatin1(f[9]) + "]";
      const QDir fds(QString("/proc/%1/fd").arg(FPid));
      for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fd.filePath()).endsWith(socket)) return true;
    }
    return false;
  }

  std::string FLine;
  QTemporaryDir FDir;
  pid_t FPid = 0;
  bool FFixedPorts = false;
};

class BehindServerTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Sim = std::make_unique<sim::TSimulatorServer>(*sim::Preset("rs485-d"), sim::TServerOptions{});
    std::string error;
    ASSERT_TRUE(Sim->Open(error)) << error;
    Sim->Start();
    Server = std::make_unique<TSer2net>(Sim->DevicePath());
    ASSERT_TRUE(Server->Start()) << "ser2net did not start";
    MakeForm();
  }
  void TearDown() override {
    FormTest::TearDown();
    Server.reset();
    Sim.reset();
  }
  // Types Address into the port selector's edit part and presses Enter.
  void TypeAddress(const std::string& Address) {
    QLineEdit* edit = Q(Form->ComboBox_ComPort)->lineEdit();
    ASSERT_NE(edit, nullptr) << "the port selector has no edit part";
    Type(edit, QString::fromStdString(Address));
    EXPECT_TRUE(Messages.empty()) << "opened while typing";
    QTest::keyClick(edit, Qt::Key_Return);
  }
  bool WaitForStatus(const char* Status, int Milliseconds = 15000) {
    return QTest::qWaitFor([&] { return Q(Form->Edit_Status)->text() == Status; }, Milliseconds);
  }
  std::vector<std::string> Requests() {
    std::vector<std::string> requests;
    for (const auto& e : Sim->Log())
      if (e.Kind == "REQ") requests.push_back(e.Text.substr(0, e.Text.size() - 4));
    return requests;
  }

  std::unique_ptr<sim::TSimulatorServer> Sim;
  std::unique_ptr<TSer2net> Server;
};

const std::vector<std::string> kFirstRead = {
    "S 0",        "TXP40217VN4", "TXP40217CS", "TXP40217AD", "TXP40217OP", "TXP40217OW",
    "TXP40217SL", "TXP40217IS",  "TXP40217PL", "TXP40217PH", "TXP40217FS"};

// Each mode with a server of its own: one that has just let go of the line
// may not take it again at once.
class TypedAddressTest : public BehindServerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TypedAddressTest, IsReadAsThroughAnAdapter) {
  const std::string address = GetParam() ? "rfc2217://127.0.0.1:" + std::to_string(Server->Rfc2217)
                                         : "socket://127.0.0.1:" + std::to_string(Server->Raw());
  TypeAddress(address);
  ASSERT_TRUE(WaitForStatus("Reading probe data done."))
      << Q(Form->Edit_Status)->text().toStdString();
  EXPECT_EQ(Requests(), kFirstRead);
  EXPECT_EQ(Q(Form->GroupBox_ProbeData)->title(), QString(" KALMET-RS-D "));
  EXPECT_EQ(Form->ComboBox_ComPort->Text(), address);
  EXPECT_TRUE(Messages.empty()) << Messages.front();
  // Enter on the open port's text changes nothing.
  QTest::keyClick(Q(Form->ComboBox_ComPort)->lineEdit(), Qt::Key_Return);
  QTest::qWait(300);
  EXPECT_EQ(Q(Form->Edit_Status)->text().toStdString(), "Reading probe data done.");
}

INSTANTIATE_TEST_SUITE_P(BothModes, TypedAddressTest, ::testing::Bool(),
                         [](const auto& Mode) { return Mode.param ? "Rfc2217" : "RawTcp"; });

TEST_F(BehindServerTest, AStoppedServerIsReportedAndReconnectedWhenItIsBack) {
  const std::string address = "rfc2217://127.0.0.1:" + std::to_string(Server->Rfc2217);
  TypeAddress(address);
  ASSERT_TRUE(WaitForStatus("Reading probe data done."));
  Server->Stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.empty(); }, 3000))
      << "the loss went unnoticed";
  EXPECT_NE(Messages.front().find("The connection to the server was lost"), std::string::npos)
      << Messages.front();
  Server->KeepPorts();
  ASSERT_TRUE(Server->Start());
  ASSERT_TRUE(WaitForStatus("Reading probe data done.")) << "not connected again";
  EXPECT_EQ(Form->ComboBox_ComPort->Text(), address);
  EXPECT_EQ(Messages.size(), 1u) << "retries are quiet";
  // Back for good: its next loss is said again.
  Server->Stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Messages.size() == 2; }, 3000)) << "a loss went unsaid";
}

// A server that cannot open its own line takes each connection, sends its
// complaint and closes: said once, in plain words (a failed open, or a lost
// line when the open was through; the complaint may read as a wrong answer),
// then the server is tried again quietly.
TEST_F(BehindServerTest, AServerWithoutItsLineIsToldOnceAndTriedQuietly) {
  TSer2net lineless(Sim->DevicePath() + ".gone");
  ASSERT_TRUE(lineless.Start()) << "ser2net did not start";
  TypeAddress("socket://127.0.0.1:" + std::to_string(lineless.Raw()));
  const auto notAvailable = [](const std::string& m) {
    return m.rfind("The selected COM Port is not available!", 0) == 0;
  };
  const auto told = [&] { return std::count_if(Messages.begin(), Messages.end(), notAvailable); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return told() > 0; }, 5000));
  const std::size_t shown = Messages.size();
  QTest::qWait(2500);  // two tries more, a second apart
  EXPECT_EQ(Messages.size(), shown) << Messages.back();
  EXPECT_EQ(told(), 1);
  for (const std::string& m : Messages)
    EXPECT_TRUE(notAvailable(m) || m == "ERROR: Wrong answer received!") << m;
}

// A message box takes the focus: the edit part's editing ends under it. Once
// with Enter, once leaving the box.
TEST_F(BehindServerTest, AnAddressWithoutAServerSaysWhyOnce) {
  const std::string address = "rfc2217://127.0.0.1:" + std::to_string(Server->Raw());
  QLineEdit* edit = Q(Form->ComboBox_ComPort)->lineEdit();
  Application().SetMessagePresenter([&](const std::string&, const std::string& Text) {
    Messages.push_back(Text);
    if (Messages.size() == 1) Q_EMIT edit->editingFinished();
  });
  for (std::size_t times = 1; times <= 2; ++times) {
    Type(edit, QString::fromStdString(address));
    if (times == 1) {
      Q(Form->ComboBox_ComPort)->showPopup();
      QTest::qWait(50);
      Q(Form->ComboBox_ComPort)->hidePopup();
      EXPECT_TRUE(Messages.empty()) << "opened with the list";
    }
    edit->setFocus();
    if (times == 1)
      QTest::keyClick(edit, Qt::Key_Return);
    else  // leaving the box completes the text too
      Q(Form->Edit_Status)->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Messages.size() >= times; }, 5000));
    QTest::qWait(100);
    ASSERT_EQ(Messages.size(), times);
    EXPECT_NE(Messages.back().find("not an RFC 2217 server"), std::string::npos) << Messages.back();
    EXPECT_EQ(Q(Form->Edit_Status)->text(), QString("Please select correct COM port."));
  }
}

}  // namespace
