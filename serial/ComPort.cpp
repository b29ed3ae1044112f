#include "serial/ComPort.h"

#include <algorithm>
#include <system_error>

#include "serial/platform/PortEnumeration.h"

using namespace platform;

namespace {

// The event thread that runs on this thread, if any.
thread_local TComThread* CurrentComThread = nullptr;

DWORD PriorityClassValue(TPriorityClass Class) {
  switch (Class) {
    case pcIdle:
      return IDLE_PRIORITY_CLASS;
    case pcNormal:
      return NORMAL_PRIORITY_CLASS;
    case pcHigh:
      return HIGH_PRIORITY_CLASS;
    case pcRealTime:
      return REALTIME_PRIORITY_CLASS;
    default:
      return 0;
  }
}

int ThreadPriorityValue(TThreadPriority Priority) {
  constexpr int values[] = {-15, -2, -1, 0, 1, 2, 15};
  return values[Priority];
}

}  // namespace

std::int32_t BaudRateValue(TBaudRate Rate) {
  constexpr std::int32_t rates[] = {0,     50,    75,     110,    150,    300,   600,
                                    1200,  1800,  2000,   2400,   3600,   4800,  7200,
                                    9600,  10400, 14400,  15625,  19200,  28800, 38400,
                                    56000, 57600, 115200, 128000, 256000, 0};
  return rates[Rate];
}

// --- setting groups ----------------------------------------------------------------

template <typename T>
void TComSettings::Change(T& Field, T Value, void (TCustomComPort::*Apply)()) {
  if (Field == Value) return;
  Field = Value;
  (FPort.*Apply)();
}

void TFlowControl::SetDTR(TDTRControl V) {
  Change(FDTR, V, &TCustomComPort::ApplyLineSettings);
}
void TFlowControl::SetRTS(TRTSControl V) {
  Change(FRTS, V, &TCustomComPort::ApplyLineSettings);
}
void TFlowControl::SetXOnXOff(TXOnXOffControl V) {
  Change(FXOnXOff, V, &TCustomComPort::ApplyLineSettings);
}
void TFlowControl::SetXOnLimit(std::uint16_t V) {
  Change(FXOnLimit, V, &TCustomComPort::ApplyLineSettings);
}
void TFlowControl::SetXOffLimit(std::uint16_t V) {
  Change(FXOffLimit, V, &TCustomComPort::ApplyLineSettings);
}
void TCharacters::SetXOn(char V) {
  Change(FXOn, V, &TCustomComPort::ApplyLineSettings);
}
void TCharacters::SetXOff(char V) {
  Change(FXOff, V, &TCustomComPort::ApplyLineSettings);
}
void TCharacters::SetError(char V) {
  Change(FError, V, &TCustomComPort::ApplyLineSettings);
}
void TCharacters::SetEof(char V) {
  Change(FEof, V, &TCustomComPort::ApplyLineSettings);
}
void TCharacters::SetEvent(char V) {
  Change(FEvent, V, &TCustomComPort::ApplyLineSettings);
}
void TBufferSizes::SetInput(std::int32_t V) {
  Change(FInput, V, &TCustomComPort::ApplyBufferSizes);
}
void TBufferSizes::SetOutput(std::int32_t V) {
  Change(FOutput, V, &TCustomComPort::ApplyBufferSizes);
}
void TTimeouts::SetReadInterval(std::int32_t V) {
  Change(FReadInterval, V, &TCustomComPort::ApplyTimeouts);
}
void TTimeouts::SetReadMultiplier(std::int32_t V) {
  Change(FReadMultiplier, V, &TCustomComPort::ApplyTimeouts);
}
void TTimeouts::SetReadConstant(std::int32_t V) {
  Change(FReadConstant, V, &TCustomComPort::ApplyTimeouts);
}
void TTimeouts::SetWriteMultiplier(std::int32_t V) {
  Change(FWriteMultiplier, V, &TCustomComPort::ApplyTimeouts);
}
void TTimeouts::SetWriteConstant(std::int32_t V) {
  Change(FWriteConstant, V, &TCustomComPort::ApplyTimeouts);
}

// --- the event thread ----------------------------------------------------------------

TComThread::TComThread(TCustomComPort& Port) : FPort(Port) {
  const TThreadPriority priority = Port.ThreadPriority();
  FThread = std::thread([this, priority] {
    CurrentComThread = this;
    FThreadId = GetCurrentThreadId();
    SetThreadPriority(FThreadId, ThreadPriorityValue(priority));  // failure ignored
    Execute();
    FFinished = true;
  });
}

