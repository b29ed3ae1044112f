#include "serial/ComSignal.h"

namespace {

// The port's notify event that a signal hooks, and how the indicator reacts.
struct TNotifyHook {
  const TNotifyEvent& (TCustomComPort::*Get)() const;
  void (TCustomComPort::*Set)(const TNotifyEvent&);
  bool Level;  // shows a modem line; otherwise a pulse
};

const TNotifyHook* NotifyHookOf(TSignal Signal) {
  using P = TCustomComPort;
  static const TNotifyHook hooks[] = {
      {&P::OnBreak, &P::SetOnBreak, false},
      {&P::OnRxChar, &P::SetOnRxChar, false},
      {&P::OnCTSChange, &P::SetOnCTSChange, true},
      {&P::OnDSRChange, &P::SetOnDSRChange, true},
      {&P::OnEvent1, &P::SetOnEvent1, false},
      {&P::OnEvent2, &P::SetOnEvent2, false},
      {&P::OnPrinterError, &P::SetOnPrinterError, false},
      {&P::OnRing, &P::SetOnRing, true},
      {&P::OnRLSDChange, &P::SetOnRLSDChange, true},
      {&P::OnRx80PercFull, &P::SetOnRx80PercFull, false},
      {&P::OnRxFlag, &P::SetOnRxFlag, false},
      {&P::OnTxEmpty, &P::SetOnTxEmpty, false},
  };
  switch (Signal) {
    case siBreak:
      return &hooks[0];
    case siRxChar:
      return &hooks[1];
    case siCTS:
      return &hooks[2];
    case siDSR:
      return &hooks[3];
    case siEvent1:
      return &hooks[4];
    case siEvent2:
      return &hooks[5];
    case siPrinterError:
      return &hooks[6];
    case siRing:
      return &hooks[7];
    case siRLSD:
      return &hooks[8];
    case siRx80PercFull:
      return &hooks[9];
    case siRxFlag:
      return &hooks[10];
    case siTxEmpty:
      return &hooks[11];
    default:
      return nullptr;
  }
}

// Puts Saved back if the port's handler still has Ours as its routine.
template <typename THandler>
void PutBack(THandler& PortHandler, const THandler& Ours, const THandler& Saved) {
  if (PortHandler.SameRoutine(Ours)) PortHandler = Saved;
}

}  // namespace

TComSignal::TComSignal(TComponent* AOwner, TTimerFactory* Timers) : TComponent(AOwner) {
  static TRealTimerFactory realTimers;
  FTimer = (Timers ? Timers : &realTimers)->CreateTimer(this);
  FTimer->SetInterval(static_cast<unsigned>(FDelay));
  // Created running: 100 ms after construction it expires once and goes quiet.
  FTimer->SetOnTimer(TNotifyEvent::Of<&TComSignal::TimerExpired>(this));
}

TComSignal::~TComSignal() {
  delete FTimer;
  FTimer = nullptr;
  UnbindFromPort();
  NotifyRemoval();
}

void TComSignal::Loaded() {
  TComponent::Loaded();
  BindToPort();
  RefreshFromModemStatus();
  UpdateControlColor();
}

void TComSignal::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == FComPort) SetComPort(nullptr);
  if (AComponent == FControl) FControl = nullptr;
  if (AComponent == FTimer) FTimer = nullptr;
}

void TComSignal::SetColorOff(TColor Value) {
  FColorOff = Value;
  UpdateControlColor();
}

void TComSignal::SetControl(TControl* Value) {
  FControl = Value;
  UpdateControlColor();
}

void TComSignal::SetDelay(std::int32_t Value) {
  FDelay = Value;
  if (FTimer) FTimer->SetInterval(static_cast<unsigned>(std::max<std::int32_t>(Value, 0)));
}

void TComSignal::SetComPort(TCustomComPort* Value) {
  if (Value == FComPort) return;
  if (FTimer) FTimer->SetEnabled(false);
  UnbindFromPort();
  FComPort = Value;
  BindToPort();
  RefreshFromModemStatus();
}

void TComSignal::BindToPort() {
  if (Loading() || !FComPort) return;
  TCustomComPort& port = *FComPort;
  FSavedAfterOpen = port.AfterOpen;
  port.AfterOpen = TOpenCloseEvent::Of<&TComSignal::PortAfterOpen>(this);
  FSavedAfterClose = port.AfterClose;
  port.AfterClose = TOpenCloseEvent::Of<&TComSignal::PortAfterClose>(this);
  if (FSignal == siTxChar) {
    FSavedBeforeWrite = port.BeforeWrite;
    port.BeforeWrite = TReadWriteEvent::Of<&TComSignal::BeforeTransmit>(this);
    FSavedAfterWrite = port.AfterWrite;
    port.AfterWrite = TReadWriteEvent::Of<&TComSignal::AfterTransmit>(this);
  } else if (FSignal == siLineError) {
    FSavedLineError = port.OnLineError();
    port.SetOnLineError(TLineErrorEvent::Of<&TComSignal::LineErrorPulse>(this));
  } else if (const TNotifyHook* hook = NotifyHookOf(FSignal)) {
    TNotifyEvent& saved = hook->Level ? FSavedLevel : FSavedNotify;
    saved = (port.*hook->Get)();
    (port.*hook->Set)(hook->Level ? TNotifyEvent::Of<&TComSignal::Level>(this)
                                  : TNotifyEvent::Of<&TComSignal::Pulse>(this));
  }
}

