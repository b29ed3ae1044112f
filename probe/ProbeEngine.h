#pragma once

// The protocol engine: the request sequencer, the senders, reply reception
// with dispatch and time-out, the reply parsers and probe identification.
//
// It works on the connection state owned by the window, reaches the window
// through IProbeView and the line through IProbeLink, and is paced by two
// timers that the window owns: TimerRequestNext (200 ms, one step per expiry)
// and TimerTimeout (reply time-out). Everything runs on the main thread.

#include <string>

#include "probe/ConnectionState.h"
#include "probe/ProbeLink.h"
#include "probe/ProbeView.h"
#include "probe/RequestFrames.h"
#include "toolkit/Timer.h"

class TProbeEngine {
 public:
  // Construction and the entry points: ProbeEngine.cpp.
  TProbeEngine(TConnectionState& State, IProbeView& View, IProbeLink& Link,
               TCustomTimer& TimerRequestNext, TCustomTimer& TimerTimeout);

  // Handlers the window forwards to.
  void TimerRequestNextTimer(TObject* Sender);  // RequestSequencer.cpp
  void ComRxChar(TObject* Sender);              // ReplyReception.cpp
  void TimerTimeoutTimer(TObject* Sender);      // ReplyReception.cpp

  // Lets the sequencer take its next step 200 ms from now, unless a reply is
  // outstanding: then the reply or its time-out does it. One request at a time.
  void ScheduleNextRequest();
  // For a host without the window (the terminal program, tests): its two
  // timers set as the window sets its own, their expiries the engine's.
  void TakeTimers();

  // The state of a fresh connection on a port just opened: nothing found,
  // nothing read, no identifier, no firmware texts (the caller then clears
  // the probe data and starts the sequencer).
  void BeginConnection();
  // The Read and Write commands: true when they started a read or a write.
  // Read: only while waiting for input; the probe data are cleared and read
  // again. Write: only while waiting for input, and for a current-loop probe
  // only when the 4 mA and 20 mA levels are 5 mm apart or more (else the
  // operator is told); the sequencer is started in every case.
  bool RequestRead();
  bool RequestWrite();

  // Senders (RequestFrames.cpp). Send(Code) is the sender of that request
  // code (RequestFrames.h names them); false when the code has none.
  bool Send(int Code);
  void SendRequest(const char* Frame, int Count);

  // Probe data (ReplyParsers.cpp)
  void ResetProbeData();
  bool VerifySearchChecksum() const;

  // Reply dispatch and parsers, called with the line in RxLine/RxCount.
  void DispatchReply();
  void ParseSearchReply();
  void ParseChecksumReply();
  void ParseAddressReply();
  void ParseOffset1Reply();
  void ParseOffset2Reply();
  void ParseProbeLengthReply();
  void ParseCurrentReply();
  void ParseLevelAt4mAReply();
  void ParseLevelAt20mAReply();
  void ParseAlarmCurrentReply();
  TAcknowledge ParseAcknowledge();

  // Probe identification (ProbeIdentification.cpp)
  void ParseTypeReply();
  void ApplyProbeType(std::int32_t Code);

  TConnectionState& State() { return S; }

 private:
  // The line as texts (ReplyParsers.cpp)
  bool EndsWithCrLf() const;
  bool WellFormed() const;
  std::string RawText() const;
  std::string CompactText() const;
  // Common start of the single-value read replies; returns WellFormed().
  bool BeginValueReply(TProbeControl ColouredControl);
  void StoreDecimalReply(TProbeControl Control, long double TProbeData::*Field);

  // A modal message box of the engine. The event loop keeps running while it
  // is open, but no request is sent: the sequence goes on after OK.
  void ShowMessage(const std::string& Text);

  // The sequencer's step in each state (RequestSequencer.cpp).
  void SearchStep();
  void FirstReadStep();
  void ReadRequestedStep();
  void ReadingStep();
  void WriteRequestedStep();
  void WritingStep();
  void WriteFinishedStep();
  void IdleStep();
  // The tick after the last read request: the read is complete.
  void EndRead();
  void SetConfigurationControlsEnabled(bool Enabled);

  TConnectionState& S;
  IProbeView& View;
  IProbeLink& Link;
  TCustomTimer& TimerRequestNext;
  TCustomTimer& TimerTimeout;
  int FOpenMessages = 0;
  unsigned FMessagesShown = 0;  // boxes opened so far
  // The frame last sent while its echo may still be arriving: a 2-wire
  // adapter whose receiver stays on sends every request back to us ahead of
  // the reply. Bytes that repeat the frame from its start are dropped.
  std::string FEcho;
  std::size_t FEchoMatched = 0;
};
