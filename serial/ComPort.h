#pragma once

// The serial port component: one serial device with its line settings, its
// opening and closing, transfers in both directions, purges, modem lines and
// error reporting (EComError), and the event thread that turns the driver's
// serial events into handler calls on the main thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "serial/platform/CommServices.h"
#include "serial/platform/PortEnumeration.h"
#include "toolkit/Application.h"
#include "serial/platform/network/NetworkAddress.h"
#include "toolkit/Component.h"
#include "toolkit/HandOver.h"
#include "toolkit/Set.h"
#include "toolkit/Strings.h"

// The device name of a port as the list names it: COM1 to COM9 and network
// addresses as they are, any longer name (ttyUSB0, a path) in the system's
// device namespace.
inline std::string DeviceNameOfPort(const std::string& Name) {
  if (Name.size() == 4 || platform::network::IsNetworkAddress(Name)) return Name;
  return "\\\\.\\" + Name;
}

class EComError : public Exception {
 public:
  EComError(const std::string& Message, std::int32_t ErrorCode)
      : Exception(Message), FErrorCode(ErrorCode) {}
  std::int32_t ErrorCode() const { return FErrorCode; }

 private:
  std::int32_t FErrorCode;
};

enum TBaudRate {
  brDefault,
  br50,
  br75,
  br110,
  br150,
  br300,
  br600,
  br1200,
  br1800,
  br2000,
  br2400,
  br3600,
  br4800,
  br7200,
  br9600,
  br10400,
  br14400,
  br15625,
  br19200,
  br28800,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000,
  brCustom
};
enum TDataBits { dbDefault, db4, db5, db6, db7, db8 };
enum TParity { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sbDefault, sb1, sb1_5, sb2 };
enum TOption {
  opCheckParity,
  opOutputCTSFlow,
  opOutputDSRFlow,
  opDSRSensitivity,
  opTXContinueOnXOff,
  opUseErrorChar,
  opDiscardNullBytes,
  opAbortOnError
};
using TOptions = TSet<TOption>;
enum TDTRControl { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };
enum TPriorityClass { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum TModemStatusValue { msCTS, msDSR, msRing, msRLSD };
using TModemStatus = TSet<TModemStatusValue>;
enum TComAction { caRaise = 0, caAbort = 1 };
enum TLineError {
  leBreak,
  leDeviceNotSelected,
  leFrame,
  leIO,
  leMode,
  leOutOfPaper,
  leOverrun,
  leDeviceTimeout,
  leRxOverflow,
  leRxParity,
  leTxFull
};
using TLineErrors = TSet<TLineError>;

// Rate in bits per second of a TBaudRate name (0 for brDefault and brCustom).
std::int32_t BaudRateValue(TBaudRate Rate);

class TCustomComPort;
using TOpenCloseEvent = TMethod<TCustomComPort*>;
using TReadWriteEvent = TMethod<TObject*, const void*, std::int32_t, bool>;
using TComErrorEvent = TMethod<TCustomComPort*, EComError&, TComAction&>;
using TLineErrorEvent = TMethod<TObject*, TLineErrors>;

// The four setting groups. Each belongs to one port; a change of a field is
// applied to the open device at once.
class TComSettings {
 public:
  explicit TComSettings(TCustomComPort& Port) : FPort(Port) {}

 protected:
  template <typename T>
  void Change(T& Field, T Value, void (TCustomComPort::*Apply)());
  TCustomComPort& FPort;
};

class TFlowControl : public TComSettings {
 public:
  using TComSettings::TComSettings;
  TDTRControl DTR() const { return FDTR; }
  void SetDTR(TDTRControl Value);
  TRTSControl RTS() const { return FRTS; }
  void SetRTS(TRTSControl Value);
  TXOnXOffControl XOnXOff() const { return FXOnXOff; }
  void SetXOnXOff(TXOnXOffControl Value);
  std::uint16_t XOnLimit() const { return FXOnLimit; }
  void SetXOnLimit(std::uint16_t Value);
  std::uint16_t XOffLimit() const { return FXOffLimit; }
  void SetXOffLimit(std::uint16_t Value);