void TComSignal::UnbindFromPort() {
  if (!FComPort) return;
  TCustomComPort& port = *FComPort;
  PutBack(port.AfterOpen, TOpenCloseEvent::Of<&TComSignal::PortAfterOpen>(this), FSavedAfterOpen);
  PutBack(port.AfterClose, TOpenCloseEvent::Of<&TComSignal::PortAfterClose>(this),
          FSavedAfterClose);
  if (FSignal == siTxChar) {
    PutBack(port.BeforeWrite, TReadWriteEvent::Of<&TComSignal::BeforeTransmit>(this),
            FSavedBeforeWrite);
    PutBack(port.AfterWrite, TReadWriteEvent::Of<&TComSignal::AfterTransmit>(this),
            FSavedAfterWrite);
  } else if (FSignal == siLineError) {
    if (port.OnLineError().SameRoutine(TLineErrorEvent::Of<&TComSignal::LineErrorPulse>(this)))
      port.SetOnLineError(FSavedLineError);
  } else if (const TNotifyHook* hook = NotifyHookOf(FSignal)) {
    const TNotifyEvent ours = hook->Level ? TNotifyEvent::Of<&TComSignal::Level>(this)
                                          : TNotifyEvent::Of<&TComSignal::Pulse>(this);
    if ((port.*hook->Get)().SameRoutine(ours))
      (port.*hook->Set)(hook->Level ? FSavedLevel : FSavedNotify);
  }
  FSavedAfterClose = nullptr;
  FSavedAfterOpen = nullptr;
  FSavedAfterWrite = nullptr;
  FSavedBeforeWrite = nullptr;
  FSavedNotify = nullptr;
  FSavedLineError = nullptr;
  FSavedLevel = nullptr;
}

void TComSignal::RestartTimer() {
  if (!FTimer) return;
  FTimer->SetEnabled(false);
  FTimer->SetEnabled(true);
}

void TComSignal::RefreshFromModemStatus() {
  bool value = false;
  if (FComPort && FComPort->Active()) {
    switch (FSignal) {
      case siCTS:
        value = FComPort->ModemStatus().Contains(msCTS);
        break;
      case siDSR:
        value = FComPort->ModemStatus().Contains(msDSR);
        break;
      case siRing:
        value = FComPort->ModemStatus().Contains(msRing);
        break;
      case siRLSD:
        value = FComPort->ModemStatus().Contains(msRLSD);
        break;
      default:
        break;
    }
  }
  SetSignalValue(value);
}

void TComSignal::SetSignalValue(bool Value) {
  if (Value == FSignalValue) return;
  FSignalValue = Value;
  UpdateControlColor();
  if (OnSignal) OnSignal(this);
}

void TComSignal::UpdateControlColor() {
  if (!FControl) return;
  // A write lights the transmit light when its call returns: the bytes go
  // to the line first, the colour change (slow on a cold cache) after them.
  // Nobody sees the difference; the line does.
  if (FSignalValue && FTransmitInProgress) return;
  FControl->SetColor(FSignalValue ? FColorOn : FColorOff);
}

// --- hooked routines -------------------------------------------------------------

void TComSignal::Pulse(TObject*) {
  SetSignalValue(true);
  RestartTimer();
  if (FSavedNotify) FSavedNotify(FComPort);
}

void TComSignal::LineErrorPulse(TObject*, TLineErrors Errors) {
  SetSignalValue(true);
  RestartTimer();
  if (FSavedLineError) FSavedLineError(FComPort, Errors);
}

void TComSignal::BeforeTransmit(TObject* Sender, const void* Buffer, std::int32_t Length,
                                bool Wait) {
  FTransmitInProgress = true;
  SetSignalValue(true);
  RestartTimer();
  if (FSavedBeforeWrite) FSavedBeforeWrite(Sender, Buffer, Length, Wait);
}

void TComSignal::AfterTransmit(TObject* Sender, const void* Buffer, std::int32_t Length,
                               bool Wait) {
  FTransmitInProgress = false;
  UpdateControlColor();
  if (FSavedAfterWrite) FSavedAfterWrite(Sender, Buffer, Length, Wait);
}

void TComSignal::Level(TObject*) {
  RefreshFromModemStatus();
  if (FSavedLevel) FSavedLevel(FComPort);
}

void TComSignal::PortAfterOpen(TCustomComPort* Port) {
  RefreshFromModemStatus();
  if (FSavedAfterOpen) FSavedAfterOpen(Port);
}

void TComSignal::PortAfterClose(TCustomComPort* Port) {
  // A write that failed never returned to end its transmission; a closed
  // port transmits nothing, and its light must not wait for it for ever.
  FTransmitInProgress = false;
  RefreshFromModemStatus();
  if (FSavedAfterClose) FSavedAfterClose(Port);
}

void TComSignal::TimerExpired(TObject*) {
  if (FSignal == siTxChar && FTransmitInProgress) return;
  FTimer->SetEnabled(false);
  SetSignalValue(false);
}
