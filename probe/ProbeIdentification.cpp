// Probe identification: the type reply, the type table and the adaptation of
// the window to the probe type.

#include "probe/ProbeIdentification.h"

#include "probe/ProbeEngine.h"

namespace {

char AsciiUpper(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

}  // namespace

bool HasTypePrefix(std::string_view Text, std::string_view Pattern) {
  if (Text.size() < Pattern.size()) return false;
  for (std::size_t i = 0; i < Pattern.size(); ++i)
    if (AsciiUpper(Text[i]) != AsciiUpper(Pattern[i])) return false;
  return true;
}

std::int32_t ProbeTypeOfName(std::string_view ProbeTypeName) {
  for (const TProbeTypeEntry& entry : kProbeTypeTable)
    if (HasTypePrefix(ProbeTypeName, entry.Prefix)) return entry.Code;
  return 1;
}

void TProbeEngine::ParseTypeReply() {
  TimerTimeout.SetEnabled(false);
  if (!EndsWithCrLf()) return;
  S.ProbeFound = true;
  const std::string text = RawText();
  if (const auto space = text.find(' '); space != std::string::npos) {
    S.ProbeTypeName = text.substr(0, space);
    S.FirmwareVersion = text.substr(space + 1);
  } else {
    S.ProbeTypeName = text;
    S.FirmwareVersion.clear();
  }
  S.ProbeType = ProbeTypeOfName(S.ProbeTypeName);
  ApplyProbeType(S.ProbeType);
  View.RefreshDisplay();
}

void TProbeEngine::ApplyProbeType(std::int32_t Code) {
  using G = TProbeGroup;
  const std::string caption = " " + S.ProbeTypeName + " ";
  switch (Code) {
    case 0:
    case 1:
      View.HideGroup(G::GroupBox_MeasurementDataKALMET_RS485);
      View.HideGroup(G::GroupBox_MeasurementDataKALMET_C);
      View.HideGroup(G::GroupBox_ConfigurationDataKALMET_RS485);
      View.HideGroup(G::GroupBox_ConfigurationDataKALMET_C);
      if (Code == 1) {
        View.SetLabelCaption(TProbeLabel::LabelUnsupportedOrUnknownMessage,
                             "The connected probe is not supported.");
        View.SetLabelCaption(TProbeLabel::LabelUnsupportedOrUnknownType,
                             "Probe type: " + S.ProbeTypeName);
        View.ShowGroup(G::GroupBox_Information, 8, 104);
      }
      break;
    case 2:
    case 3:
    case 4:
      View.SetGroupCaption(G::GroupBox_ProbeData, caption);
      View.ShowGroup(G::GroupBox_MeasurementDataKALMET_C, 8, 104);
      View.HideGroup(G::GroupBox_MeasurementDataKALMET_RS485);
      View.ShowGroup(G::GroupBox_ConfigurationDataKALMET_C, 192, 104);
      View.HideGroup(G::GroupBox_ConfigurationDataKALMET_RS485);
      View.HideGroup(G::GroupBox_Information);
      break;
    case 5:
      View.SetGroupCaption(G::GroupBox_ProbeData, caption);
      View.ShowGroup(G::GroupBox_MeasurementDataKALMET_RS485, 8, 104);
      View.HideGroup(G::GroupBox_MeasurementDataKALMET_C);
      break;
    case 6:
    case 7:
      View.SetGroupCaption(G::GroupBox_ProbeData, caption);
      View.ShowGroup(G::GroupBox_MeasurementDataKALMET_RS485, 8, 104);
      View.HideGroup(G::GroupBox_MeasurementDataKALMET_C);
      View.ShowGroup(G::GroupBox_ConfigurationDataKALMET_RS485, 192, 104);
      View.HideGroup(G::GroupBox_ConfigurationDataKALMET_C);
      View.HideGroup(G::GroupBox_Information);
      break;
    default:
      break;
  }
}
