// The probe data record and the parsers of the reply lines.

#include <cmath>
#include <cstring>

#include "probe/ProbeEngine.h"
#include "toolkit/Numbers.h"

namespace {

constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;

std::string WithoutSpaces(std::string Text) {
  std::erase(Text, ' ');
  return Text;
}

// Reply values use "." whatever the operator's locale.
bool TryReplyDecimal(const std::string& Text, long double& Value) {
  return TryTextToFloat(Text, Value, '.');
}

std::string LevelHint(const char* Point, long double LevelLimit) {
  return std::string("Level at ") + Point +
         " mA point.\r\nmin:      0 mm\r\nmax: " + FormatFloat("0", LevelLimit, '.') + " mm";
}

}  // namespace

void TProbeEngine::ResetProbeData() {
  TProbeData& d = S.ProbeData;
  d.Address = 0;
  d.Offset1 = 0;
  d.Offset2 = 0;
  d.LevelAt4mA = 0;
  d.LevelAt20mA = 0;
  d.AlarmCurrentIndex = kAlarmCurrentNotRead;
  d.Temperature = 0;
  d.Level1 = 0;
  d.Level2 = 0;
  d.Current = 0;
  View.RefreshDisplay();
}

bool TProbeEngine::EndsWithCrLf() const {
  return S.RxCount >= 2 && S.RxLine[S.RxCount - 2] == CR && S.RxLine[S.RxCount - 1] == LF;
}

bool TProbeEngine::WellFormed() const {
  return EndsWithCrLf() && std::memcmp(S.RxLine.data(), "u.P.", 4) != 0;
}

std::string TProbeEngine::RawText() const {
  const int length = S.RxCount >= 2 ? S.RxCount - 2 : 0;
  return std::string(reinterpret_cast<const char*>(S.RxLine.data()),
                     static_cast<std::size_t>(length));
}

std::string TProbeEngine::CompactText() const {
  return WithoutSpaces(RawText());
}

bool TProbeEngine::VerifySearchChecksum() const {
  if (S.RxCount < 5) return false;
  unsigned sum = 0;
  for (int i = 0; i <= S.RxCount - 6; ++i) sum += S.RxLine[i];
  while (sum > 255) sum -= 255;
  std::int32_t expected = 0;
  const std::string digits(reinterpret_cast<const char*>(&S.RxLine[S.RxCount - 5]), 3);
  if (!TryStrToInt(digits, expected)) expected = 0;
  return static_cast<std::int64_t>(sum) == expected;
}

void TProbeEngine::ParseSearchReply() {
  TimerTimeout.SetEnabled(false);
  if (!EndsWithCrLf()) return;
  if (S.SearchRetries > 0) --S.SearchRetries;

  const int L = S.RxCount - 31;
  const bool lengthOk = L >= 5 && L <= 9;
  // Every request after the search carries the identifier: a line that is
  // not accepted leaves the identifier length of an accepted probe alone.
  if (!S.ProbeFound) S.ProbeIdLength = lengthOk ? L : 0;
  if (!lengthOk) return;
  const auto field = [&](int Offset, int Count) {
    return std::string(reinterpret_cast<const char*>(&S.RxLine[Offset]),
                       static_cast<std::size_t>(Count));
  };
  if (S.SearchRetries != 0 && S.RxLine[L + 1] != '0') return;
  if (!VerifySearchChecksum()) return;

  S.ProbeFound = true;
  S.ProbeIdLength = L;
  std::memcpy(S.ProbeId.data(), S.RxLine.data(), static_cast<std::size_t>(L));
  if (!TryStrToInt(field(0, L), S.SerialNumber)) S.SerialNumber = 0;

  std::int32_t raw = 0;
  TProbeData& d = S.ProbeData;
  d.Temperature = TryStrToInt(WithoutSpaces(field(L + 3, 6)), raw) ? raw * 0.001L : 0;

  const bool coarse = S.RxLine[L + 9] == '>';
  const long double scale = coarse ? 0.01L : 0.001L;
  if (TryStrToInt(WithoutSpaces(field(L + 10, 7)), raw)) {
    d.Level1 = raw * scale;
    S.FineResolution = !coarse;
  } else {
    d.Level1 = 0;
  }
  d.Level2 = TryStrToInt(WithoutSpaces(field(L + 18, 7)), raw) ? raw * scale : 0;
  View.RefreshDisplay();
}

bool TProbeEngine::BeginValueReply(TProbeControl ColouredControl) {
  TimerTimeout.SetEnabled(false);
  View.RestoreControlColour(ColouredControl);
  S.ProbeFound = true;
  return WellFormed();
}

