// The serial port component on both systems: on Linux over a
// pseudo-terminal, under Wine over COM5 (tests/serial/windows/Pty.h).

#include <gtest/gtest.h>

#include "tests/serial/ComPortFixture.h"

namespace {

TEST_F(ComPortTest, OpenAndCloseRunTheirHandlersOnce) {
  Hook();
  Port.SetActive(true);
  Port.SetActive(true);
  EXPECT_TRUE(Port.Active());
  Port.SetActive(false);
  Port.SetActive(false);
  EXPECT_FALSE(Port.Active());
  EXPECT_EQ(Rec.Calls, (std::vector<std::string>{"BeforeOpen", "AfterOpen open", "BeforeClose open",
                                                 "AfterClose closed"}));
}

TEST_F(ComPortTest, SettingsThatNeedAClosedPortAreRefusedWhileOpen) {
  Port.Open();
  const std::string name = Port.DeviceName();
  Port.SetDeviceName(name);  // the same name: nothing happens
  try {
    Port.SetDeviceName("COM7");
    FAIL() << "no error";
  } catch (const EComError& e) {
    EXPECT_EQ(e.Message(), "Can't perform this operation on an open port");
    EXPECT_EQ(e.ErrorCode(), 0);
  }
  EXPECT_EQ(Port.DeviceName(), name);
  EXPECT_THROW(Port.SetPriorityClass(pcIdle), EComError);
  EXPECT_EQ(Port.PriorityClass(), pcDefault);
  EXPECT_THROW(Port.SetSynchronizeEvents(false), EComError);
  EXPECT_TRUE(Port.SynchronizeEvents());
  Port.Close();
  Port.SetPriorityClass(pcIdle);
  EXPECT_EQ(Port.PriorityClass(), pcIdle);
}

TEST_F(ComPortTest, WritesReachTheFarEndEmptyOnesOnlyCallTheHandlers) {
  Port.BeforeWrite = TReadWriteEvent::Of<&TRecorder::BeforeWrite>(&Rec);
  Port.AfterWrite = TReadWriteEvent::Of<&TRecorder::AfterWrite>(&Rec);
  Port.Open();
  Port.WriteString("");
  EXPECT_EQ(Rec.Calls, (std::vector<std::string>{"BeforeWrite 0", "AfterWrite 0"}));
  {
    std::string frame = "TXP40217VN4\r\n";
    Port.WriteString(frame);
    frame.assign(frame.size(), 'x');  // the caller's string may change at once
  }
  Port.WriteString("S 0\r\n");
  EXPECT_EQ(Pty.Read(18), "TXP40217VN4\r\nS 0\r\n");
}

TEST_F(ComPortTest, ReceivedBytesReachOnRxCharOnTheMainThread) {
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  EXPECT_EQ(Port.EventMask(), 0x0001u);
  EXPECT_TRUE(Port.HasEventThread());
  Pty.Write("40217 0 021500 0123456 0234567 203\r\n");
  ASSERT_TRUE(WaitFor([&] { return Rec.Received.size() == 36; }, 5000));
  EXPECT_EQ(Rec.Received, "40217 0 021500 0123456 0234567 203\r\n");
  EXPECT_TRUE(Rec.RxOnMainThread);
}

TEST_F(ComPortTest, BurstDuringADispatchIsReadInThatOneCall) {
  bool first = true;
  Rec.OnRx = [&](TCustomComPort& port) {
    if (!first) return;
    first = false;
    // More arrives while this dispatch runs.
    Pty.Write("BCDEFGH");
    EXPECT_TRUE(WaitFor([&] { return port.InputCount() >= 8; }, 5000));
  };
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  Pty.Write("A");
  ASSERT_TRUE(WaitFor([&] { return Rec.Received.size() == 8; }, 5000));
  ServeLoopFor(100);
  EXPECT_EQ(Rec.Received, "ABCDEFGH");
  EXPECT_EQ(Rec.RxCalls, 1);
}

TEST_F(ComPortTest, AssigningTheFirstSerialHandlerStartsTheThreadClearingItStops) {
  Port.Open();
  EXPECT_EQ(Port.EventMask(), 0u);
  EXPECT_FALSE(Port.HasEventThread());
  Port.SetOnRxChar(RxHandler());
  EXPECT_EQ(Port.EventMask(), 0x0001u);
  EXPECT_TRUE(Port.HasEventThread());
  Pty.Write("x");
  ASSERT_TRUE(WaitFor([&] { return Rec.Received == "x"; }, 5000));
  Port.SetOnRxChar(nullptr);
  EXPECT_EQ(Port.EventMask(), 0u);
  EXPECT_FALSE(Port.HasEventThread());
  Pty.Write("y");
  ASSERT_TRUE(WaitFor([&] { return Port.InputCount() == 1; }, 5000));
  ServeLoopFor(50);  // time for a dispatch that must not come
  EXPECT_EQ(Rec.RxCalls, 1);
}

TEST_F(ComPortTest, SameRoutineWithAnotherObjectChangesNothing) {
  TRecorder other;
  Port.SetOnRxChar(RxHandler());
  Port.SetOnRxChar(TNotifyEvent::Of<&TRecorder::RxChar>(&other));
  EXPECT_EQ(Port.OnRxChar().Data(), &Rec);
  Port.SetOnRxChar(TNotifyEvent::Of<&TRecorder::OtherRxChar>(&other));
  EXPECT_EQ(Port.OnRxChar().Data(), &other);
}

TEST_F(ComPortTest, HandlerExceptionIsReportedOnceAndLaterEventsStillArrive) {
  int calls = 0;
  Rec.OnRx = [&](TCustomComPort& port) {
    if (++calls == 1) {
      while (port.InputCount() > 0) port.ReadChar();
      throw EComError("Timeout", 0);
    }
  };
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  Pty.Write("1");
  ASSERT_TRUE(WaitFor([&] { return !Messages.empty(); }, 5000));
  Pty.Write("2");
  ASSERT_TRUE(WaitFor([&] { return Rec.Received == "2"; }, 5000));
  EXPECT_EQ(Messages, std::vector<std::string>{"Timeout"});
}

TEST_F(ComPortTest, ClosingWhileTheThreadWaitsCallsNoHandler) {
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  ServeLoopFor(20);
  Port.Close();
  EXPECT_FALSE(Port.HasEventThread());
  ServeLoopFor(50);
  EXPECT_EQ(Rec.RxCalls, 0);
  Port.Open();  // and again
  Pty.Write("z");
  ASSERT_TRUE(WaitFor([&] { return Rec.Received == "z"; }, 5000));
}

TEST_F(ComPortTest, ClosingFromInsideADispatch) {
  Rec.OnRx = [&](TCustomComPort& port) { port.Close(); };
  Hook();
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  Pty.Write("q");
  ASSERT_TRUE(WaitFor([&] { return !Port.Active(); }, 5000));
  ServeLoopFor(20);  // the stopped thread is disposed of afterwards
  ASSERT_FALSE(Rec.Calls.empty());
  EXPECT_EQ(Rec.Calls.back(), "AfterClose closed");
}

// A handler that opens a message box, in whose loop a timer closes the port:
// the stopped thread is disposed of while its hand-over still runs below.
TEST_F(ComPortTest, ClosingFromANestedLoopInsideADispatch) {
  Rec.OnRx = [&](TCustomComPort& port) {
    ServeLoopFor(10);  // the box's own loop
    port.Close();
    ServeLoopFor(50);
  };
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  Pty.Write("q");
  ASSERT_TRUE(WaitFor([&] { return !Port.Active(); }, 5000));
  ServeLoopFor(100);  // the box closes, the dispatch and its hand-over end
  EXPECT_EQ(Rec.RxCalls, 1);
  Port.Open();  // and the port works again
  Rec.OnRx = nullptr;
  Pty.Write("r");
  ASSERT_TRUE(WaitFor([&] { return Rec.Received == "r"; }, 5000));
}

TEST_F(ComPortTest, OnErrorWithAbortTurnsErrorsIntoSilentAborts) {
  Port.OnError = TComErrorEvent::Of<&TRecorder::Abort>(&Rec);
  EXPECT_THROW(Port.ReadChar(), EAbort);
  Port.SetDeviceName("\\\\.\\ttyKALMETmissing");
  EXPECT_THROW(Port.Open(), EAbort);
  // The system's own text follows the number (each system has its own).
  ASSERT_EQ(Rec.Calls.size(), 2u);
  EXPECT_EQ(Rec.Calls[0], "OnError 0 Can't perform this operation on a closed port");
  EXPECT_EQ(Rec.Calls[1].rfind("OnError 2 ", 0), 0u) << Rec.Calls[1];
  EXPECT_GT(Rec.Calls[1].size(), std::string("OnError 2 ").size());
}

TEST_F(ComPortTest, ClosedPortOperations) {
  Port.PurgeInput();
  Port.PurgeOutput();
  try {
    Port.ReadChar();
    FAIL();
  } catch (const EComError& e) {
    EXPECT_EQ(e.Message(), "Can't perform this operation on a closed port");
  }
  EXPECT_THROW(Port.WriteString("x"), EComError);
  EXPECT_THROW(Port.ModemStatus(), EComError);
  try {
    Port.InputCount();
    FAIL();
  } catch (const EComError& e) {
    EXPECT_EQ(e.ErrorCode(), 6) << "the platform's invalid-handle error";
  }
}

TEST_F(ComPortTest, ReadTimeoutsAndPurge) {
  Port.Timeouts().SetReadConstant(50);
  Port.Open();
  Pty.Write("abc");
  ASSERT_TRUE(WaitFor([&] { return Port.InputCount() == 3; }, 5000));
  char buffer[10];
  try {
    Port.Read(buffer, 10, true);
    FAIL() << "no time-out";
  } catch (const EComError& e) {
    EXPECT_EQ(e.Message(), "Timeout");
  }
  EXPECT_EQ(std::string(buffer, 3), "abc");
  Pty.Write("def");
  ASSERT_TRUE(WaitFor([&] { return Port.InputCount() == 3; }, 5000));
  Port.PurgeInput();
  EXPECT_EQ(Port.InputCount(), 0);
}

TEST_F(ComPortTest, ActiveWhileLoadingOpensWhenLoaded) {
  TComponent form(nullptr);
  form.BeginLoading();
  auto* port = new TComPort(&form);
  port->SetDeviceName(Pty.SlavePath());
  port->SetActive(true);
  EXPECT_FALSE(port->Active());
  form.EndLoading();
  EXPECT_TRUE(port->Active());
}

TEST_F(ComPortTest, AByteIsAgedFromItsArrivalNotFromItsReading) {
  using namespace std::chrono;
  Port.SetOnRxChar(RxHandler());
  Port.Open();
  EXPECT_EQ(Port.LastByteAge().count(), 0) << "nothing read yet";
  microseconds age{};
  Rec.OnRx = [&](TCustomComPort& port) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the window busy elsewhere
    port.ReadChar();
    age = port.LastByteAge();
  };
  const auto written = steady_clock::now();
  Pty.Write("a");
  ASSERT_TRUE(WaitFor([&] { return age.count() > 0; }, 5000));
  EXPECT_GE(age, milliseconds(50));
  EXPECT_LE(age, duration_cast<microseconds>(steady_clock::now() - written));
  Port.Close();
  EXPECT_EQ(Port.LastByteAge().count(), 0) << "closed";
}

}  // namespace
