#include "cli/ProbeSession.h"

TProbeSession::TProbeSession(TProbeLine& Line, TTimerFactory& Timers)
    : TComponent(nullptr),
      FLine(Line),
      FTimerRequestNext(Timers.CreateTimer(this)),
      FTimerTimeout(Timers.CreateTimer(this)),
      FEngine(S, *this, Line, *FTimerRequestNext, *FTimerTimeout) {
  // As the window's description sets them.
  FTimerRequestNext->SetEnabled(false);
  FTimerRequestNext->SetInterval(200);
  FTimerRequestNext->SetOnTimer(TNotifyEvent::Of<&TProbeEngine::TimerRequestNextTimer>(&FEngine));
  FTimerTimeout->SetEnabled(false);
  FTimerTimeout->SetInterval(500);
  FTimerTimeout->SetOnTimer(TNotifyEvent::Of<&TProbeEngine::TimerTimeoutTimer>(&FEngine));
  FLine.OnReceived = [this] { RxChar(); };
  FLine.OnLost = [this] {
    FLost = true;
    Stop();
  };
}

void TProbeSession::Connect() {
  FEngine.BeginConnection();
  FEngine.ResetProbeData();
  FEverFound = false;
  FTimerRequestNext->SetEnabled(true);
}

void TProbeSession::Stop() {
  FTimerRequestNext->SetEnabled(false);
  FTimerTimeout->SetEnabled(false);
  S.PortOpen = false;
}

bool TProbeSession::Resting() const {
  return S.ReadComplete == 1 && S.SequenceState == ssIdle && S.RequestCode == 0 &&
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

void TProbeSession::RefreshDisplay() {}

void TProbeSession::Acknowledged(int RequestCode, TAcknowledge Outcome) {
  Acknowledgements[RequestCode] = Outcome;
}