void TProbeEngine::StoreDecimalReply(TProbeControl Control, long double TProbeData::*Field) {
  if (!BeginValueReply(Control)) return;
  long double value = 0;
  S.ProbeData.*Field = TryReplyDecimal(CompactText(), value) ? value : 0;
  View.RefreshDisplay();
}

void TProbeEngine::ParseChecksumReply() {
  TimerTimeout.SetEnabled(false);
  View.SetControlEnabled(TProbeControl::Button_Read, true);
  if (!WellFormed()) return;
  S.ProbeFound = true;
  const std::string text = RawText();
  S.FirmwareChecksum = text.size() == 4 ? text : "????";
  S.FirmwareChecksumRead = true;
  View.RefreshDisplay();
}

void TProbeEngine::ParseAddressReply() {
  if (!BeginValueReply(TProbeControl::SpinEdit_Address)) return;
  if (!TryStrToInt(RawText(), S.ProbeData.Address)) S.ProbeData.Address = 1;
  View.RefreshDisplay();
}

void TProbeEngine::ParseOffset1Reply() {
  StoreDecimalReply(TProbeControl::Edit_Offset1, &TProbeData::Offset1);
}

void TProbeEngine::ParseOffset2Reply() {
  StoreDecimalReply(TProbeControl::Edit_Offset2, &TProbeData::Offset2);
}

void TProbeEngine::ParseProbeLengthReply() {
  TimerTimeout.SetEnabled(false);
  S.ProbeFound = true;
  if (!WellFormed()) return;
  TProbeData& d = S.ProbeData;
  long double length = 0;
  if (TryReplyDecimal(CompactText(), length)) {
    d.ProbeLength = length;
    d.LevelLimit = std::nearbyint(length / 10) * 10;  // ties to even
  } else {
    d.ProbeLength = 0;
    d.LevelLimit = 16000;
  }
  View.SetControlHint(TProbeControl::Edit_LevelAt20mA, LevelHint("20", d.LevelLimit));
  View.SetControlHint(TProbeControl::Edit_LevelAt4mA, LevelHint("4", d.LevelLimit));
}

void TProbeEngine::ParseCurrentReply() {
  TimerTimeout.SetEnabled(false);
  S.ProbeFound = true;
  if (!WellFormed()) return;
  long double value = 0;
  S.ProbeData.Current = TryReplyDecimal(CompactText(), value) ? value : 0;
  View.RefreshDisplay();
}

void TProbeEngine::ParseLevelAt4mAReply() {
  StoreDecimalReply(TProbeControl::Edit_LevelAt4mA, &TProbeData::LevelAt4mA);
}

void TProbeEngine::ParseLevelAt20mAReply() {
  StoreDecimalReply(TProbeControl::Edit_LevelAt20mA, &TProbeData::LevelAt20mA);
}

void TProbeEngine::ParseAlarmCurrentReply() {
  TimerTimeout.SetEnabled(false);
  View.RestoreControlColour(TProbeControl::ComboBox_AlarmCurrent);
  View.SetControlEnabled(TProbeControl::Button_Read, true);
  if (!WellFormed()) return;
  S.ProbeFound = true;
  const std::string text = RawText();
  S.ProbeData.AlarmCurrentIndex =
      text.size() == 1 && text[0] >= '0' && text[0] <= '9' ? text[0] - '0' : 0;
  View.RefreshDisplay();
}

TAcknowledge TProbeEngine::ParseAcknowledge() {
  TimerTimeout.SetEnabled(false);
  S.ProbeFound = true;
  switch (S.RequestCode) {
    case rqWriteAddress:
      View.RestoreControlColour(TProbeControl::SpinEdit_Address);
      break;
    case rqWriteOffset1:
      View.RestoreControlColour(TProbeControl::Edit_Offset1);
      break;
    case rqWriteOffset2:
      View.RestoreControlColour(TProbeControl::Edit_Offset2);
      break;
    case rqWriteLevelAt4mA:
      View.RestoreControlColour(TProbeControl::Edit_LevelAt4mA);
      View.SetControlEnabled(TProbeControl::Edit_LevelAt4mA, true);
      break;
    case rqWriteLevelAt20mA:
      View.RestoreControlColour(TProbeControl::Edit_LevelAt20mA);
      View.SetControlEnabled(TProbeControl::Edit_LevelAt20mA, true);
      break;
    case rqWriteAlarmCurrent:
      View.RestoreControlColour(TProbeControl::ComboBox_AlarmCurrent);
      break;
    case rqEndWrite:
      View.SetControlEnabled(TProbeControl::Button_Read, true);
      break;
    default:
      break;
  }
  if (S.RxCount != 6 || !EndsWithCrLf()) return TAcknowledge::None;
  return std::memcmp(S.RxLine.data(), "i.O.", 4) == 0 ? TAcknowledge::Positive
                                                      : TAcknowledge::Negative;
}
