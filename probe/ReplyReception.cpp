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
    case 1:
      ParseSearchReply();
      break;
    case 10:
      ParseTypeReply();
      break;
    case 11:
      ParseChecksumReply();
      break;
    case 12:
      ParseAddressReply();
      break;
    case 13:
      ParseOffset1Reply();
      break;
    case 14:
      ParseOffset2Reply();
      break;
    case 15:
      ParseProbeLengthReply();
      break;
    case 16:
      ParseCurrentReply();
      break;
    case 17:
      ParseLevelAt4mAReply();
      break;
    case 18:
      ParseLevelAt20mAReply();
      break;
    case 19:
      ParseAlarmCurrentReply();
      break;
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
    case 50: {
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
    S.SerialNumber = 0;
    S.ProbeId.fill('0');
    S.FirmwareVersion.clear();
    S.FirmwareChecksum.clear();
    S.FirmwareChecksumRead = false;
    S.ProbeTypeName.assign(1, '?');  // (assign: GCC 12 warns falsely on = "?")
    S.ProbeType = 0;
    View.SetGroupCaption(TProbeGroup::GroupBox_ProbeData, " Probe Data ");
    S.SearchRetries = 3;
    S.RequestCode = 0;
    S.SequenceState = ssIdle;
    S.ReadComplete = 0;
    ResetProbeData();
    ApplyProbeType(0);
    View.RefreshDisplay();
  }
  S.ProbeFound = false;
  TimerRequestNext.SetEnabled(true);
}
