#pragma once

// A line-activity indicator: shows one kind of activity or one modem line of
// a serial port by the colour of a control. It hooks itself into the port's
// handlers and passes every call on to the handler the port had before.

#include <string>

#include "serial/ComPort.h"
#include "toolkit/Control.h"
#include "toolkit/Timer.h"

enum TSignal {
  siNone,
  siBreak,
  siRxChar,
  siTxChar,
  siCTS,
  siDSR,
  siEvent1,
  siEvent2,
  siLineError,
  siPrinterError,
  siRing,
  siRLSD,
  siRx80PercFull,
  siRxFlag,
  siTxEmpty
};

class TComSignal : public TComponent {
 public:
  // The timer comes from Timers (the event loop's timers by default).
  explicit TComSignal(TComponent* AOwner, TTimerFactory* Timers = nullptr);
  ~TComSignal() override;

  std::string About() const { return "KALMET line-activity indicator 1.0"; }
  void SetAbout(const std::string&) {}
  TColor ColorOff() const { return FColorOff; }
  void SetColorOff(TColor Value);
  TColor ColorOn() const { return FColorOn; }
  void SetColorOn(TColor Value) { FColorOn = Value; }
  TCustomComPort* ComPort() const { return FComPort; }
  void SetComPort(TCustomComPort* Value);
  TControl* Control() const { return FControl; }
  void SetControl(TControl* Value);
  std::int32_t Delay() const { return FDelay; }
  void SetDelay(std::int32_t Value);
  TSignal Signal() const { return FSignal; }
  // Takes effect at the next binding; must not change while bound.
  void SetSignal(TSignal Value) { FSignal = Value; }
  bool SignalValue() const { return FSignalValue; }
  TNotifyEvent OnSignal;

 protected:
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void BindToPort();
  void UnbindFromPort();
  void RestartTimer();
  void RefreshFromModemStatus();
  void SetSignalValue(bool Value);
  void UpdateControlColor();

  // The routines hooked into the port.
  void Pulse(TObject* Sender);
  void LineErrorPulse(TObject* Sender, TLineErrors Errors);
  void BeforeTransmit(TObject* Sender, const void* Buffer, std::int32_t Length, bool Wait);
  void AfterTransmit(TObject* Sender, const void* Buffer, std::int32_t Length, bool Wait);
  void Level(TObject* Sender);
  void PortAfterOpen(TCustomComPort* Port);
  void PortAfterClose(TCustomComPort* Port);
  void TimerExpired(TObject* Sender);

  TCustomTimer* FTimer;
  TColor FColorOff = clGreen;
  TColor FColorOn = clLime;
  TCustomComPort* FComPort = nullptr;
  TControl* FControl = nullptr;
  std::int32_t FDelay = 100;
  TSignal FSignal = siNone;
  bool FSignalValue = false;
  bool FTransmitInProgress = false;

  TOpenCloseEvent FSavedAfterClose, FSavedAfterOpen;
  TReadWriteEvent FSavedAfterWrite, FSavedBeforeWrite;
  TNotifyEvent FSavedNotify;
  TLineErrorEvent FSavedLineError;
  TNotifyEvent FSavedLevel;
};
