// The engine's construction and the entry points that start the sequencer:
// a fresh connection, the Read and Write commands. The steps themselves run
// on the expiries of TimerRequestNext (RequestSequencer.cpp).

#include "probe/ProbeEngine.h"

TProbeEngine::TProbeEngine(TConnectionState& State, IProbeView& View, IProbeLink& Link,
                           TCustomTimer& TimerRequestNext, TCustomTimer& TimerTimeout)
    : S(State),
      View(View),
      Link(Link),
      TimerRequestNext(TimerRequestNext),
      TimerTimeout(TimerTimeout) {}

void TProbeEngine::TakeTimers() {
  TimerRequestNext.SetEnabled(false);
  TimerRequestNext.SetInterval(kRequestPause);
  TimerRequestNext.SetOnTimer(TNotifyEvent::Of<&TProbeEngine::TimerRequestNextTimer>(this));
  TimerTimeout.SetEnabled(false);
  TimerTimeout.SetInterval(kDefaultReplyTimeout);
  TimerTimeout.SetOnTimer(TNotifyEvent::Of<&TProbeEngine::TimerTimeoutTimer>(this));
}

void TProbeEngine::BeginConnection() {
  S.PortOpen = true;
  S.ResetConnection();
}

bool TProbeEngine::RequestRead() {
  if (S.ReadComplete != 1 || S.SequenceState != ssIdle) return false;
  S.SequenceState = ssReadRequested;
  View.SetControlEnabled(TProbeControl::Button_Read, false);
  View.SetControlEnabled(TProbeControl::Button_Write, false);
  ResetProbeData();
  ScheduleNextRequest();
  return true;
}

bool TProbeEngine::RequestWrite() {
  bool started = false;
  if (S.ReadComplete == 1 && S.SequenceState == ssIdle) {
    const TProbeData& d = S.ProbeData;
    if (IsCurrentLoopProbe(S.ProbeType) && LevelsTooClose(d.LevelAt4mA, d.LevelAt20mA)) {
      ShowMessage(
          "The value for the 4 mA point and the value for the 20 mA point are too close "
          "together!\r\n\r\nPlease correct the values so that there is at least a difference of "
          "5 mm.");
    } else {
      S.SequenceState = ssWriteRequested;
      View.SetControlEnabled(TProbeControl::Button_Write, false);
      View.SetControlEnabled(TProbeControl::Button_Read, false);
      started = true;
    }
  }
  // One request at a time: while a reply is outstanding this waits for it.
  ScheduleNextRequest();
  return started;
}

void TProbeEngine::ScheduleNextRequest() {
  // The reply time-out runs exactly while a request is outstanding.
  if (TimerTimeout.Enabled()) return;
  TimerRequestNext.SetEnabled(true);
}

void TProbeEngine::ShowMessage(const std::string& Text) {
  ++FMessagesShown;
  ++FOpenMessages;
  try {
    View.ShowMessage(Text);
  } catch (...) {
    --FOpenMessages;
    throw;
  }
  --FOpenMessages;
}
