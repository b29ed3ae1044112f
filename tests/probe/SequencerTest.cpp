#include <gtest/gtest.h>

#include "tests/probe/ProbeFixture.h"

namespace {

using Frames = std::vector<std::string>;
using C = TProbeControl;
using G = TProbeGroup;

// The Read and Write commands as the window gives them.
void PressRead(ProbeEngineTest&, TConnectionState&, TProbeEngine& E) {
  ASSERT_TRUE(E.RequestRead());
}

void PressWrite(TConnectionState&, TProbeEngine& E) {
  E.RequestWrite();
}

TEST_F(ProbeEngineTest, NoProbeSearchesEvery1200msWithoutAMessage) {
  Probe.Silent = true;
  SelectPort();
  std::vector<TVirtualClock::TTime> sentAt;
  Link.OnWrite = [&](const std::string&) { sentAt.push_back(Clock.Now()); };
  Clock.Advance(10000);
  EXPECT_EQ(sentAt, (std::vector<TVirtualClock::TTime>{200, 1400, 2600, 3800, 5000, 6200, 7400,
                                                       8600, 9800}));
  for (const auto& f : TakeFrames()) EXPECT_EQ(f, "S 0");
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_EQ(View.Status(), "Searching for probe.");
  EXPECT_FALSE(State.ProbeFound);
}

TEST_F(ProbeEngineTest, ThePauseBeforeARequestCountsFromTheLastByteOfTheReply) {
  // Each reply's last byte arrived 30.9 ms before the engine read it.
  Link.Age = std::chrono::microseconds(30'900);
  SelectPort();
  std::vector<TVirtualClock::TTime> sentAt;
  Link.OnWrite = [&, probe = Link.OnWrite](const std::string& Frame) {
    sentAt.push_back(Clock.Now());
    probe(Frame);
  };
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  ASSERT_EQ(sentAt.size(), 11u);
  EXPECT_EQ(sentAt.front(), 200);
  for (std::size_t i = 1; i < sentAt.size(); ++i)
    EXPECT_EQ(sentAt[i] - sentAt[i - 1], ReplyDelay + 200 - 30) << "request " << i;
}

TEST_F(ProbeEngineTest, FirstReadAsksEveryValueThenRests) {
  SelectPort();
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  EXPECT_EQ(TakeMnemonics(),
            (Frames{"S 0", "VN4", "CS", "AD", "OP", "OW", "SL", "IS", "PL", "PH", "FS"}));
  EXPECT_EQ(State.ReadComplete, 1);
  EXPECT_EQ(State.RequestCode, 0);
  EXPECT_EQ(State.ProbeType, 6);
  // The sequencer does not poll.
  Clock.Advance(60000);
  EXPECT_TRUE(TakeFrames().empty());
  EXPECT_TRUE(View.Messages.empty());
  // Searching once, "Reading" on each tick of the first read (ten requests and
  // the closing tick, which then says done).
  std::vector<std::string> expected = {"Searching for probe."};
  for (int i = 0; i < 11; ++i) expected.push_back("Reading probe data.");
  expected.push_back("Reading probe data done.");
  EXPECT_EQ(View.Statuses, expected);
}

TEST_F(ProbeEngineTest, ReadCommandReadsAgainWithoutTypeAndChecksum) {
  ConnectAndRead();
  View.Statuses.clear();
  PressRead(*this, State, Engine);
  ASSERT_TRUE(RunUntil([&] { return State.SequenceState == ssIdle && State.RequestCode == 0; }));
  EXPECT_EQ(TakeMnemonics(), (Frames{"S 0", "AD", "OP", "OW", "SL", "IS", "PL", "PH", "FS"}));
  ASSERT_FALSE(View.Statuses.empty());
  EXPECT_EQ(View.Statuses.front(), "Reading probe data.");
  EXPECT_EQ(View.Statuses.back(), "Reading probe data done.");
  EXPECT_EQ(View.Statuses.size(), 2u) << "no status on the reading ticks of a re-read";
  EXPECT_EQ(State.ReadComplete, 1);
}

TEST_F(ProbeEngineTest, Rs485WriteSendsAddressOffsetsAndStp) {
  ConnectAndRead();
  State.ProbeData.Address = 201;
  State.ProbeData.Offset1 = 10.25L;
  State.ProbeData.Offset2 = 0;
  View.Log.clear();
  PressWrite(State, Engine);
  ASSERT_TRUE(RunUntilStatus("Writing probe data done."));
  EXPECT_EQ(TakeFrames(),
            (Frames{"RXP40217AD201", "RXP40217OP10.250", "RXP40217OW0.000", "STP40217"}));
  EXPECT_EQ(State.SequenceState, ssIdle);
  EXPECT_EQ(State.ReadComplete, 1);
  for (C c : kConfigurationControls) EXPECT_TRUE(View.IsEnabled(c));
  EXPECT_TRUE(View.IsEnabled(C::Button_Read)) << "the reply to STP enables Read";
  // Locked on the first write tick, in order, before the first request.
  const auto first = std::find(View.Log.begin(), View.Log.end(), "status Writing probe data.");
  ASSERT_NE(first, View.Log.end());
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(*(first + 1 + i), "disable " + std::to_string(int(kConfigurationControls[i])));
  // Unlocked on the last tick, after its status, in the same order.
  const auto done = std::find(View.Log.begin(), View.Log.end(), "status Writing probe data done.");
  ASSERT_LT(std::distance(done, View.Log.end()), 7 + 1);
  ASSERT_GE(std::distance(done, View.Log.end()), 7);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(*(done + 1 + i), "enable " + std::to_string(int(kConfigurationControls[i])));
}

TEST_F(ProbeEngineTest, CurrentLoopWriteSendsLevelsAlarmCurrentAndStp) {
  Probe.TypeReply = "KALMET-C 1.05";
  Probe.Replies["PL"] = "100.000";
  Probe.Replies["PH"] = "2500.000";
  Probe.Replies["FS"] = "1";
  ConnectAndRead();
  EXPECT_EQ(State.ProbeType, 2);
  // Edit_LevelAt4mA comes back as soon as the reply to 23 arrives.
  bool levelBackBeforeEnd = false;
  Link.OnWrite = [&, inner = Link.OnWrite](const std::string& frame) {
    if (frame.rfind("RXP40217PH", 0) == 0)
      levelBackBeforeEnd =
          View.IsEnabled(C::Edit_LevelAt4mA) && !View.IsEnabled(C::Edit_LevelAt20mA);
    inner(frame);
  };
  PressWrite(State, Engine);
  ASSERT_TRUE(RunUntilStatus("Writing probe data done."));
  EXPECT_EQ(TakeFrames(),
            (Frames{"RXP40217PL100.000", "RXP40217PH2500.000", "RXP40217FS1", "STP40217"}));
  EXPECT_TRUE(levelBackBeforeEnd);
}

TEST_F(ProbeEngineTest, NegativeAcknowledgementsStillRunToTheEnd) {
  ConnectAndRead();
  Probe.Acknowledge = "n.O.";
  PressWrite(State, Engine);
  ASSERT_TRUE(RunUntilStatus("Writing probe data done."));
  EXPECT_EQ(TakeMnemonics(), (Frames{"AD", "OP", "OW", "STP"}));
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(ProbeEngineTest, LinesAfterAnAcceptedSearchReplyKeepItsIdentifier) {
  // A late or second probe: three search replies in one burst. The later two
  // reach the parser cut by the 40-byte bound and are not accepted.
  Probe.SearchReplies = 3;
  SelectPort();
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  const Frames frames = TakeFrames();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[1], "TXP40217VN4");
  EXPECT_EQ(State.ProbeIdLength, 5);
}

// While a box of the engine is open, events keep arriving, but nothing is
// sent; one request at a time after OK.
TEST_F(ProbeEngineTest, NoRequestWhileTheValueTooLongBoxIsOpen) {
  ConnectAndRead();
  State.ProbeData.Offset1 = 1e17L;  // 22 characters: no room in the frame
  std::size_t sentInBox = 0;
  bool parsedInBox = false;
  View.OnMessage = [&](const std::string& text) {
    if (text.rfind("The value", 0) != 0) return;
    const std::size_t before = Link.Written.size();
    const std::size_t logged = View.Log.size();
    Receive("i.O.\r\n");  // a stray line
    Clock.Advance(3000);
    sentInBox = Link.Written.size() - before;
    parsedInBox = std::count(View.Log.begin() + static_cast<long>(logged), View.Log.end(),
                             "colour " + std::to_string(int(C::Edit_Offset1))) > 0;
  };
  PressWrite(State, Engine);
  ASSERT_TRUE(RunUntilStatus("Writing probe data done."));
  EXPECT_EQ(sentInBox, 0u);
  EXPECT_FALSE(parsedInBox) << "no request was in flight for the stray line";
  ASSERT_FALSE(View.Messages.empty());
  EXPECT_EQ(View.Messages.back(), "ERROR: Wrong answer received!");
  EXPECT_EQ(TakeMnemonics(), (Frames{"AD", "OW", "STP"}));
}

TEST_F(ProbeEngineTest, NoRequestWhileTheNoAnswerBoxIsOpen) {
  ConnectAndRead();
  Probe.Silent = true;
  std::size_t sentInBox = 0;
  View.OnMessage = [&](const std::string& text) {
    if (text.rfind("Error: No answer", 0) != 0) return;
    Probe.Silent = false;
    const std::size_t before = Link.Written.size();
    Receive(SearchReply("40217"));  // the reply comes late, while the box is open
    Clock.Advance(3000);
    sentInBox = Link.Written.size() - before;
  };
  PressRead(*this, State, Engine);
  ASSERT_TRUE(RunUntil([&] { return !View.Messages.empty(); }));
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  EXPECT_EQ(sentInBox, 0u);
  EXPECT_EQ(TakeMnemonics(),
            (Frames{"S 0", "S 0", "VN4", "CS", "AD", "OP", "OW", "SL", "IS", "PL", "PH", "FS"}));
  EXPECT_EQ(View.Messages.size(), 1u);
}

TEST_F(ProbeEngineTest, TickWithPortClosedChangesNothing) {
  State.PortOpen = false;
  TimerRequestNext->SetEnabled(true);
  Clock.Advance(1000);
  EXPECT_TRUE(View.Statuses.empty());
  EXPECT_TRUE(Link.Written.empty());
  EXPECT_FALSE(TimerRequestNext->Enabled());
}

TEST_F(ProbeEngineTest, SilenceDuringTheFirstReadRestartsItQuietly) {
  const std::string address = Probe.Replies["AD"];
  Probe.Replies.erase("AD");
  SelectPort();
  ASSERT_TRUE(RunUntil([&] { return !State.ProbeFound && State.RequestCode == 12; }));
  Probe.Replies["AD"] = address;
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  EXPECT_EQ(TakeMnemonics(), (Frames{"S 0", "VN4", "CS", "AD", "S 0", "VN4", "CS", "AD", "OP", "OW",
                                     "SL", "IS", "PL", "PH", "FS"}));
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(ProbeEngineTest, SilenceAfterTheFirstReadIsShownOnceAndResetsEverything) {
  ConnectAndRead();
  ASSERT_TRUE(View.Groups[G::GroupBox_ConfigurationDataKALMET_RS485].Visible);
  Probe.Silent = true;
  State.SearchRetries = 0;
  // What the operator still sees while the box is open: the probe as read.
  int typeInBox = -1;
  View.OnMessage = [&](const std::string&) { typeInBox = State.ProbeType; };
  PressRead(*this, State, Engine);
  ASSERT_TRUE(RunUntil([&] { return !View.Messages.empty(); }));
  EXPECT_EQ(typeInBox, 6) << "the reset comes after OK";
  EXPECT_EQ(View.Messages,
            (std::vector<std::string>{
                "Error: No answer from probe!\r\n\r\nTrying to connect/re-connect."}));
  EXPECT_EQ(State.ProbeType, 0);
  EXPECT_EQ(State.ProbeTypeName, "?");
  EXPECT_EQ(State.SerialNumber, 0);
  EXPECT_EQ(std::string(State.ProbeId.begin(), State.ProbeId.end()), "000000000");
  EXPECT_EQ(State.ProbeIdLength, 5) << "kept until the next search reply";
  EXPECT_EQ(State.SearchRetries, 3);
  EXPECT_TRUE(State.FirmwareVersion.empty());
  EXPECT_TRUE(State.FirmwareChecksum.empty());
  EXPECT_FALSE(State.FirmwareChecksumRead);
  EXPECT_EQ(State.ReadComplete, 0);
  EXPECT_EQ(State.SequenceState, ssIdle);
  EXPECT_EQ(State.RequestCode, 0);
  EXPECT_FALSE(State.ProbeFound);
  EXPECT_EQ(State.ProbeData.AlarmCurrentIndex, kAlarmCurrentNotRead);
  EXPECT_EQ(View.GroupCaptions[G::GroupBox_ProbeData], " Probe Data ");
  // The groups of no probe: not those of an unsupported one either (the
  // information group, which the type-6 probe had hidden).
  for (G g : {G::GroupBox_MeasurementDataKALMET_RS485, G::GroupBox_ConfigurationDataKALMET_RS485,
              G::GroupBox_MeasurementDataKALMET_C, G::GroupBox_ConfigurationDataKALMET_C,
              G::GroupBox_Information})
    EXPECT_FALSE(View.Groups[g].Visible) << int(g);
  // 200 ms later the search starts again, and goes on without another message.
  const auto t = Clock.Now();
  ASSERT_TRUE(RunUntilStatus("Searching for probe."));
  EXPECT_EQ(Clock.Now() - t, 200);
  Clock.Advance(5000);
  EXPECT_EQ(View.Messages.size(), 1u);
}

TEST_F(ProbeEngineTest, WriteCutShortByATimeOutUnlocksTheControlsAfterTheNextRead) {
  ConnectAndRead();
  Probe.Replies.clear();
  Probe.Acknowledge = "";  // the acknowledgement of 20 is an empty line ...
  Link.OnWrite = [&, inner = Link.OnWrite](const std::string& frame) {
    if (frame.rfind("RXP40217OP", 0) != 0) inner(frame);  // ... and 21 goes unanswered
  };
  PressWrite(State, Engine);
  ASSERT_TRUE(RunUntil([&] { return !View.Messages.empty(); }));
  for (C c : kConfigurationControls) EXPECT_FALSE(View.IsEnabled(c)) << int(c);
  Probe.Replies = TScriptedProbe().Replies;
  Probe.Acknowledge = "i.O.";
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  for (C c : kConfigurationControls) EXPECT_TRUE(View.IsEnabled(c)) << int(c);
}

TEST_F(ProbeEngineTest, WriteForAProbeWithoutWriteSequenceReturnsToWaiting) {
  Probe.TypeReply = "KALMET-RS 1.0";
  ConnectAndRead();
  ASSERT_EQ(State.ProbeType, 5);
  View.Enabled[C::Button_Read] = false;  // as the Write command leaves it
  PressWrite(State, Engine);
  Clock.Advance(1000);
  EXPECT_EQ(View.Status(), "Waiting for user input.");
  EXPECT_EQ(State.SequenceState, ssIdle);
  EXPECT_EQ(State.RequestCode, 0);
  EXPECT_TRUE(View.IsEnabled(C::Button_Read));
  for (C c : kConfigurationControls) EXPECT_TRUE(View.IsEnabled(c)) << "nothing was locked";
  EXPECT_TRUE(TakeFrames().empty());
}

TEST_F(ProbeEngineTest, CommandWhileARequestIsOutstandingSendsNothingExtra) {
  ReplyDelay = 400;
  SelectPort();
  ASSERT_TRUE(RunUntil([&] { return State.RequestCode == 11; }));  // checksum outstanding
  PressWrite(State, Engine);  // refused: the first read is not complete
  Clock.Advance(300);
  EXPECT_EQ(TakeMnemonics(), (Frames{"S 0", "VN4", "CS"})) << "no request before the reply";
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  EXPECT_EQ(TakeMnemonics(), (Frames{"AD", "OP", "OW", "SL", "IS", "PL", "PH", "FS"}));
}

TEST_F(ProbeEngineTest, RefusedWriteInIdleShowsWaitingForInput) {
  ConnectAndRead();
  Engine.ScheduleNextRequest();  // Write refused by the 5 mm check
  Clock.Advance(200);
  EXPECT_EQ(View.Status(), "Waiting for user input.");
  EXPECT_TRUE(TakeFrames().empty());
}

TEST_F(ProbeEngineTest, LineWithoutARequestInFlightIsAWrongAnswer) {
  ConnectAndRead();
  // The box was open for 5 s: the next step counts from its closing.
  View.OnMessage = [&](const std::string&) { Link.Age = std::chrono::seconds(5); };
  Receive("i.O.\r\n");
  EXPECT_EQ(View.Messages, std::vector<std::string>{"ERROR: Wrong answer received!"});
  Clock.Advance(199);
  EXPECT_EQ(View.Status(), "Reading probe data done.");
  Clock.Advance(1);
  EXPECT_EQ(View.Status(), "Waiting for user input.");
  EXPECT_TRUE(TakeFrames().empty());
}

TEST_F(ProbeEngineTest, LateReplyAfterASilentTimeOutIsStillParsed) {
  ReplyDelay = 1100;  // longer than the search time-out
  SelectPort();
  Clock.AdvanceTo(200 + 1000);  // time-out: silent, code stays 1
  EXPECT_FALSE(State.ProbeFound);
  EXPECT_EQ(State.RequestCode, 1);
  Clock.AdvanceTo(200 + 1100);  // the reply arrives before the next search is sent
  EXPECT_TRUE(State.ProbeFound);
  EXPECT_TRUE(View.Messages.empty());
}

}  // namespace
