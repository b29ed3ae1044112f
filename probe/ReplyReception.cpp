// Reply reception, dispatch and the reply time-out.

#include "probe/ProbeEngine.h"

void TProbeEngine::ComRxChar(TObject*) {
  while (Link.InputCount() > 0) {
    const auto byte = static_cast<std::uint8_t>(Link.ReadChar());
    if (FEchoMatched < FEcho.size()) {
      // No reply starts like a request, so the first byte that differs from
      // the frame is the reply's, and nothing after it is an echo.
      if (byte == static_cast<std::uint8_t>(FEcho[FEchoMatched])) {
        ++FEchoMatched;
        continue;
      }
      FEcho.clear();
      FEchoMatched = 0;
    }
    S.RxLine[static_cast<std::size_t>(S.RxCount)] = byte;
    ++S.RxCount;
    if (S.RxCount > kRxLineLimit) {
      // Over-long line: dropped, its 41st byte included.
      S.RxCount = 0;
      continue;
    }
    if (byte == '\n') DispatchReply();
  }
}

void TProbeEngine::DispatchReply() {
  TimerTimeout.SetEnabled(false);
  const unsigned messages = FMessagesShown;
  switch (S.RequestCode) {
    case rqSearch:
      ParseSearchReply();
      break;
    case rqType:
      ParseTypeReply();
      break;
    case rqChecksum:
      ParseChecksumReply();
      break;
    case rqAddress:
      ParseAddressReply();
      break;
    case rqOffset1:
      ParseOffset1Reply();
      break;
    case rqOffset2:
      ParseOffset2Reply();
      break;
    case rqProbeLength:
      ParseProbeLengthReply();
      break;
    case rqCurrent:
      ParseCurrentReply();
      break;
    case rqLevelAt4mA:
      ParseLevelAt4mAReply();
      break;
    case rqLevelAt20mA:
      ParseLevelAt20mAReply();
      break;
    case rqAlarmCurrent:
      ParseAlarmCurrentReply();
      break;
    case rqWriteAddress:
    case rqWriteOffset1:
    case rqWriteOffset2:
    case rqWriteLevelAt4mA:
    case rqWriteLevelAt20mA:
    case rqWriteAlarmCurrent:
    case rqEndWrite: {
      const int code = S.RequestCode;
      View.Acknowledged(code, ParseAcknowledge());
      break;
    }
    default:
      ShowMessage("ERROR: Wrong answer received!");
      break;
  }
  // The pause before the next request counts from the reply's last byte on
  // the line, not from when this thread got round to it; after a box, from
  // its closing.
  TimerRequestNext.EnableSince(FMessagesShown == messages ? Link.LastByteAge()
                                                          : std::chrono::microseconds{});
}

void TProbeEngine::TimerTimeoutTimer(TObject*) {
  TimerTimeout.SetEnabled(false);
  if (S.ReadComplete != 0 && S.ProbeFound) {
    // A probe that had been read completely has stopped answering.
    TimerRequestNext.SetEnabled(false);
    ShowMessage("Error: No answer from probe!\r\n\r\nTrying to connect/re-connect.");
    S.ResetConnection();
    S.ProbeTypeName.assign(1, '?');  // (assign: GCC 12 warns falsely on = "?")
    View.SetGroupCaption(TProbeGroup::GroupBox_ProbeData, " Probe Data ");
    S.SearchRetries = kSearchRetries;
    ResetProbeData();
    ApplyProbeType(0);
    View.RefreshDisplay();
  }
  S.ProbeFound = false;
  TimerRequestNext.SetEnabled(true);
}