TComThread::~TComThread() {
  Terminate();
  FHandOver.Cancel();
  Stop();
}

bool TComThread::IsCurrentThread() const {
  return CurrentComThread == this;
}

void TComThread::Stop() {
  FHandOver.Cancel();
  if (FThread.joinable()) FThread.join();
}

void TComThread::SetPriority(TThreadPriority Priority) {
  if (const TThreadId id = FThreadId)
    ::platform::SetThreadPriority(id, ThreadPriorityValue(Priority));
}

void TComThread::Execute() {
  try {
    while (!Terminated()) FPort.WaitEvent(*this);
  } catch (...) {
    // A wait error ends the thread; it was reported on the main thread.
  }
}

// --- the port -------------------------------------------------------------------------

TCustomComPort::TCustomComPort(TComponent* AOwner) : TComponent(AOwner) {}

TCustomComPort::~TCustomComPort() {
  try {
    Close();
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
  ReleaseDevice();
  NotifyRemoval();
}

std::string TCustomComPort::About() const {
  return "KALMET serial port component 1.0";
}

void TCustomComPort::Loaded() {
  TComponent::Loaded();
  if (FActiveWhenLoaded) Open();
}

void TCustomComPort::SetActive(bool Value) {
  if (Loading()) {
    FActiveWhenLoaded = Value;
    return;
  }
  if (Value)
    Open();
  else
    Close();
}

void TCustomComPort::CheckResult(bool Ok) {
  if (Ok) return;
  const DWORD code = GetLastError();
  if (code == ERROR_SUCCESS || code == ERROR_IO_PENDING) return;
  NoteLastError(code);
  SetLastError(ERROR_SUCCESS);
  RaiseComError(static_cast<std::int32_t>(code), SysErrorMessage(code));
}

void TCustomComPort::RaiseComError(std::int32_t Code, const std::string& Text) {
  EComError error(Text, Code);
  TComAction action = caRaise;
  if (OnError) OnError(this, error, action);
  if (action == caAbort) throw EAbort();
  throw error;
}

void TCustomComPort::CheckOpen() {
  if (!Active()) RaiseComError(0, "Can't perform this operation on a closed port");
}

void TCustomComPort::CheckClosed() {
  if (Active()) RaiseComError(0, "Can't perform this operation on an open port");
}

void TCustomComPort::SetDeviceName(const std::string& Value) {
  if (Value == FDeviceName) return;
  CheckClosed();
  FDeviceName = Value;
}

void TCustomComPort::SetPriorityClass(TPriorityClass Value) {
  if (Value == FPriorityClass) return;
  CheckClosed();
  FPriorityClass = Value;
}

void TCustomComPort::SetSynchronizeEvents(bool Value) {
  if (Value == FSynchronizeEvents) return;
  CheckClosed();
  FSynchronizeEvents = Value;
}

void TCustomComPort::SetThreadPriority(TThreadPriority Value) {
  if (Value == FThreadPriority) return;
  FThreadPriority = Value;
  ForgetEndedThread();
  if (FEventThread) FEventThread->SetPriority(Value);
}

template <typename T>
void TCustomComPort::ChangeLineSetting(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  ApplyLineSettings();
}

void TCustomComPort::SetBaudRate(TBaudRate Value) {
  ChangeLineSetting(FBaudRate, Value);
}
void TCustomComPort::SetDataBits(TDataBits Value) {
  ChangeLineSetting(FDataBits, Value);
}
void TCustomComPort::SetParity(TParity Value) {
  ChangeLineSetting(FParity, Value);
}
void TCustomComPort::SetStopBits(TStopBits Value) {
  ChangeLineSetting(FStopBits, Value);
}
void TCustomComPort::SetOptions(TOptions Value) {
  ChangeLineSetting(FOptions, Value);
}

std::int32_t TCustomComPort::CustomBaudRate() const {
  return FBaudRate == brCustom ? FCustomBaudRate : BaudRateValue(FBaudRate);
}

void TCustomComPort::SetCustomBaudRate(std::int32_t Value) {
  if (Value == FCustomBaudRate) return;
  FCustomBaudRate = Value;
  FBaudRate = brCustom;
  ApplyLineSettings();
}

// --- opening and closing ---------------------------------------------------------------

void TCustomComPort::Open() {
  if (Active()) return;
  if (BeforeOpen) BeforeOpen(this);
  OpenDevice();
  if (Active() && AfterOpen) AfterOpen(this);
}

void TCustomComPort::OpenDevice() {
  ReleaseDevice();
  SetLastError(ERROR_SUCCESS);
  NoteLastError(ERROR_SUCCESS);  // a failure that is not the system's has no number
  try {
    if (FPriorityClass != pcDefault) {
      const DWORD saved = GetPriorityClass(GetCurrentProcess());
      if (saved != 0) FSavedPriorityClass = saved;
      platform::SetPriorityClass(GetCurrentProcess(), PriorityClassValue(FPriorityClass));
      SetLastError(ERROR_SUCCESS);  // a refused priority is no failure
    }
    FWaitOverlapped = {};
    FWaitEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CheckResult(FWaitEvent != nullptr);
    FWaitOverlapped.hEvent = FWaitEvent;
    FReadEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CheckResult(FReadEvent != nullptr);
    FWriteEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CheckResult(FWriteEvent != nullptr);
    FHandle = platform::CreateFileA(FDeviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    CheckResult(FHandle != kInvalidHandle);
    PurgeInput();
    PurgeOutput();
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
    ApplyEventMask();
  } catch (...) {
    ReleaseDevice();
    throw;
  }
}

void TCustomComPort::Close() {
  if (CurrentComThread && &CurrentComThread->Port() == this) {
    // On the event thread: the whole call runs on the main thread.
    CurrentComThread->HandOver().Synchronize([this] { Close(); });
    return;
  }
  if (!Active()) return;
  if (BeforeClose) BeforeClose(this);
  ReleaseDevice();
  if (!Active() && AfterClose) AfterClose(this);
}

void TCustomComPort::ReleaseDevice() noexcept {
  StopEventThread();
  if (FHandle != kInvalidHandle) {
    platform::CloseHandle(FHandle);
    FHandle = kInvalidHandle;
  }
  for (HANDLE* event : {&FWriteEvent, &FReadEvent, &FWaitEvent}) {
    if (*event) platform::CloseHandle(*event);
    *event = nullptr;
  }
  FEventMask = 0;
  if (FSavedPriorityClass != -1) {
    platform::SetPriorityClass(GetCurrentProcess(), static_cast<DWORD>(FSavedPriorityClass));
    FSavedPriorityClass = -1;
  }
  SetLastError(ERROR_SUCCESS);
}

// --- applying settings -----------------------------------------------------------------

void TCustomComPort::ApplyLineSettings() {
  if (!Active()) return;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  CheckResult(platform::GetCommState(FHandle, &dcb));
  if (FBaudRate != brDefault)
    dcb.BaudRate =
        static_cast<DWORD>(FBaudRate == brCustom ? FCustomBaudRate : BaudRateValue(FBaudRate));
  if (FDataBits != dbDefault) dcb.ByteSize = static_cast<BYTE>(FDataBits - db4 + 4);
  if (FParity != paDefault) dcb.Parity = static_cast<BYTE>(FParity - paNone);
  if (FStopBits != sbDefault) dcb.StopBits = static_cast<BYTE>(FStopBits - sb1);
  dcb.XonChar = FCharacters.XOn();
  dcb.XoffChar = FCharacters.XOff();
  dcb.ErrorChar = FCharacters.Error();
  dcb.EofChar = FCharacters.Eof();
  dcb.EvtChar = FCharacters.Event();
  if (FFlowControl.DTR() != dcDefault) dcb.fDtrControl = FFlowControl.DTR() - dcDisable;
  if (FFlowControl.RTS() != rcDefault) dcb.fRtsControl = FFlowControl.RTS() - rcDisable;
  switch (FFlowControl.XOnXOff()) {
    case xcDisable:
      dcb.fOutX = 0;
      dcb.fInX = 0;
      break;
    case xcInput:
      dcb.fOutX = 0;
      dcb.fInX = 1;
      break;
    case xcOutput:
      dcb.fOutX = 1;
      dcb.fInX = 0;
      break;
    case xcInputOutput:
      dcb.fOutX = 1;
      dcb.fInX = 1;
      break;
    default:
      break;
  }
  dcb.XonLim = FFlowControl.XOnLimit();
  dcb.XoffLim = FFlowControl.XOffLimit();
  dcb.fParity = FOptions.Contains(opCheckParity);
  dcb.fOutxCtsFlow = FOptions.Contains(opOutputCTSFlow);
  dcb.fOutxDsrFlow = FOptions.Contains(opOutputDSRFlow);
  dcb.fDsrSensitivity = FOptions.Contains(opDSRSensitivity);
  dcb.fTXContinueOnXoff = FOptions.Contains(opTXContinueOnXOff);
  dcb.fErrorChar = FOptions.Contains(opUseErrorChar);
  dcb.fNull = FOptions.Contains(opDiscardNullBytes);
  dcb.fAbortOnError = FOptions.Contains(opAbortOnError);
  CheckResult(platform::SetCommState(FHandle, &dcb));
}

void TCustomComPort::ApplyBufferSizes() {
  if (!Active()) return;
  CheckResult(platform::SetupComm(FHandle, static_cast<DWORD>(FBufferSizes.Input()),
                                  static_cast<DWORD>(FBufferSizes.Output())));
}

void TCustomComPort::ApplyTimeouts() {
  if (!Active()) return;
  COMMTIMEOUTS t{};
  CheckResult(platform::GetCommTimeouts(FHandle, &t));
  t.ReadIntervalTimeout = static_cast<DWORD>(FTimeouts.ReadInterval());
  t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts.ReadMultiplier());
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(FTimeouts.ReadConstant());
  t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts.WriteMultiplier());
  t.WriteTotalTimeoutConstant = static_cast<DWORD>(FTimeouts.WriteConstant());
  CheckResult(platform::SetCommTimeouts(FHandle, &t));
}

