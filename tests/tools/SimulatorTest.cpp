#include <gtest/gtest.h>

#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "tests/tools/LineClient.h"
#include "tools/SimulatorServer.h"

namespace {

using namespace std::chrono_literals;

// The simulator serving in this process, on a thread of its own.
class SimulatorTest : public ::testing::Test {
 protected:
  void Serve(sim::TFaults Faults = {}, sim::TTiming Timing = {}, std::string Link = "") {
    sim::TServerOptions options;
    options.Faults = Faults;
    options.Timing = Timing;
    options.Link = std::move(Link);
    Server = std::make_unique<sim::TSimulatorServer>(*sim::Preset("rs485-d"), options);
    std::string error;
    ASSERT_TRUE(Server->Open(error)) << error;
    Server->Start();
    Client = std::make_unique<TLineClient>(Server->DevicePath());
    ASSERT_TRUE(Client->Ok());
  }
  void TearDown() override {
    Client.reset();
    Server.reset();
  }
  int Count(const std::string& Kind, const std::string& Text = "") const {
    int n = 0;
    for (const auto& e : Server->Log()) n += e.Kind == Kind && (Text.empty() || e.Text == Text);
    return n;
  }

  std::unique_ptr<sim::TSimulatorServer> Server;
  std::unique_ptr<TLineClient> Client;
};

TEST_F(SimulatorTest, AnswersRequestsOnThePseudoTerminalAndLogsThem) {
  Serve();
  EXPECT_EQ(Client->Ask("S 0"), "40217 0 021500 0123456 0234567 203\r\n");
  EXPECT_EQ(Client->Ask("TXP40217VN4"), "KALMET-RS-D V2.13\r\n");
  EXPECT_EQ(Client->Ask("RXP40217AD200"), "i.O.\r\n");
  EXPECT_EQ(Client->Ask("TXP40217AD"), "200\r\n");
  EXPECT_EQ(Client->Ask("TXP12345AD", 300), "") << "another probe's identifier";
  EXPECT_EQ(Server->Model().Address, 200);
  const auto log = Server->Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0].Kind, "REQ");
  EXPECT_EQ(log[0].Text, "S 0\\r\\n");
  EXPECT_EQ(log[1].Kind, "REP");
  EXPECT_EQ(Server->Requests(), 5);
}

TEST_F(SimulatorTest, SilentAfterNAndBackAfterM) {
  sim::TFaults f;
  f.SilentAfter = 1;
  f.SilentFor = 2;
  Serve(f);
  EXPECT_NE(Client->Ask("S 0"), "");
  EXPECT_EQ(Client->Ask("S 0", 300), "");
  EXPECT_EQ(Client->Ask("S 0", 300), "");
  EXPECT_NE(Client->Ask("S 0"), "");
}

TEST_F(SimulatorTest, BadChecksumAndBadStatusForTheFirstSearches) {
  sim::TFaults f;
  f.BadChecksum = 1;
  f.BadStatus = 2;
  Serve(f);
  EXPECT_EQ(Client->Ask("S 0"), "40217 1 021500 0123456 0234567 205\r\n")
      << "status 1, checksum 204 + 1";
  EXPECT_EQ(Client->Ask("S 0"), "40217 1 021500 0123456 0234567 204\r\n");
  EXPECT_EQ(Client->Ask("S 0"), "40217 0 021500 0123456 0234567 203\r\n");
}

TEST_F(SimulatorTest, SplitRepliesArriveInPieces) {
  sim::TFaults f;
  f.SplitParts = 3;
  f.SplitGapMs = 60;
  Serve(f);
  EXPECT_EQ(Client->Ask("TXP40217VN4"), "KALMET-RS-D V2.13\r\n");
  EXPECT_EQ(Client->Chunks.size(), 3u);
}

TEST_F(SimulatorTest, OverlongUnsolicitedAndTwice) {
  sim::TFaults f;
  f.OverlongEvery = 1;
  f.TwiceEvery = 1;
  f.UnsolicitedEvery = 1;
  f.UnsolicitedLine = true;
  Serve(f);
  Client->Send("TXP40217AD");
  EXPECT_EQ(Client->Receive(4), std::string(58, 'X') + "\r\n192\r\n192\r\nNOISE\r\n");
}

TEST_F(SimulatorTest, EchoOfEveryKthRequestComesBeforeItsReply) {
  sim::TFaults f;
  f.EchoEvery = 2;
  Serve(f);
  Client->Send("TXP40217AD");
  EXPECT_EQ(Client->Receive(1), "192\r\n");
  Client->Send("TXP40217AD");
  EXPECT_EQ(Client->Receive(2), "TXP40217AD\r\n192\r\n");
  EXPECT_EQ(Count("ECHO", "TXP40217AD\\r\\n"), 1);
}

