#include <gtest/gtest.h>

#include "tests/probe/ProbeFixture.h"

namespace {

// Reception seen through the parsers: request 12 (address) is in flight, so
// every dispatched line shows as a call of the address parser.
class ReceptionTest : public ProbeEngineTest {
 protected:
  void SetUp() override {
    State.RequestCode = 12;
    State.ReadComplete = 1;
    State.ProbeFound = true;
  }
  int Dispatches() const {
    return static_cast<int>(
        std::count(View.Log.begin(), View.Log.end(),
                   "colour " + std::to_string(int(TProbeControl::SpinEdit_Address))));
  }
};

TEST_F(ReceptionTest, FortyByteLineIsDispatchedFortyOneIsNot) {
  const std::string search40 = SearchReply("123456789");
  ASSERT_EQ(search40.size(), 40u);
  State.RequestCode = 1;
  Receive(search40);
  EXPECT_EQ(State.RxCount, 40);
  EXPECT_EQ(State.ProbeIdLength, 9);
  EXPECT_EQ(std::string(State.ProbeId.begin(), State.ProbeId.end()), "123456789");

  State.RequestCode = 12;
  State.RxCount = 0;
  Receive(std::string(39, '1') + "\r\n");  // 41 bytes
  EXPECT_EQ(Dispatches(), 0);
  EXPECT_EQ(State.RxCount, 0) << "dropped with its 41st byte, the LF";
}

TEST_F(ReceptionTest, FortyFiveByteLineLeavesItsLastFourBytes) {
  Receive(std::string(41, 'x') + "12\r\n");
  EXPECT_EQ(Dispatches(), 1);
  EXPECT_EQ(State.RxCount, 4);
  EXPECT_EQ(State.ProbeData.Address, 12);
}

TEST_F(ReceptionTest, ReplySplitOverThreeEventsIsDispatchedOnce) {
  Receive("1");
  Receive("92\r");
  EXPECT_EQ(Dispatches(), 0);
  Receive("\n");
  EXPECT_EQ(Dispatches(), 1);
  EXPECT_EQ(State.ProbeData.Address, 192);
  EXPECT_TRUE(TimerRequestNext->Enabled());
}

TEST_F(ReceptionTest, TwoLinesInOneBurstGoTwiceToTheSameParser) {
  Receive("192\r\n7\r\n");
  EXPECT_EQ(Dispatches(), 2);
  EXPECT_EQ(State.RxCount, 8) << "the second line is appended to the first";
  EXPECT_EQ(State.ProbeData.Address, 1) << "192 CR LF 7 does not convert";
}

TEST_F(ReceptionTest, OnlyLineFeedEndsALine) {
  Receive("19\r2\r");
  EXPECT_EQ(Dispatches(), 0);
  EXPECT_EQ(State.RxCount, 5);
}

TEST_F(ReceptionTest, DispatchStopsTheTimeOutAndStartsTheSequencer) {
  TimerTimeout->SetEnabled(true);
  Receive("192\r\n");
  EXPECT_FALSE(TimerTimeout->Enabled());
  EXPECT_TRUE(TimerRequestNext->Enabled());
}

TEST_F(ReceptionTest, CodesWithoutParserAreWrongAnswers) {
  for (int code : {0, 30, 2, 26, 49, 51}) {
    View.Messages.clear();
    TimerRequestNext->SetEnabled(false);
    State.RequestCode = code;
    State.RxCount = 0;
    bool timerOffWhileShown = false;
    View.OnMessage = [&](const std::string&) { timerOffWhileShown = !TimerRequestNext->Enabled(); };
    Receive("i.O.\r\n");
    EXPECT_EQ(View.Messages, std::vector<std::string>{"ERROR: Wrong answer received!"}) << code;
    EXPECT_TRUE(timerOffWhileShown) << "the sequencer is started after the box closes";
    EXPECT_TRUE(TimerRequestNext->Enabled());
  }
}

// An adapter that echoes: the frame just sent comes back ahead of the reply.
TEST_F(ReceptionTest, EchoOfTheFrameIsDroppedAlsoWhenSplitOrCutShort) {
  std::copy_n("40217", 5, State.ProbeId.begin());
  State.ProbeIdLength = 5;
  Engine.Send(12);
  Receive("TXP40");
  Receive("217AD\r");
  Receive("\n192\r\n");
  EXPECT_EQ(Dispatches(), 1);
  EXPECT_EQ(State.RxCount, 5) << "the echo is not part of the line";
  EXPECT_EQ(State.ProbeData.Address, 192);
  // Only the start of the echo arrives; the reply follows it.
  Engine.Send(12);
  Receive("TXP4");
  Receive("201\r\n");
  EXPECT_EQ(Dispatches(), 2);
  EXPECT_EQ(State.ProbeData.Address, 201);
  // Once the reply has begun, bytes like the frame's are the reply's.
  Engine.Send(12);
  Receive("1TXP\r\n");
  EXPECT_EQ(State.RxCount, 6);
}

TEST_F(ProbeEngineTest, ProbeBehindAnEchoingAdapterIsReadAndWrittenAsAnyOther) {
  Probe.Echo = true;
  ConnectAndRead();
  EXPECT_EQ(State.ProbeType, 6);
  EXPECT_EQ(State.ProbeData.Address, 192);
  State.ProbeData.Address = 201;
  State.SequenceState = ssWriteRequested;
  Engine.ScheduleNextRequest();
  ASSERT_TRUE(RunUntilStatus("Writing probe data done."));
  EXPECT_EQ(TakeFrames(), (std::vector<std::string>{"RXP40217AD201", "RXP40217OP-12.500",
                                                    "RXP40217OW3.250", "STP40217"}));
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(ProbeEngineTest, TimeOutOfAnUnreadProbeIsSilentAndKeepsTheCode) {
  State.PortOpen = true;
  State.ProbeFound = true;
  State.ReadComplete = 0;
  State.RequestCode = 14;
  TimerTimeout->SetInterval(500);
  TimerTimeout->SetEnabled(true);
  Clock.Advance(500);
  EXPECT_TRUE(View.Messages.empty());
  EXPECT_FALSE(State.ProbeFound);
  EXPECT_EQ(State.RequestCode, 14);
  EXPECT_FALSE(TimerTimeout->Enabled()) << "expires once per request";
  EXPECT_TRUE(TimerRequestNext->Enabled());
}

TEST_F(ProbeEngineTest, AfterTheNoAnswerMessageALateLineIsAWrongAnswer) {
  State.PortOpen = true;
  State.ProbeFound = true;
  State.ReadComplete = 1;
  State.RequestCode = 12;
  TimerTimeout->SetEnabled(true);
  TimerRequestNext->SetInterval(600);
  TimerRequestNext->SetEnabled(true);  // a step was due as well
  bool stepDueInBox = true;
  View.OnMessage = [&](const std::string&) { stepDueInBox = TimerRequestNext->Enabled(); };
  Clock.Advance(500);
  EXPECT_FALSE(stepDueInBox) << "the sequencer is stopped before the box";
  TimerRequestNext->SetInterval(200);
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(State.RequestCode, 0);
  Receive("192\r\n");
  EXPECT_EQ(View.Messages.back(), "ERROR: Wrong answer received!");
}

}  // namespace