// --- serial events ------------------------------------------------------------------------

void TCustomComPort::ApplyEventMask() {
  if (!Active()) return;
  DWORD mask = 0;
  const std::pair<bool, DWORD> handlers[] = {
      {bool(FOnRxChar), EV_RXCHAR},
      {bool(FOnRxFlag), EV_RXFLAG},
      {bool(FOnTxEmpty), EV_TXEMPTY},
      {bool(FOnCTSChange), EV_CTS},
      {bool(FOnDSRChange), EV_DSR},
      {bool(FOnRLSDChange), EV_RLSD},
      {bool(FOnBreak), EV_BREAK},
      {bool(FOnLineError), EV_ERR},
      {bool(FOnRing), EV_RING},
      {bool(FOnPrinterError), EV_PERR},
      {bool(FOnRx80PercFull), EV_RX80FULL},
      {bool(FOnEvent1), EV_EVENT1},
      {bool(FOnEvent2), EV_EVENT2},
  };
  for (auto [assigned, flag] : handlers)
    if (assigned) mask |= flag;
  if (mask == 0) StopEventThread();
  CheckResult(platform::SetCommMask(FHandle, mask));
  FEventMask = mask;
  if (mask != 0) StartEventThread();
}

bool TCustomComPort::HasEventThread() {
  ForgetEndedThread();
  return FEventThread != nullptr;
}

