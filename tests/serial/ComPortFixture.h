#pragma once

// The real port on a pseudo-terminal (under Wine: on COM5, whose far end is
// COM6), with every handler call recorded.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/ComPort.h"
#include "tests/serial/PtyFixture.h"
#include "tests/support/Wait.h"

// Records handler calls of a port.
struct TRecorder : TObject {
  std::vector<std::string> Calls;
  std::string Received;
  int RxCalls = 0;
  bool RxOnMainThread = true;
  const std::thread::id MainThread = std::this_thread::get_id();
  std::function<void(TCustomComPort&)> OnRx;

  void BeforeOpen(TCustomComPort*) { Calls.push_back("BeforeOpen"); }
  void AfterOpen(TCustomComPort* p) {
    Calls.push_back(std::string("AfterOpen ") + (p->Active() ? "open" : "closed"));
  }
  void BeforeClose(TCustomComPort* p) {
    Calls.push_back(std::string("BeforeClose ") + (p->Active() ? "open" : "closed"));
  }
  void AfterClose(TCustomComPort* p) {
    Calls.push_back(std::string("AfterClose ") + (p->Active() ? "open" : "closed"));
  }
  void BeforeWrite(TObject*, const void*, std::int32_t n, bool wait) {
    Calls.push_back("BeforeWrite " + std::to_string(n) + (wait ? " wait" : ""));
  }
  void AfterWrite(TObject*, const void*, std::int32_t n, bool) {
    Calls.push_back("AfterWrite " + std::to_string(n));
  }
  void RxChar(TObject* Sender) {
    ++RxCalls;
    RxOnMainThread = RxOnMainThread && std::this_thread::get_id() == MainThread;
    auto* port = static_cast<TCustomComPort*>(Sender);
    if (OnRx) OnRx(*port);
    while (port->Active() && port->InputCount() > 0) Received += port->ReadChar();
  }
  void OtherRxChar(TObject*) { Calls.push_back("OtherRxChar"); }
  void Abort(TCustomComPort*, EComError& E, TComAction& Action) {
    Calls.push_back("OnError " + std::to_string(E.ErrorCode()) + " " + E.Message());
    Action = caAbort;
  }
  void Report(TCustomComPort*, EComError& E, TComAction&) {
    Calls.push_back("OnError " + std::to_string(E.ErrorCode()) + " " + E.Message());
  }
};

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Pty.Ok());
    Port.SetDeviceName(Pty.SlavePath());
    FPrevious = Application().SetMessagePresenter(
        [this](const std::string&, const std::string& text) { Messages.push_back(text); });
  }
  void TearDown() override { Application().SetMessagePresenter(FPrevious); }
  void Hook() {
    Port.BeforeOpen = TOpenCloseEvent::Of<&TRecorder::BeforeOpen>(&Rec);
    Port.AfterOpen = TOpenCloseEvent::Of<&TRecorder::AfterOpen>(&Rec);
    Port.BeforeClose = TOpenCloseEvent::Of<&TRecorder::BeforeClose>(&Rec);
    Port.AfterClose = TOpenCloseEvent::Of<&TRecorder::AfterClose>(&Rec);
  }
  TNotifyEvent RxHandler() { return TNotifyEvent::Of<&TRecorder::RxChar>(&Rec); }

  TPty Pty;
  TRecorder Rec;
  std::vector<std::string> Messages;
  TComPort Port{nullptr};

 private:
  TApplication::TMessagePresenter FPrevious;
};
