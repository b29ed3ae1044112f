// Request frames and their sending.

#include "probe/RequestFrames.h"

#include <algorithm>
#include <cstring>

#include "probe/ProbeEngine.h"
#include "toolkit/Numbers.h"

namespace {

using V = TRequestValue;
constexpr TRequestInfo kRequests[] = {
    {rqSearch, "S 0", "", V::None, nullptr, 1000},
    {rqType, "TXP", "VN4", V::None, nullptr, 500},
    {rqChecksum, "TXP", "CS", V::None, nullptr, 3000},
    {rqAddress, "TXP", "AD", V::None, nullptr, 500},
    {rqOffset1, "TXP", "OP", V::None, nullptr, 500},
    {rqOffset2, "TXP", "OW", V::None, nullptr, 500},
    {rqProbeLength, "TXP", "SL", V::None, nullptr, 500},
    {rqCurrent, "TXP", "IS", V::None, nullptr, 500},
    {rqLevelAt4mA, "TXP", "PL", V::None, nullptr, 500},
    {rqLevelAt20mA, "TXP", "PH", V::None, nullptr, 500},
    {rqAlarmCurrent, "TXP", "FS", V::None, nullptr, 500},
    {rqWriteAddress, "RXP", "AD", V::Address, nullptr, 500},
    {rqWriteOffset1, "RXP", "OP", V::Decimal, &TProbeData::Offset1, 500},
    {rqWriteOffset2, "RXP", "OW", V::Decimal, &TProbeData::Offset2, 500},
    {rqWriteLevelAt4mA, "RXP", "PL", V::Decimal, &TProbeData::LevelAt4mA, 1000},
    {rqWriteLevelAt20mA, "RXP", "PH", V::Decimal, &TProbeData::LevelAt20mA, 1000},
    {rqWriteAlarmCurrent, "RXP", "FS", V::AlarmDigit, nullptr, 1000},
    {rqReleaseLoop, "RXP", "IS", V::None, nullptr, 1000},
    {rqEndWrite, "STP", "", V::None, nullptr, 1000},
};

// Appends to a fixed frame buffer; refuses (returns false) past its capacity.
class TFrameWriter {
 public:
  TFrameWriter(TFrame& Frame, int Capacity) : F(Frame), FCapacity(Capacity) {}
  bool Put(const char* Bytes, int Count) {
    if (Count < 0 || F.Count + Count > FCapacity) return false;
    std::memcpy(F.Bytes.data() + F.Count, Bytes, static_cast<std::size_t>(Count));
    F.Count += Count;
    return true;
  }
  bool Put(const std::string& Text) { return Put(Text.data(), static_cast<int>(Text.size())); }

 private:
  TFrame& F;
  int FCapacity;
};

}  // namespace

const TRequestInfo* FindRequest(int Code) {
  const auto* it = std::find_if(std::begin(kRequests), std::end(kRequests),
                                [Code](const TRequestInfo& r) { return r.Code == Code; });
  return it == std::end(kRequests) ? nullptr : it;
}

bool IsSequencedRequest(int Code) {
  return Code != rqReleaseLoop && FindRequest(Code) != nullptr;
}

std::string WireDecimal(long double Value) {
  std::string text = FormatFloat("0.000", Value);
  std::replace(text.begin(), text.end(), DecimalSeparator(), '.');
  return text;
}

TFrame BuildFrame(const TRequestInfo& Request, const TConnectionState& State) {
  TFrame frame;
  const bool search = Request.Code == rqSearch;
  const int capacity = search ? 8 : Request.Value == TRequestValue::Decimal ? 31 : 21;
  TFrameWriter out(frame, capacity);

  out.Put(Request.Prefix);
  if (!search) {
    const int idLength = std::clamp<std::int32_t>(State.ProbeIdLength, 0, kProbeIdSize);
    out.Put(State.ProbeId.data(), idLength);
  }
  out.Put(Request.Mnemonic);

  const TProbeData& data = State.ProbeData;
  switch (Request.Value) {
    case TRequestValue::None:
      break;
    case TRequestValue::Address: {
      const char digits[3] = {static_cast<char>('0' + data.Address / 100),
                              static_cast<char>('0' + data.Address % 100 / 10),
                              static_cast<char>('0' + data.Address % 10)};
      out.Put(digits, 3);
      break;
    }
    case TRequestValue::Decimal: {
      const std::string value = WireDecimal(data.*Request.Decimal);
      // The value must leave room for CR LF; a frame cut short is never sent.
      if (!out.Put(value) || !out.Put("\r\n")) {
        frame.Count = 0;
        frame.RefusedValue = value;
      }
      return frame;
    }
    case TRequestValue::AlarmDigit:
      out.Put(data.AlarmCurrentIndex >= 1 ? "1" : "0");
      break;
  }
  out.Put("\r\n");
  return frame;
}

bool TProbeEngine::Send(int Code) {
  const TRequestInfo* request = FindRequest(Code);
  if (!request) return false;
  S.RequestCode = Code;
  const TFrame frame = BuildFrame(*request, S);
  if (frame.RefusedValue) {
    // Never sent cut short: the operator is told, and the sequence goes on
    // with its next step as after a refused write. Nothing is in flight
    // while the box is open, so a line arriving meanwhile has no parser.
    S.RequestCode = rqNone;
    ShowMessage("The value " + *frame.RefusedValue +
                " is too long to be sent to the probe. It was not written.");
    S.RequestCode = Code;
    ScheduleNextRequest();
    return true;
  }
  SendRequest(frame.Bytes.data(), frame.Count);
  TimerTimeout.SetInterval(request->Timeout);
  TimerTimeout.SetEnabled(true);
  return true;
}

void TProbeEngine::SendRequest(const char* Frame, int Count) {
  Link.PurgeInput();
  S.RxCount = 0;
  FEcho.assign(Frame, static_cast<std::size_t>(Count));
  FEchoMatched = 0;
  Link.WriteString(FEcho);
  TimerTimeout.SetEnabled(true);
}
