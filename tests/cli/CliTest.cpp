// The terminal program's commands against a probe model on a virtual clock:
// the same engine, requests and time-outs as on a real line, in microseconds.
// And the program itself once, over a pseudo-terminal.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <sstream>

#include "cli/Command.h"
#include "tests/tools/LineClient.h"
#include "toolkit/VirtualClock.h"
#include "tools/ProbeModel.h"

namespace {

// A probe model on the other end of the line; it answers 20 ms after each
// request, in virtual time.
class TModelLine : public TProbeLine {
 public:
  TModelLine(sim::TProbeModel& Model, TVirtualClock& Clock, std::vector<std::string>& Frames)
      : Frames(Frames), FModel(Model) {
    FDelivery = Clock.CreateTimer(&FOwner);
    FDelivery->SetEnabled(false);
    FDelivery->SetInterval(20);
    FDelivery->SetOnTimer(TNotifyEvent::Of<&TModelLine::Deliver>(this));
  }
  void PurgeInput() override { FInput.clear(); }
  void WriteString(const std::string& Bytes) override {
    Frames.push_back(Bytes.substr(0, Bytes.size() - 2));
    if (OnSent) OnSent(Bytes);
    if (Silent) return;
    if (const auto reply = sim::Answer(FModel, Frames.back())) {
      FReplies.push_back(*reply);
      FDelivery->SetEnabled(true);
    }
  }
  int InputCount() override { return static_cast<int>(FInput.size()); }
  char ReadChar() override {
    const char c = FInput.front();
    FInput.pop_front();
    return c;
  }
  void Close() override {}

  std::vector<std::string>& Frames;  // every frame written, kept by the test
  bool Silent = false;

 private:
  void Deliver(TObject*) {
    FDelivery->SetEnabled(false);
    for (char c : FReplies.front()) FInput.push_back(c);
    FReplies.pop_front();
    if (!FReplies.empty()) FDelivery->SetEnabled(true);
    if (OnReceived) OnReceived();
  }

  sim::TProbeModel& FModel;
  TComponent FOwner{nullptr};
  TCustomTimer* FDelivery;
  std::deque<std::string> FReplies;
  std::deque<char> FInput;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    C.OpenLine = [this](const std::string&, std::string&) {
      auto line = std::make_unique<TModelLine>(Model, Clock, Frames);
      line->Silent = Silent;
      Opened = true;
      Line = line.get();
      return std::unique_ptr<TProbeLine>(std::move(line));
    };
    C.Timers = &Clock;
    C.RunUntil = [this](const std::function<bool()>& Done, int Milliseconds) {
      return Clock.RunUntil(Done, Milliseconds);
    };
    C.Out = &Out;
    C.Err = &Err;
    C.Interrupted = &Interrupted;
    C.Now = [] { return std::string("2026-12-08T12:00:00Z"); };
  }
  int Read(bool Json = true) {
    TCommonOptions o{"ttyUSB0", Json, 10, Record};
    return TReadCommand(C, o).Run();
  }
  int Write(const TWriteValues& Values, bool Json = false) {
    TCommonOptions o{"ttyUSB0", Json, 10, Record};
    return TWriteCommand(C, o, Values).Run();
  }
  QJsonObject Json() const {
    return QJsonDocument::fromJson(QByteArray::fromStdString(Out.str())).object();
  }
  std::vector<std::string> WriteFrames() const {
    std::vector<std::string> writes;
    for (const auto& f : Frames)  // the release at the end is no write of a value
      if ((f.rfind("RXP", 0) == 0 && !f.ends_with("IS")) || f.rfind("STP", 0) == 0)
        writes.push_back(f);
    return writes;
  }

  sim::TProbeModel Model = *sim::Preset("rs485-d");
  TVirtualClock Clock;
  TCommandContext C;
  TModelLine* Line = nullptr;  // while the command runs
  bool Opened = false;
  std::vector<std::string> Frames;
  std::ostringstream Out, Err;
  bool Interrupted = false;
  bool Silent = false;
  std::string Record;
};

