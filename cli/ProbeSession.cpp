#include "cli/ProbeSession.h"

#include <algorithm>

#include "toolkit/Numbers.h"

TProbeSession::TProbeSession(TProbeLine& Line, TTimerFactory& Timers)
    : TComponent(nullptr),
      FLine(Line),
      FTimerRequestNext(Timers.CreateTimer(this)),
      FTimerTimeout(Timers.CreateTimer(this)),
      FEngine(S, *this, Line, *FTimerRequestNext, *FTimerTimeout) {
  FEngine.TakeTimers();
  FLine.OnReceived = [this] { RxChar(); };
  FLine.OnLost = [this] {
    FLost = true;
    Stop();
  };
}

void TProbeSession::Connect() {
  FGiven.clear();
  FEngine.BeginConnection();
  FEngine.ResetProbeData();
  FEverFound = false;
  FTimerRequestNext->SetEnabled(true);
}

void TProbeSession::ReadAgain() {
  FGiven.clear();
  FEngine.RequestRead();
}

void TProbeSession::Stop() {
  FTimerRequestNext->SetEnabled(false);
  FTimerTimeout->SetEnabled(false);
  S.PortOpen = false;
}

bool TProbeSession::Resting() const {
  return S.ReadComplete == 1 && S.SequenceState == ssIdle && S.RequestCode == rqNone &&
         !FTimerRequestNext->Enabled() && !FTimerTimeout->Enabled();
}

void TProbeSession::RxChar() {
  // What the window's handler does: an exception ends this reception only.
  try {
    FEngine.ComRxChar(this);
  } catch (const std::exception& e) {
    Messages.push_back(e.what());
  }
  FEverFound = FEverFound || S.ProbeFound;
}

void TProbeSession::SetStatusText(const std::string& Text) {
  FStatus = Text;
  if (OnStatus) OnStatus(Text);
}

void TProbeSession::SetControlHint(TProbeControl, const std::string&) {
  // The probe length reply rewrites the level hints.
  if (S.RequestCode == rqProbeLength) FGiven.insert(rqProbeLength);
}

void TProbeSession::RefreshDisplay() {
  if (S.RequestCode >= rqChecksum && S.RequestCode <= rqAlarmCurrent) FGiven.insert(S.RequestCode);
  const auto shown = [](long double Value, const char* Format) {
    long double value = Value;
    TryTextToFloat(FormatFloat(Format, Value, '.'), value, '.');
    return value;
  };
  TProbeData& d = S.ProbeData;
  if (IsRs485ConfigurableProbe(S.ProbeType)) {
    d.Address = KeptAddress(d.Address, S.ProbeType, S.SequenceState == ssReadRequested);
    for (long double* offset : {&d.Offset1, &d.Offset2})
      *offset = std::min(shown(*offset, "0.000"), kOffsetLimit);
  } else if (IsCurrentLoopProbe(S.ProbeType)) {
    const char* length = S.FineResolution ? "0.000" : "0.00";
    for (long double* level : {&d.LevelAt4mA, &d.LevelAt20mA}) {
      *level = shown(*level, length);
      if (*level > d.LevelLimit) *level = shown(d.LevelLimit, length);
    }
  }
}

void TProbeSession::Acknowledged(int RequestCode, TAcknowledge Outcome) {
  Acknowledgements[RequestCode] = Outcome;
}