 private:
  TDTRControl FDTR = dcDefault;
  TRTSControl FRTS = rcDefault;
  TXOnXOffControl FXOnXOff = xcDefault;
  std::uint16_t FXOnLimit = 0;
  std::uint16_t FXOffLimit = 0;
};

class TCharacters : public TComSettings {
 public:
  using TComSettings::TComSettings;
  char XOn() const { return FXOn; }
  void SetXOn(char Value);
  char XOff() const { return FXOff; }
  void SetXOff(char Value);
  char Error() const { return FError; }
  void SetError(char Value);
  char Eof() const { return FEof; }
  void SetEof(char Value);
  char Event() const { return FEvent; }
  void SetEvent(char Value);

 private:
  char FXOn = 17;
  char FXOff = 19;
  char FError = 0;
  char FEof = 0;
  char FEvent = 0;
};

class TBufferSizes : public TComSettings {
 public:
  using TComSettings::TComSettings;
  std::int32_t Input() const { return FInput; }
  void SetInput(std::int32_t Value);
  std::int32_t Output() const { return FOutput; }
  void SetOutput(std::int32_t Value);

 private:
  std::int32_t FInput = 4096;
  std::int32_t FOutput = 2048;
};

class TTimeouts : public TComSettings {
 public:
  using TComSettings::TComSettings;
  std::int32_t ReadInterval() const { return FReadInterval; }
  void SetReadInterval(std::int32_t Value);
  std::int32_t ReadMultiplier() const { return FReadMultiplier; }
  void SetReadMultiplier(std::int32_t Value);
  std::int32_t ReadConstant() const { return FReadConstant; }
  void SetReadConstant(std::int32_t Value);
  std::int32_t WriteMultiplier() const { return FWriteMultiplier; }
  void SetWriteMultiplier(std::int32_t Value);
  std::int32_t WriteConstant() const { return FWriteConstant; }
  void SetWriteConstant(std::int32_t Value);

 private:
  std::int32_t FReadInterval = 0;
  std::int32_t FReadMultiplier = 0;
  std::int32_t FReadConstant = 0;
  std::int32_t FWriteMultiplier = 0;
  std::int32_t FWriteConstant = 0;
};

// The port's event thread: waits for serial events and hands their delivery
// over to the main thread. Created running; the port owns it and joins it
// when it stops it.
class TComThread {
 public:
  explicit TComThread(TCustomComPort& Port);
  ~TComThread();
  TComThread(const TComThread&) = delete;
  TComThread& operator=(const TComThread&) = delete;

  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // The run routine has returned (stopped, or ended on a wait error).
  bool Finished() const { return FFinished; }
  bool IsCurrentThread() const;
  TCustomComPort& Port() const { return FPort; }
  void SetPriority(TThreadPriority Priority);
  THandOver& HandOver() { return FHandOver; }
  // Releases a hand-over it waits in and waits for the thread to end.
  void Stop();

 private:
  void Execute();

  TCustomComPort& FPort;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<platform::TThreadId> FThreadId{0};
  THandOver FHandOver;
  std::thread FThread;
};

class TCustomComPort : public TComponent {
 public:
  explicit TCustomComPort(TComponent* AOwner);
  ~TCustomComPort() override;

