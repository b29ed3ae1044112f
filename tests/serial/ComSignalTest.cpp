#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/ComSignal.h"
#include "tests/serial/PtyFixture.h"
#include "toolkit/VirtualClock.h"

namespace {

struct TFakeControl : TControl {
  using TControl::TControl;
  TColor Color() const override { return FColor; }
  void SetColor(TColor Value) override {
    FColor = Value;
    Paints.push_back(Value);
  }
  TColor FColor = 0xFFFFFF;
  std::vector<TColor> Paints;
};

// The window's own handlers, which the indicators chain to.
struct TWindowHandlers : TObject {
  std::vector<std::string> Calls;
  std::function<void()> DuringWrite;
  void RxChar(TObject* Sender) { Calls.push_back(Sender ? "RxChar port" : "RxChar none"); }
  void AfterOpen(TCustomComPort*) { Calls.push_back("AfterOpen"); }
  void BeforeWrite(TObject*, const void*, std::int32_t n, bool) {
    Calls.push_back("BeforeWrite " + std::to_string(n));
    if (DuringWrite) DuringWrite();
  }
  void Signal(TObject* Sender) {
    Calls.push_back(std::string("Signal ") +
                    (static_cast<TComSignal*>(Sender)->SignalValue() ? "on" : "off"));
  }
};

class ComSignalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Pty.Ok());
    // As the window's description does it: everything created while loading,
    // then the loaded notifications in creation order.
    Form.BeginLoading();
    Port = new TComPort(&Form);
    Port->SetDeviceName(Pty.SlavePath());
    Port->SetOnRxChar(TNotifyEvent::Of<&TWindowHandlers::RxChar>(&Window));
    Port->BeforeWrite = TReadWriteEvent::Of<&TWindowHandlers::BeforeWrite>(&Window);
    Tx = new TComSignal(&Form, &Clock);
    Rx = new TComSignal(&Form, &Clock);
    TxLight = new TFakeControl(&Form);
    RxLight = new TFakeControl(&Form);
    Tx->SetComPort(Port);
    Tx->SetSignal(siTxChar);
    Tx->SetControl(TxLight);
    Rx->SetComPort(Port);
    Rx->SetSignal(siRxChar);
    Rx->SetControl(RxLight);
    Rx->OnSignal = TNotifyEvent::Of<&TWindowHandlers::Signal>(&Window);
    Form.EndLoading();
  }

  TPty Pty;
  TVirtualClock Clock;
  TWindowHandlers Window;
  TComponent Form{nullptr};
  TComPort* Port;
  TComSignal* Tx;
  TComSignal* Rx;
  TFakeControl* TxLight;
  TFakeControl* RxLight;
};

TEST_F(ComSignalTest, StartsDarkAndChainsToTheWindowsHandler) {
  EXPECT_FALSE(Rx->SignalValue());
  EXPECT_EQ(RxLight->Color(), clGreen);
  EXPECT_EQ(TxLight->Color(), clGreen);
  Port->OnRxChar()(Port);  // a received-characters dispatch
  EXPECT_EQ(Window.Calls, (std::vector<std::string>{"Signal on", "RxChar port"}));
  EXPECT_EQ(RxLight->Color(), clLime);
}

TEST_F(ComSignalTest, BurstStaysLitUntilDelayAfterTheLastDispatch) {
  Clock.Advance(1000);  // the construction expiry is long over
  RxLight->Paints.clear();
  for (int i = 0; i < 5; ++i) {
    Port->OnRxChar()(Port);
    Clock.Advance(90);
    EXPECT_TRUE(Rx->SignalValue()) << i;
  }
  Clock.Advance(9);
  EXPECT_TRUE(Rx->SignalValue());
  Clock.Advance(1);
  EXPECT_FALSE(Rx->SignalValue());
  int changes = 0;
  for (const auto& c : Window.Calls) changes += c.rfind("Signal", 0) == 0;
  EXPECT_EQ(changes, 2) << "on once, off once";
  EXPECT_EQ(RxLight->Paints, (std::vector<TColor>{clLime, clGreen}));
}

TEST_F(ComSignalTest, EveryWriteLightsTransmitAndItStaysLitWhileTheWriteRuns) {
  Port->Open();
  Port->WriteString("");
  EXPECT_TRUE(Tx->SignalValue()) << "even an empty write";
  Clock.Advance(100);
  EXPECT_FALSE(Tx->SignalValue());
  // A write whose call lasts longer than the delay.
  std::vector<TColor> duringWrite;
  Window.DuringWrite = [&] {
    duringWrite.push_back(TxLight->Color());
    Clock.Advance(350);
  };
  Port->WriteString("S 0\r\n");
  EXPECT_TRUE(Tx->SignalValue()) << "not dark while the write is in progress";
  EXPECT_EQ(duringWrite, std::vector<TColor>{clGreen}) << "painted after the bytes went out";
  EXPECT_EQ(TxLight->Color(), clLime);
  Window.DuringWrite = nullptr;
  Clock.Advance(100);
  EXPECT_FALSE(Tx->SignalValue());
  EXPECT_EQ(Pty.Read(5), "S 0\r\n");
  // A write that fails never returns to end its transmission; closing the
  // port still puts the light out and stops its timer. (Under Wine the far
  // end cannot hang the line up.)
  if (!TPty::kCanHangUp) return;
  Pty.HangUp();
  EXPECT_THROW(Port->WriteString("S 0\r\n"), EComError);
  Port->Close();
  Clock.Advance(100);
  EXPECT_FALSE(Tx->SignalValue());
  EXPECT_EQ(TxLight->Color(), clGreen);
  EXPECT_FALSE(Clock.NextDeadline()) << "no timer left running";
}