TEST_F(CliTest, ReadGivesEveryValueOfTheFamilyAndNullForTheRest) {
  const struct {
    const char* Preset;
    std::map<QString, QJsonValue> Expected;
  } rows[] = {
      {"rs485-d",
       {{"family", "rs485"},
        {"probe_type", 6},
        {"probe_id", "40217"},
        {"address", 192},
        {"offset1_mm", 0},
        {"level1_mm", 123.456},
        {"temperature_c", 21.5},
        {"firmware_checksum", "A5C3"},
        {"current_ma", QJsonValue::Null},
        {"alarm_current_ma", QJsonValue::Null},
        {"level_limit_mm", 2500},
        {"port", "ttyUSB0"}}},
      {"current-loop",
       {{"family", "current-loop"},
        {"probe_type", 2},
        {"level_mm", 1250.25},
        {"current_ma", 12},
        {"level_at_4ma_mm", 100},
        {"level_at_20ma_mm", 2400},
        {"alarm_current_ma", 21.5},
        {"address", QJsonValue::Null},
        {"offset1_mm", QJsonValue::Null},
        {"fine_resolution", false}}},
  };
  for (const auto& row : rows) {
    Model = *sim::Preset(row.Preset);
    Out.str("");
    Frames.clear();
    ASSERT_EQ(Read(), exDone) << Err.str();
    const QJsonObject o = Json();
    EXPECT_EQ(o.size(), 22) << row.Preset;
    for (const auto& [key, value] : row.Expected)
      EXPECT_EQ(o.value(key), value) << row.Preset << " " << key.toStdString();
    // As the window's close, the end releases a current-loop probe.
    EXPECT_EQ(Frames.back() == "RXP" + Model.Id + "IS", Model.Family == sim::TFamily::CurrentLoop);
  }
}

TEST_F(CliTest, WriteIsVerifiedByReadingAgainAndRecorded) {
  QTemporaryDir dir;
  Record = dir.filePath("service.jsonl").toStdString();
  TWriteValues v;
  v.Address = 200;
  v.Offset1 = 7.5L;
  EXPECT_EQ(Write(v), exDone) << Err.str();
  EXPECT_EQ(Out.str(), "Written and verified.\n");
  EXPECT_EQ(WriteFrames(), (std::vector<std::string>{"RXP40217AD200", "RXP40217OP7.500",
                                                     "RXP40217OW0.000", "STP40217"}));
  std::ifstream record(Record);
  std::string line;
  ASSERT_TRUE(std::getline(record, line));
  const QJsonObject r = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
  EXPECT_EQ(r["time"], "2026-12-08T12:00:00Z");
  EXPECT_EQ(r["outcome"], "Written and verified.");
  EXPECT_EQ(r["before"].toObject()["address"], 192);
  EXPECT_EQ(r["after"].toObject()["address"], 200);
  EXPECT_EQ(r["sent"].toObject()["offset1"], "7.500");
  // What the probe reports beyond the window's limits is written as the
  // window would show it: the address within its type's range.
  Model.Address = 300;
  Frames.clear();
  TWriteValues offset;
  offset.Offset2 = 1;
  EXPECT_EQ(Write(offset), exDone);
  ASSERT_FALSE(WriteFrames().empty());
  EXPECT_EQ(WriteFrames().front(), "RXP40217AD253");
}

TEST_F(CliTest, ValuesAgainstTheWindowsRulesAreRefusedBeforeAnyWrite) {
  const auto values = [](auto Set) {
    TWriteValues v;
    Set(v);
    return v;
  };
  const struct {
    const char* Preset;
    TWriteValues Values;
    bool LineOpened;  // rules that hold for every probe come before the read
    const char* Named;
  } rows[] = {
      {"rs485-d", values([](TWriteValues& v) { v.Address = 300; }), false,
       "address 300 is outside 1 to 253"},
      {"rs485-d", values([](TWriteValues& v) { v.Offset1 = 10001; }), false,
       "offset1 10001 mm is outside 0 to 10000 mm"},
      {"current-loop", values([](TWriteValues& v) {
         v.LevelAt4mA = 100;
         v.LevelAt20mA = 103;
       }),
       false, "less than 5 mm apart"},
      {"rs485-d", values([](TWriteValues& v) { v.Address = 150; }), true,
       "address 150 is outside 192 to 253"},
      {"rs485-d", values([](TWriteValues& v) { v.LevelAt4mA = 50; }), true,
       "has no 4 mA and 20 mA levels"},
      {"current-loop", values([](TWriteValues& v) { v.Offset1 = 5; }), true,
       "has no address and no float offsets"},
      {"current-loop", values([](TWriteValues& v) { v.LevelAt20mA = 2600; }), true,
       "level20 2600 mm is above the level limit of 2500 mm"},
      {"current-loop", values([](TWriteValues& v) { v.LevelAt20mA = 103; }), true,
       "level4 100 mm and level20 103 mm are less than 5 mm apart"},
  };
  for (const auto& row : rows) {
    Model = *sim::Preset(row.Preset);
    Opened = false;
    Frames.clear();
    Err.str("");
    EXPECT_EQ(Write(row.Values), exRefused) << row.Named;
    EXPECT_NE(Err.str().find(row.Named), std::string::npos) << Err.str();
    EXPECT_EQ(Opened, row.LineOpened) << row.Named;
    EXPECT_TRUE(WriteFrames().empty()) << row.Named;
    EXPECT_EQ(Model.Writes + Model.RefusedWrites, 0);
  }
}