void TCustomComPort::StartEventThread() {
  ForgetEndedThread();
  if (FEventThread) return;
  try {
    FEventThread = std::make_unique<TComThread>(*this);
  } catch (const std::system_error&) {
    RaiseComError(0, "Can't create thread");
  }
}

void TCustomComPort::StopEventThread() noexcept {
  if (!FEventThread) return;
  FEventThread->Terminate();
  FEventThread->HandOver().Cancel();
  // Completes a pending wait, which wakes the thread.
  if (FHandle != kInvalidHandle) platform::SetCommMask(FHandle, 0);
  if (FEventThread->IsCurrentThread()) return;  // it ends by itself after this
  // Stopped and joined. A routine it handed over may still run further up
  // the main thread's stack (in a nested event loop): the hand-over's state
  // outlives the thread object until that routine returns.
  FEventThread.reset();
}

void TCustomComPort::ForgetEndedThread() noexcept {
  if (FEventThread && FEventThread->Finished() && !FEventThread->IsCurrentThread())
    FEventThread.reset();
}

void TCustomComPort::WaitEvent(TComThread& Thread) {
  FEventWord = 0;
  if (platform::WaitCommEvent(FHandle, &FEventWord, &FWaitOverlapped)) {
    if (Thread.Terminated()) return;
    NoteCommEvent(FHandle, FEventWord);
    Deliver(Thread);
    return;
  }
  FWaitError = GetLastError();
  if (FWaitError == ERROR_IO_PENDING) {
    // The system writes the event word and the overlapped structure until
    // the wait ends, so the thread never leaves one running. A stop's mask
    // change ends a wait begun before it; one begun after it (Windows
    // refuses a wait on mask 0, Wine lets it run) ends by a second change.
    if (Thread.Terminated()) platform::SetCommMask(FHandle, 0);
    if (WaitForSingleObject(FWaitEvent, INFINITE) != WAIT_OBJECT_0 || Thread.Terminated()) return;
    // A wait can also end in a failure (the device went away under it).
    DWORD transferred = 0;
    if (platform::GetOverlappedResult(FHandle, &FWaitOverlapped, &transferred, FALSE)) {
      NoteCommEvent(FHandle, FEventWord);
      Deliver(Thread);
      return;
    }
    FWaitError = GetLastError();
  }
  if (Thread.Terminated()) return;
  SetLastError(ERROR_SUCCESS);
  FWaitErrorText = SysErrorMessage(FWaitError);
  // The report, and for access denied the close, in one hand-over: between
  // two, the main thread would go on with a port that is open but dead.
  std::exception_ptr error;
  try {
    Thread.HandOver().Synchronize([this] {
      std::exception_ptr report;
      try {
        RaiseWaitError();
      } catch (...) {
        report = std::current_exception();
      }
      if (IsLostDevice(FWaitError)) Close();
      if (report) std::rethrow_exception(report);
    });
  } catch (...) {
    error = std::current_exception();
  }
  // The thread ends here, with the error or because it was stopped.
  Thread.Terminate();
  if (error) std::rethrow_exception(error);
}