TEST_F(ComSignalTest, DelayZeroStaysLitUntilARefresh) {
  Rx->SetDelay(0);
  Port->Open();
  Port->OnRxChar()(Port);
  Clock.Advance(10000);
  EXPECT_TRUE(Rx->SignalValue());
  Port->Close();
  EXPECT_FALSE(Rx->SignalValue());
}

TEST_F(ComSignalTest, OpenAndCloseTurnTheIndicatorsOff) {
  Port->Open();
  Port->OnRxChar()(Port);
  Port->WriteString("x");
  EXPECT_TRUE(Rx->SignalValue());
  EXPECT_TRUE(Tx->SignalValue());
  Port->Close();
  EXPECT_FALSE(Rx->SignalValue());
  EXPECT_FALSE(Tx->SignalValue());
}

TEST_F(ComSignalTest, RealReceptionLightsReceiveAndReachesTheWindow) {
  Port->Open();
  Pty.Write("i.O.\r\n");
  ASSERT_TRUE(
      WaitFor([&] { return !Window.Calls.empty() && Window.Calls.back() == "RxChar port"; }, 5000));
  EXPECT_TRUE(Rx->SignalValue());
  Clock.Advance(100);
  EXPECT_FALSE(Rx->SignalValue());
}

TEST_F(ComSignalTest, NoPortPutsTheWindowsHandlerBack) {
  Rx->SetComPort(nullptr);
  EXPECT_TRUE(Port->OnRxChar() == TNotifyEvent::Of<&TWindowHandlers::RxChar>(&Window));
  Tx->SetComPort(nullptr);
  EXPECT_TRUE(Port->BeforeWrite == TReadWriteEvent::Of<&TWindowHandlers::BeforeWrite>(&Window));
  EXPECT_FALSE(Port->AfterOpen);
  EXPECT_FALSE(Port->AfterClose);
  Port->OnRxChar()(Port);
  EXPECT_EQ(Window.Calls, std::vector<std::string>{"RxChar port"});
}

TEST_F(ComSignalTest, TwoIndicatorsUnboundInReverseOrderRestoreTheOriginal) {
  TComPort port(nullptr);
  port.AfterOpen = TOpenCloseEvent::Of<&TWindowHandlers::AfterOpen>(&Window);
  TComSignal first(nullptr, &Clock), second(nullptr, &Clock);
  first.SetComPort(&port);
  second.SetComPort(&port);
  port.AfterOpen(&port);  // the later one chains to the earlier one, then to the window
  EXPECT_EQ(Window.Calls, std::vector<std::string>{"AfterOpen"});
  second.SetComPort(nullptr);
  first.SetComPort(nullptr);
  EXPECT_TRUE(port.AfterOpen == TOpenCloseEvent::Of<&TWindowHandlers::AfterOpen>(&Window));
}

TEST_F(ComSignalTest, ColourChangesRepaintAsTheyShould) {
  RxLight->Paints.clear();
  Rx->SetColorOff(0x0000FF);  // dark now: repainted at once
  EXPECT_EQ(RxLight->Paints, std::vector<TColor>{0x0000FF});
  Port->OnRxChar()(Port);
  Rx->SetColorOn(0xFF0000);  // lit now: no repaint until the next change
  EXPECT_EQ(RxLight->Color(), clLime);
  Clock.Advance(100);
  Port->OnRxChar()(Port);
  EXPECT_EQ(RxLight->Color(), 0xFF0000u);
}

TEST_F(ComSignalTest, RemovedSiblingsAreForgotten) {
  delete RxLight;
  EXPECT_EQ(Rx->Control(), nullptr);
  Port->OnRxChar()(Port);  // no control to paint: no crash
  delete Port;
  EXPECT_EQ(Rx->ComPort(), nullptr);
  EXPECT_EQ(Tx->ComPort(), nullptr);
}

TEST(ComSignal, CreatedRunningExpiresOnceAndStops) {
  TVirtualClock clock;
  TComSignal signal(nullptr, &clock);
  EXPECT_EQ(clock.NextDeadline(), 100);
  clock.Advance(100);
  EXPECT_FALSE(clock.NextDeadline());
  EXPECT_FALSE(signal.SignalValue());
}

}  // namespace