TEST_F(CliTest, AValueTheProbeDoesNotTakeIsNamed) {
  Model = *sim::Preset("current-loop");
  Model.ProbeLength = 2506.4;  // the tool's limit is 2510 mm, the probe's its length
  TWriteValues v;
  v.LevelAt20mA = 2508;
  EXPECT_EQ(Write(v), exRefused);
  EXPECT_NE(Err.str().find("the probe did not take level20 (sent 2508.000, the probe reports "
                           "2400.000)"),
            std::string::npos)
      << Err.str();
}

TEST_F(CliTest, NoProbeAnswersWithinTheSearchTime) {
  Silent = true;
  EXPECT_EQ(Read(), exNoProbe);
  EXPECT_EQ(Err.str(), "kalmet-cli: No probe answered on ttyUSB0 within 10 s.\n");
  EXPECT_LE(Clock.Now(), 10000);
  for (const auto& f : Frames) EXPECT_EQ(f, "S 0");
}

TEST_F(CliTest, CtrlCDuringAWriteStopsAfterTheReplyInFlight) {
  TWriteValues v;
  v.Address = 201;
  // Ctrl+C while the offset of float 1 is on its way.
  const auto interruptAt = [this](const std::string& Frame) {
    if (Frame.rfind("RXP40217OP", 0) == 0) Interrupted = true;
  };
  bool hooked = false;
  C.RunUntil = [&](const std::function<bool()>& Done, int Milliseconds) {
    if (Line && !hooked) {
      hooked = true;
      Line->OnSent = [progress = Line->OnSent, interruptAt](const std::string& Frame) {
        progress(Frame);
        interruptAt(Frame);
      };
    }
    return Clock.RunUntil(Done, Milliseconds);
  };
  EXPECT_EQ(Write(v), exInterrupted);
  EXPECT_EQ(WriteFrames(), (std::vector<std::string>{"RXP40217AD201", "RXP40217OP0.000"}));
  EXPECT_NE(Err.str().find("acknowledged: address, offset1; not acknowledged: offset2 (not sent), "
                           "closing command (not sent)"),
            std::string::npos)
      << Err.str();
  EXPECT_EQ(Model.Address, 201);
}

// The program as a script runs it, against the simulator program.
TEST(CliProgram, ReadsASimulatedProbeOverAPseudoTerminal) {
  QTemporaryDir dir;
  const QString link = dir.filePath("ttyKALMET0");
  QProcess simulator;
  simulator.start(KALMET_PROBE_SIM, {"--link", link, "--preset", "current-loop", "--quiet"});
  ASSERT_TRUE(simulator.waitForStarted());
  ASSERT_TRUE(simulator.waitForReadyRead(5000));
  QProcess cli;
  cli.start(KALMET_CLI, {"read", link, "--json"});
  ASSERT_TRUE(cli.waitForFinished(30000));
  EXPECT_EQ(cli.exitCode(), exDone) << cli.readAllStandardError().toStdString();
  const QJsonObject o = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
  EXPECT_EQ(o["probe_id"], "51234");
  EXPECT_EQ(o["type_name"], "KALMET-C");
  EXPECT_EQ(o["port"], link);
  for (const QStringList& wrong : {QStringList{"write", link},
                                   {"write", link, "--offset1", "nan"},
                                   {"write", link, "--address", "201", "--offset1", ""}}) {
    QProcess usage;
    usage.start(KALMET_CLI, wrong);
    ASSERT_TRUE(usage.waitForFinished(5000));
    EXPECT_EQ(usage.exitCode(), exUsage) << wrong.join(' ').toStdString();
  }
  simulator.terminate();
  simulator.waitForFinished(5000);
}

}  // namespace