void TCustomComPort::Deliver(TComThread& Thread) {
  if (FSynchronizeEvents)
    Thread.HandOver().Synchronize([this] { DispatchEvents(); });
  else
    DispatchEvents();
}

void TCustomComPort::RaiseWaitError() {
  RaiseComError(static_cast<std::int32_t>(FWaitError), FWaitErrorText);
}

void TCustomComPort::DispatchEvents() {
  // A dispatch handed over just before the port closed is dropped.
  if (!Active()) return;
  const DWORD word = FEventWord;
  try {
    if ((word & EV_BREAK) && FOnBreak) FOnBreak(this);
    if ((word & EV_CTS) && FOnCTSChange) FOnCTSChange(this);
    if ((word & EV_DSR) && FOnDSRChange) FOnDSRChange(this);
    if ((word & EV_ERR) && FOnLineError) CheckLineErrors();
    if ((word & EV_EVENT1) && FOnEvent1) FOnEvent1(this);
    if ((word & EV_EVENT2) && FOnEvent2) FOnEvent2(this);
    if ((word & EV_PERR) && FOnPrinterError) FOnPrinterError(this);
    if ((word & EV_RING) && FOnRing) FOnRing(this);
    if ((word & EV_RLSD) && FOnRLSDChange) FOnRLSDChange(this);
    if ((word & EV_RX80FULL) && FOnRx80PercFull) FOnRx80PercFull(this);
    if ((word & EV_RXCHAR) && FOnRxChar) FOnRxChar(this);
    if ((word & EV_RXFLAG) && FOnRxFlag) FOnRxFlag(this);
    if ((word & EV_TXEMPTY) && FOnTxEmpty) FOnTxEmpty(this);
  } catch (const Exception&) {
    Application().HandleException(std::current_exception());
  }
}

// --- transfers -------------------------------------------------------------------------------

void TCustomComPort::Read(void* Buffer, std::int32_t Length, bool WaitOnCompletion) {
  CheckOpen();
  if (Length < 0) RaiseComError(ERROR_INVALID_PARAMETER, SysErrorMessage(ERROR_INVALID_PARAMETER));
  if (BeforeRead) BeforeRead(this, Buffer, Length, WaitOnCompletion);
  WaitForRead();
  FReadCount = static_cast<DWORD>(Length);
  if (Length != 0) {
    FReadOverlapped = {};
    FReadOverlapped.hEvent = FReadEvent;
    CheckResult(ResetEvent(FReadEvent));
    CheckResult(platform::ReadFile(FHandle, Buffer, FReadCount, nullptr, &FReadOverlapped));
    if (WaitOnCompletion) WaitForRead();
  }
  if (AfterRead) AfterRead(this, Buffer, Length, WaitOnCompletion);
}