  // --- properties -----------------------------------------------------------
  std::string About() const;
  void SetAbout(const std::string&) {}
  bool Active() const { return FHandle != platform::kInvalidHandle; }
  // The device handle while open (read-only).
  platform::HANDLE Handle() const { return FHandle; }
  void SetActive(bool Value);
  TBaudRate BaudRate() const { return FBaudRate; }
  void SetBaudRate(TBaudRate Value);
  TBufferSizes& BufferSizes() { return FBufferSizes; }
  TCharacters& Characters() { return FCharacters; }
  std::int32_t CustomBaudRate() const;
  void SetCustomBaudRate(std::int32_t Value);
  TDataBits DataBits() const { return FDataBits; }
  void SetDataBits(TDataBits Value);
  const std::string& DeviceName() const { return FDeviceName; }
  void SetDeviceName(const std::string& Value);
  TFlowControl& FlowControl() { return FFlowControl; }
  TModemStatus ModemStatus();
  TOptions Options() const { return FOptions; }
  void SetOptions(TOptions Value);
  TParity Parity() const { return FParity; }
  void SetParity(TParity Value);
  TPriorityClass PriorityClass() const { return FPriorityClass; }
  void SetPriorityClass(TPriorityClass Value);
  TStopBits StopBits() const { return FStopBits; }
  void SetStopBits(TStopBits Value);
  bool SynchronizeEvents() const { return FSynchronizeEvents; }
  void SetSynchronizeEvents(bool Value);
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority Value);
  TTimeouts& Timeouts() { return FTimeouts; }

  // --- plain handlers ---------------------------------------------------------
  TOpenCloseEvent AfterClose, AfterOpen, BeforeClose, BeforeOpen;
  TReadWriteEvent AfterRead, AfterWrite, BeforeRead, BeforeWrite;
  TComErrorEvent OnError;

  // --- serial-event handlers (assigning one sets the event mask) ------------
  const TNotifyEvent& OnBreak() const { return FOnBreak; }
  void SetOnBreak(const TNotifyEvent& Value) { SetEventHandler(FOnBreak, Value); }
  const TNotifyEvent& OnCTSChange() const { return FOnCTSChange; }
  void SetOnCTSChange(const TNotifyEvent& Value) { SetEventHandler(FOnCTSChange, Value); }
  const TNotifyEvent& OnDSRChange() const { return FOnDSRChange; }
  void SetOnDSRChange(const TNotifyEvent& Value) { SetEventHandler(FOnDSRChange, Value); }
  const TNotifyEvent& OnEvent1() const { return FOnEvent1; }
  void SetOnEvent1(const TNotifyEvent& Value) { SetEventHandler(FOnEvent1, Value); }
  const TNotifyEvent& OnEvent2() const { return FOnEvent2; }
  void SetOnEvent2(const TNotifyEvent& Value) { SetEventHandler(FOnEvent2, Value); }
  const TLineErrorEvent& OnLineError() const { return FOnLineError; }
  void SetOnLineError(const TLineErrorEvent& Value) { SetEventHandler(FOnLineError, Value); }
  const TNotifyEvent& OnPrinterError() const { return FOnPrinterError; }
  void SetOnPrinterError(const TNotifyEvent& Value) { SetEventHandler(FOnPrinterError, Value); }
  const TNotifyEvent& OnRing() const { return FOnRing; }
  void SetOnRing(const TNotifyEvent& Value) { SetEventHandler(FOnRing, Value); }
  const TNotifyEvent& OnRLSDChange() const { return FOnRLSDChange; }
  void SetOnRLSDChange(const TNotifyEvent& Value) { SetEventHandler(FOnRLSDChange, Value); }
  const TNotifyEvent& OnRx80PercFull() const { return FOnRx80PercFull; }
  void SetOnRx80PercFull(const TNotifyEvent& Value) { SetEventHandler(FOnRx80PercFull, Value); }
  const TNotifyEvent& OnRxChar() const { return FOnRxChar; }
  void SetOnRxChar(const TNotifyEvent& Value) { SetEventHandler(FOnRxChar, Value); }
  const TNotifyEvent& OnRxFlag() const { return FOnRxFlag; }
  void SetOnRxFlag(const TNotifyEvent& Value) { SetEventHandler(FOnRxFlag, Value); }
  const TNotifyEvent& OnTxEmpty() const { return FOnTxEmpty; }
  void SetOnTxEmpty(const TNotifyEvent& Value) { SetEventHandler(FOnTxEmpty, Value); }

