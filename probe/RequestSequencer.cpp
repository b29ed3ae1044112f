// The request sequencer: one step per expiry of TimerRequestNext. A step
// advances the connection state and sends at most one request.

#include "probe/ProbeEngine.h"

void TProbeEngine::TimerRequestNextTimer(TObject*) {
  TimerRequestNext.SetEnabled(false);
  if (!S.PortOpen) return;
  // One request at a time: a box of the engine is open, and whatever closes
  // it starts the sequencer again.
  if (FOpenMessages > 0) return;

  if (!S.ProbeFound) {
    SearchStep();
  } else if (S.ReadComplete == 0) {
    FirstReadStep();
  } else {
    switch (S.SequenceState) {
      case ssReadRequested:
        ReadRequestedStep();
        break;
      case ssReading:
        ReadingStep();
        break;
      case ssWriteRequested:
        WriteRequestedStep();
        break;
      case ssWriting:
        WritingStep();
        break;
      case ssWriteFinished:
        WriteFinishedStep();
        break;
      default:
        IdleStep();
        break;
    }
  }
  // Nothing to send (rqNone after a read or a write): the sequencer rests
  // until a command or a reply enables it again.
  if (IsSequencedRequest(S.RequestCode)) Send(S.RequestCode);
}

void TProbeEngine::SearchStep() {
  View.SetStatusText("Searching for probe.");
  S.RequestCode = rqSearch;
}

void TProbeEngine::FirstReadStep() {
  View.SetStatusText("Reading probe data.");
  // After the search the first read starts with the type.
  if (S.RequestCode != rqNone && S.RequestCode < rqType)
    S.RequestCode = rqType;
  else
    ++S.RequestCode;
  if (S.RequestCode > rqAlarmCurrent) {
    EndRead();
    // A write cut short by a reply time-out left the configuration
    // controls locked; the connection is read again, so unlock them.
    SetConfigurationControlsEnabled(true);
  }
}

void TProbeEngine::ReadRequestedStep() {
  View.SetStatusText("Reading probe data.");
  S.SequenceState = ssReading;
  S.RequestCode = rqSearch;  // the search reply brings the levels and the temperature
}

void TProbeEngine::ReadingStep() {
  // A re-read leaves out the type and the checksum.
  if (S.RequestCode == rqSearch)
    S.RequestCode = rqAddress;
  else
    ++S.RequestCode;
  if (S.RequestCode > rqAlarmCurrent) {
    EndRead();
    S.SequenceState = ssIdle;
  }
}

void TProbeEngine::WriteRequestedStep() {
  if (!IsCurrentLoopProbe(S.ProbeType) && !IsRs485ConfigurableProbe(S.ProbeType)) {
    // No write sequence for this probe type: back to waiting for the
    // operator, with Read available again.
    View.SetStatusText("Waiting for user input.");
    S.RequestCode = rqNone;
    S.SequenceState = ssIdle;
    View.SetControlEnabled(TProbeControl::Button_Read, true);
    return;
  }
  View.SetStatusText("Writing probe data.");
  SetConfigurationControlsEnabled(false);
  S.SequenceState = ssWriting;
  S.RequestCode = IsCurrentLoopProbe(S.ProbeType) ? rqWriteLevelAt4mA : rqWriteAddress;
}

void TProbeEngine::WritingStep() {
  ++S.RequestCode;
  if ((IsRs485ConfigurableProbe(S.ProbeType) && S.RequestCode > rqWriteOffset2) ||
      (IsCurrentLoopProbe(S.ProbeType) && S.RequestCode > rqWriteAlarmCurrent)) {
    S.RequestCode = rqEndWrite;
    S.SequenceState = ssWriteFinished;
  }
}

void TProbeEngine::WriteFinishedStep() {
  View.SetStatusText("Writing probe data done.");
  SetConfigurationControlsEnabled(true);
  S.RequestCode = rqNone;
  S.ReadComplete = 1;
  S.SequenceState = ssIdle;
}

void TProbeEngine::IdleStep() {
  View.SetStatusText("Waiting for user input.");
  S.RequestCode = rqNone;
  S.ReadComplete = 1;
  S.SequenceState = ssIdle;
}

void TProbeEngine::EndRead() {
  View.SetStatusText("Reading probe data done.");
  S.RequestCode = rqNone;
  S.ReadComplete = 1;
}

void TProbeEngine::SetConfigurationControlsEnabled(bool Enabled) {
  for (TProbeControl c : kConfigurationControls) View.SetControlEnabled(c, Enabled);
}