TEST_F(SimulatorTest, UnsolicitedBytesWithoutLineEnd) {
  sim::TFaults f;
  f.UnsolicitedEvery = 2;
  Serve(f);
  EXPECT_EQ(Client->Ask("TXP40217AD"), "192\r\n");
  Client->Send("TXP40217AD");
  EXPECT_EQ(Client->Receive(2, 500), std::string("192\r\n\x00\xFF~noise~", 14));
}

TEST_F(SimulatorTest, HangUpAndReturnUnderTheSameLink) {
  QTemporaryDir dir;
  const std::string link = dir.filePath("ttyKALMET0").toStdString();
  sim::TFaults f;
  f.HangUpAfter = 2;
  f.ReturnAfterMs = 200;
  Serve(f, {}, link);
  const std::string first = std::filesystem::read_symlink(link);
  EXPECT_NE(Client->Ask("S 0"), "");
  Client->Send("TXP40217VN4");
  EXPECT_EQ(Client->Receive(1, 1000), "");
  EXPECT_TRUE(Client->Closed) << "the line went away";
  for (int i = 0; i < 500 && !Server->LineOpen(); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(Server->LineOpen());
  TLineClient again(link);
  ASSERT_TRUE(again.Ok());
  EXPECT_EQ(again.Ask("S 0"), "40217 0 021500 0123456 0234567 203\r\n");
  EXPECT_EQ(Count("HANGUP"), 1);
  EXPECT_EQ(Count("RETURN"), 1);
  (void)first;
}

TEST_F(SimulatorTest, PacedRepliesTakeTheirTimeOnTheLine) {
  sim::TTiming t;
  t.Pace = true;
  t.LatencyMs = 20;
  Serve({}, t);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Client->Ask("S 0"), "40217 0 021500 0123456 0234567 203\r\n");
  const auto took = std::chrono::steady_clock::now() - start;
  // Request 5 bytes + reply 36 bytes at 8.33 ms, plus the latency.
  EXPECT_GE(took, 41 * 8333us + 20ms);
}

// The program itself, as a technician starts it.
TEST(SimulatorProgram, ServesALinkUntilStoppedAndRemovesTheLink) {
  QTemporaryDir dir;
  const QString link = dir.filePath("ttyKALMET0");
  QProcess process;
  process.start(KALMET_PROBE_SIM,
                {"--link", link, "--preset", "current-loop", "--id", "123456789"});
  ASSERT_TRUE(process.waitForStarted());
  ASSERT_TRUE(process.waitForReadyRead(5000));
  EXPECT_EQ(process.readLine().trimmed(), link);
  {
    TLineClient client(link.toStdString());
    ASSERT_TRUE(client.Ok());
    const std::string reply = client.Ask("S 0");
    EXPECT_EQ(reply.size(), 40u);
    EXPECT_EQ(reply.substr(0, 9), "123456789");
    EXPECT_EQ(client.Ask("TXP123456789VN4"), "KALMET-C 1.05\r\n");
  }
  ASSERT_TRUE(process.waitForReadyRead(5000));
  EXPECT_TRUE(process.readAll().contains("REQ S 0\\r\\n"));
  ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(5000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link.toStdString()));
}

TEST(SimulatorProgram, HelpAndWrongOptions) {
  QProcess help;
  help.start(KALMET_PROBE_SIM, {"--help"});
  ASSERT_TRUE(help.waitForFinished(5000));
  EXPECT_EQ(help.exitCode(), 0);
  EXPECT_TRUE(help.readAllStandardOutput().contains("--link NAME|PATH"));
  QProcess wrong;
  wrong.start(KALMET_PROBE_SIM, {"--no-such-option"});
  ASSERT_TRUE(wrong.waitForFinished(5000));
  EXPECT_EQ(wrong.exitCode(), 2);
  EXPECT_TRUE(wrong.readAllStandardError().contains("unknown option"));
  // A link never takes the place of what is there already.
  QTemporaryDir dir;
  const QString taken = dir.filePath("ttyTaken");
  {
    QFile file(taken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("data");
  }
  QProcess occupied;
  occupied.start(KALMET_PROBE_SIM, {"--link", taken, "--quiet"});
  ASSERT_TRUE(occupied.waitForFinished(5000));
  EXPECT_EQ(occupied.exitCode(), 1);
  EXPECT_TRUE(occupied.readAllStandardError().contains("is there already"));
  QFile file(taken);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("data"));
  QProcess version;
  version.start(KALMET_PROBE_SIM, {"--version"});
  ASSERT_TRUE(version.waitForFinished(5000));
  EXPECT_TRUE(version.readAllStandardOutput().startsWith("kalmet-probe-sim "));
}

}  // namespace