  // --- operations -------------------------------------------------------------
  void Open();
  void Close();
  void Read(void* Buffer, std::int32_t Length, bool WaitOnCompletion);
  void Write(const void* Buffer, std::int32_t Length, bool WaitOnCompletion);
  char ReadChar();
  void WriteString(const std::string& Text);
  std::int32_t InputCount();
  void PurgeInput();
  void PurgeOutput();
  // How long ago the last byte read arrived at this machine; zero while
  // the port is closed or nothing has been read.
  std::chrono::microseconds LastByteAge();
  // Appends the names of the serial ports of this machine (or of the
  // machine under Roots).
  void ListPorts(TStrings& List);
  void ListPorts(TStrings& List, const platform::TDeviceRoots& Roots);

  // The event mask in force (0 while closed) and whether an event thread
  // runs; for inspection.
  platform::DWORD EventMask() const { return FEventMask; }
  bool HasEventThread();

 protected:
  void Loaded() override;
  virtual void OpenDevice();

 private:
  friend class TFlowControl;
  friend class TCharacters;
  friend class TBufferSizes;
  friend class TTimeouts;
  friend class TComThread;

  void ReleaseDevice() noexcept;
  void CheckResult(bool Ok);
  [[noreturn]] void RaiseComError(std::int32_t Code, const std::string& Text);
  void CheckOpen();
  void CheckClosed();
  void ApplyLineSettings();
  void ApplyBufferSizes();
  void ApplyTimeouts();
  void ApplyEventMask();
  void StartEventThread();
  void StopEventThread() noexcept;
  void ForgetEndedThread() noexcept;
  void WaitForRead();
  void WaitForWrite();
  void CheckLineErrors();
  void ReportLineErrors(platform::DWORD Errors);
  template <typename THandler>
  void SetEventHandler(THandler& Field, const THandler& Value);
  template <typename T>
  void ChangeLineSetting(T& Field, T Value);

  // On the event thread
  void WaitEvent(TComThread& Thread);
  void Deliver(TComThread& Thread);
  // On the main thread
  void DispatchEvents();
  void RaiseWaitError();

  platform::HANDLE FHandle = platform::kInvalidHandle;
  platform::HANDLE FReadEvent = nullptr;
  platform::HANDLE FWriteEvent = nullptr;
  platform::HANDLE FWaitEvent = nullptr;
  platform::OVERLAPPED FReadOverlapped{};
  platform::OVERLAPPED FWriteOverlapped{};
  platform::OVERLAPPED FWaitOverlapped{};
  std::unique_ptr<TComThread> FEventThread;
  platform::DWORD FEventWord = 0;
  platform::DWORD FEventMask = 0;
  platform::DWORD FReadCount = 0;
  platform::DWORD FWriteCount = 0;
  std::int64_t FSavedPriorityClass = -1;
  platform::DWORD FWaitError = 0;
  std::string FWaitErrorText;
  bool FActiveWhenLoaded = false;

  TBaudRate FBaudRate = brDefault;
  std::int32_t FCustomBaudRate = 0;
  TDataBits FDataBits = dbDefault;
  std::string FDeviceName = "COM1";
  TOptions FOptions;
  TParity FParity = paDefault;
  TPriorityClass FPriorityClass = pcDefault;
  TStopBits FStopBits = sbDefault;
  bool FSynchronizeEvents = true;
  TThreadPriority FThreadPriority = tpTimeCritical;
  TFlowControl FFlowControl{*this};
  TCharacters FCharacters{*this};
  TBufferSizes FBufferSizes{*this};
  TTimeouts FTimeouts{*this};

  TNotifyEvent FOnBreak, FOnCTSChange, FOnDSRChange, FOnEvent1, FOnEvent2, FOnPrinterError, FOnRing,
      FOnRLSDChange, FOnRx80PercFull, FOnRxChar, FOnRxFlag, FOnTxEmpty;
  TLineErrorEvent FOnLineError;
};

// Same routine already stored: nothing happens, whatever the object.
template <typename THandler>
void TCustomComPort::SetEventHandler(THandler& Field, const THandler& Value) {
  if (Value.SameRoutine(Field)) return;
  Field = Value;
  ApplyEventMask();
}

class TComPort : public TCustomComPort {
 public:
  using TCustomComPort::TCustomComPort;
};
