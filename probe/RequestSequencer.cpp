// The request sequencer: one step per expiry of TimerRequestNext.

#include <cmath>

#include "probe/ProbeEngine.h"

TProbeEngine::TProbeEngine(TConnectionState& State, IProbeView& View, IProbeLink& Link,
                           TCustomTimer& TimerRequestNext, TCustomTimer& TimerTimeout)
    : S(State),
      View(View),
      Link(Link),
      TimerRequestNext(TimerRequestNext),
      TimerTimeout(TimerTimeout) {}

void TProbeEngine::SetConfigurationControlsEnabled(bool Enabled) {
  for (TProbeControl c : kConfigurationControls) View.SetControlEnabled(c, Enabled);
}

void TProbeEngine::EndRead() {
  View.SetStatusText("Reading probe data done.");
  S.RequestCode = 0;
  S.ReadComplete = 1;
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

void TProbeEngine::BeginConnection() {
  S.PortOpen = true;
  S.ProbeFound = false;
  S.ProbeType = 0;
  S.RequestCode = 0;
  S.SequenceState = ssIdle;
  S.ReadComplete = 0;
  S.SerialNumber = 0;
  S.ProbeId.fill('0');
  S.FirmwareVersion.clear();
  S.FirmwareChecksum.clear();
  S.FirmwareChecksumRead = false;
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
  constexpr long double kMinimumLevelDistance = 5;  // mm between the 4 mA and 20 mA points
  bool started = false;
  if (S.ReadComplete == 1 && S.SequenceState == ssIdle) {
    const TProbeData& d = S.ProbeData;
    if (IsCurrentLoopProbe(S.ProbeType) &&
        std::fabs(d.LevelAt20mA - d.LevelAt4mA) < kMinimumLevelDistance) {
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

void TProbeEngine::TakeTimers() {
  TimerRequestNext.SetEnabled(false);
  TimerRequestNext.SetInterval(200);
  TimerRequestNext.SetOnTimer(TNotifyEvent::Of<&TProbeEngine::TimerRequestNextTimer>(this));
  TimerTimeout.SetEnabled(false);
  TimerTimeout.SetInterval(500);
  TimerTimeout.SetOnTimer(TNotifyEvent::Of<&TProbeEngine::TimerTimeoutTimer>(this));
}

void TProbeEngine::ScheduleNextRequest() {
  // The reply time-out runs exactly while a request is outstanding.
  if (TimerTimeout.Enabled()) return;
  TimerRequestNext.SetEnabled(true);
}

void TProbeEngine::TimerRequestNextTimer(TObject*) {
  TimerRequestNext.SetEnabled(false);
  if (!S.PortOpen) return;
  // One request at a time: a box of the engine is open, and whatever closes
  // it starts the sequencer again.
  if (FOpenMessages > 0) return;

  if (!S.ProbeFound) {
    View.SetStatusText("Searching for probe.");
    S.RequestCode = 1;
  } else if (S.ReadComplete == 0) {
    View.SetStatusText("Reading probe data.");
    if (S.RequestCode != 0 && S.RequestCode < 10)
      S.RequestCode = 10;
    else
      ++S.RequestCode;
    if (S.RequestCode > 19) {
      EndRead();
      // A write cut short by a reply time-out left the configuration
      // controls locked; the connection is read again, so unlock them.
      SetConfigurationControlsEnabled(true);
    }
  } else {
    switch (S.SequenceState) {
      case ssReadRequested:
        View.SetStatusText("Reading probe data.");
        S.SequenceState = ssReading;
        S.RequestCode = 1;
        break;
      case ssReading:
        if (S.RequestCode == 1)
          S.RequestCode = 12;
        else
          ++S.RequestCode;
        if (S.RequestCode > 19) {
          EndRead();
          S.SequenceState = ssIdle;
        }
        break;
      case ssWriteRequested:
        if (!IsCurrentLoopProbe(S.ProbeType) && !IsRs485ConfigurableProbe(S.ProbeType)) {
          // No write sequence for this probe type: back to waiting for the
          // operator, with Read available again.
          View.SetStatusText("Waiting for user input.");
          S.RequestCode = 0;
          S.SequenceState = ssIdle;
          View.SetControlEnabled(TProbeControl::Button_Read, true);
          break;
        }
        View.SetStatusText("Writing probe data.");
        SetConfigurationControlsEnabled(false);
        S.SequenceState = ssWriting;
        S.RequestCode = IsCurrentLoopProbe(S.ProbeType) ? 23 : 20;
        break;
      case ssWriting:
        ++S.RequestCode;
        if ((IsRs485ConfigurableProbe(S.ProbeType) && S.RequestCode > 22) ||
            (IsCurrentLoopProbe(S.ProbeType) && S.RequestCode > 25)) {
          S.RequestCode = 50;
          S.SequenceState = ssWriteFinished;
        }
        break;
      case ssWriteFinished:
        View.SetStatusText("Writing probe data done.");
        SetConfigurationControlsEnabled(true);
        S.RequestCode = 0;
        S.ReadComplete = 1;
        S.SequenceState = ssIdle;
        break;
      default:
        View.SetStatusText("Waiting for user input.");
        S.RequestCode = 0;
        S.ReadComplete = 1;
        S.SequenceState = ssIdle;
        break;
    }
  }

  const int code = S.RequestCode;
  if (code == 1 || (code >= 10 && code <= 25) || code == 50) Send(code);
}