void TCustomComPort::Write(const void* Buffer, std::int32_t Length, bool WaitOnCompletion) {
  CheckOpen();
  if (Length < 0) RaiseComError(ERROR_INVALID_PARAMETER, SysErrorMessage(ERROR_INVALID_PARAMETER));
  if (BeforeWrite) BeforeWrite(this, Buffer, Length, WaitOnCompletion);
  WaitForWrite();
  FWriteCount = static_cast<DWORD>(Length);
  if (Length != 0) {
    FWriteOverlapped = {};
    FWriteOverlapped.hEvent = FWriteEvent;
    CheckResult(ResetEvent(FWriteEvent));
    CheckResult(platform::WriteFile(FHandle, Buffer, FWriteCount, nullptr, &FWriteOverlapped));
    if (WaitOnCompletion) WaitForWrite();
  }
  if (AfterWrite) AfterWrite(this, Buffer, Length, WaitOnCompletion);
}

void TCustomComPort::WaitForRead() {
  if (WaitForSingleObject(FReadEvent, 0) != WAIT_OBJECT_0) {
    DWORD transferred = 0;
    CheckResult(platform::GetOverlappedResult(FHandle, &FReadOverlapped, &transferred, TRUE));
    if (transferred != FReadCount) RaiseComError(0, "Timeout");
  }
  CheckLineErrors();
}

void TCustomComPort::WaitForWrite() {
  if (WaitForSingleObject(FWriteEvent, 0) != WAIT_OBJECT_0) {
    DWORD transferred = 0;
    CheckResult(platform::GetOverlappedResult(FHandle, &FWriteOverlapped, &transferred, TRUE));
    if (transferred != FWriteCount) RaiseComError(0, "Timeout");
  }
  CheckLineErrors();
}

char TCustomComPort::ReadChar() {
  char c = 0;
  Read(&c, 1, true);
  return c;
}

void TCustomComPort::WriteString(const std::string& Text) {
  Write(Text.data(), static_cast<std::int32_t>(Text.size()), false);
}

void TCustomComPort::CheckLineErrors() {
  CheckOpen();
  DWORD errors = 0;
  CheckResult(platform::ClearCommError(FHandle, &errors, nullptr));
  ReportLineErrors(errors);
}

void TCustomComPort::ReportLineErrors(DWORD Errors) {
  if (!Errors || !FOnLineError) return;
  TLineErrors set;
  const std::pair<DWORD, TLineError> flags[] = {
      {CE_BREAK, leBreak},       {CE_DNS, leDeviceNotSelected},
      {CE_FRAME, leFrame},       {CE_IOE, leIO},
      {CE_MODE, leMode},         {CE_OOP, leOutOfPaper},
      {CE_OVERRUN, leOverrun},   {CE_PTO, leDeviceTimeout},
      {CE_RXOVER, leRxOverflow}, {CE_RXPARITY, leRxParity},
      {CE_TXFULL, leTxFull},
  };
  for (auto [flag, error] : flags)
    if (Errors & flag) set.Include(error);
  FOnLineError(this, set);
}

std::int32_t TCustomComPort::InputCount() {
  DWORD errors = 0;
  COMSTAT stat{};
  CheckResult(platform::ClearCommError(FHandle, &errors, &stat));
  ReportLineErrors(errors);
  return static_cast<std::int32_t>(stat.cbInQue);
}

void TCustomComPort::PurgeInput() {
  if (Active()) CheckResult(platform::PurgeComm(FHandle, PURGE_RXABORT | PURGE_RXCLEAR));
}

std::chrono::microseconds TCustomComPort::LastByteAge() {
  using namespace std::chrono;
  steady_clock::time_point arrived;
  if (!Active() || !GetCommArrivalTime(FHandle, &arrived)) return {};
  return std::max(duration_cast<microseconds>(steady_clock::now() - arrived), microseconds{});
}

void TCustomComPort::PurgeOutput() {
  if (Active()) CheckResult(platform::PurgeComm(FHandle, PURGE_TXABORT | PURGE_TXCLEAR));
}

TModemStatus TCustomComPort::ModemStatus() {
  CheckOpen();
  DWORD status = 0;
  CheckResult(platform::GetCommModemStatus(FHandle, &status));
  TModemStatus result;
  if (status & MS_CTS_ON) result.Include(msCTS);
  if (status & MS_DSR_ON) result.Include(msDSR);
  if (status & MS_RING_ON) result.Include(msRing);
  if (status & MS_RLSD_ON) result.Include(msRLSD);
  return result;
}

void TCustomComPort::ListPorts(TStrings& List) {
  ListPorts(List, platform::TDeviceRoots{});
}

void TCustomComPort::ListPorts(TStrings& List, const platform::TDeviceRoots& Roots) {
  try {
    for (const std::string& name : SerialPortNames(Roots)) List.Add(name);
  } catch (...) {
    // Raises nothing: a machine whose ports cannot be read has none to offer.
  }
}
