#include "cli/ProbeLine.h"

#include "serial/PortProblem.h"

// The port's handlers, as routines of an object.
struct TComPortLine::TEvents : TObject {
  TComPortLine* Line = nullptr;
  void RxChar(TObject*) {
    if (Line->OnReceived) Line->OnReceived();
  }
  void AfterClose(TCustomComPort*) {
    if (!Line->FClosing && Line->OnLost) Line->OnLost();
  }
};

TComPortLine::TComPortLine() : FEvents(std::make_unique<TEvents>()) {
  FEvents->Line = this;
  FPort.SetBaudRate(br1200);
  FPort.SetDataBits(db8);
  FPort.SetParity(paNone);
  FPort.SetStopBits(sb1);
  FPort.FlowControl().SetDTR(dcDisable);
  FPort.FlowControl().SetRTS(rcDisable);
  FPort.FlowControl().SetXOnXOff(xcDisable);
  FPort.SetPriorityClass(pcHigh);
  FPort.SetOnRxChar(TNotifyEvent::Of<&TEvents::RxChar>(FEvents.get()));
  FPort.AfterClose = TOpenCloseEvent::Of<&TEvents::AfterClose>(FEvents.get());
}

TComPortLine::~TComPortLine() {
  Close();
}

bool TComPortLine::Open(const std::string& Port, std::string& Reason) {
  const std::string device = DeviceNameOfPort(Port);
  try {
    FPort.SetDeviceName(device);
    FPort.SetActive(true);
    return true;
  } catch (const std::exception&) {
    Reason = PortNotAvailableReason(device, platform::LastErrno());
    return false;
  }
}

void TComPortLine::Close() {
  FClosing = true;
  FPort.SetActive(false);
  FClosing = false;
}

void TComPortLine::PurgeInput() {
  FPort.PurgeInput();
}

void TComPortLine::WriteString(const std::string& Bytes) {
  FPort.WriteString(Bytes);
  if (OnSent) OnSent(Bytes);
}

int TComPortLine::InputCount() {
  return FPort.InputCount();
}

char TComPortLine::ReadChar() {
  return FPort.ReadChar();
}

std::chrono::microseconds TComPortLine::LastByteAge() {
  return FPort.LastByteAge();
}
