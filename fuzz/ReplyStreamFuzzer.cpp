// Feeds arbitrary byte streams, split at arbitrary points and interleaved
// with the passing of time, through the protocol engine's reception for
// every request code, and checks the engine's invariants after each event.
//
// Input: 4 header bytes (request code, state flags, identifier length,
// split seed), then the received bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "probe/ProbeEngine.h"
#include "toolkit/Application.h"
#include "toolkit/VirtualClock.h"

namespace {

// No request, and every request of the table.
constexpr int kCodes[] = {rqNone,
                          rqSearch,
                          rqType,
                          rqChecksum,
                          rqAddress,
                          rqOffset1,
                          rqOffset2,
                          rqProbeLength,
                          rqCurrent,
                          rqLevelAt4mA,
                          rqLevelAt20mA,
                          rqAlarmCurrent,
                          rqWriteAddress,
                          rqWriteOffset1,
                          rqWriteOffset2,
                          rqWriteLevelAt4mA,
                          rqWriteLevelAt20mA,
                          rqWriteAlarmCurrent,
                          rqReleaseLoop,
                          rqEndWrite};

struct TQuietView : IProbeView {
  void SetStatusText(const std::string&) override {}
  void SetControlEnabled(TProbeControl, bool) override {}
  void RestoreControlColour(TProbeControl) override {}
  void SetControlHint(TProbeControl, const std::string& Hint) override {
    if (Hint.size() > 5100) std::abort();
  }
  void ShowGroup(TProbeGroup, int, int) override {}
  void HideGroup(TProbeGroup) override {}
  void SetGroupCaption(TProbeGroup, const std::string&) override {}
  void SetLabelCaption(TProbeLabel, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  void RefreshDisplay() override {}
};

struct TStreamLink : IProbeLink {
  std::string Input;
  std::size_t Next = 0;
  void PurgeInput() override { Next = Input.size(); }
  void WriteString(const std::string& Bytes) override {
    if (Bytes.size() > 31) std::abort();  // no frame is longer
  }
  int InputCount() override { return static_cast<int>(Input.size() - Next); }
  char ReadChar() override { return Input[Next++]; }
};

#define Check(Holds)                                                              \
  do {                                                                            \
    if (!(Holds)) {                                                               \
      std::fprintf(stderr, "invariant broken: %s (line %d)\n", #Holds, __LINE__); \
      std::abort();                                                               \
    }                                                                             \
  } while (false)

void CheckInvariants(const TConnectionState& S) {
  Check(S.RxCount >= 0 && S.RxCount <= kRxLineLimit);
  Check(S.ProbeIdLength == 0 || (S.ProbeIdLength >= 5 && S.ProbeIdLength <= 9));
  Check(S.ProbeTypeName.size() <= kRxLineLimit - 2);
  Check(S.FirmwareVersion.size() <= kRxLineLimit - 2);
  Check(S.FirmwareChecksum.size() <= 4);
  Check(S.SequenceState >= ssIdle && S.SequenceState <= ssWriteFinished);
  Check(S.ReadComplete == 0 || S.ReadComplete == 1);
  Check(S.ProbeType >= 0 && S.ProbeType <= 7);
  Check(S.SearchRetries >= 0 && S.SearchRetries <= 3);
  Check(S.RequestCode >= 0 && S.RequestCode <= 50);
  const int alarm = S.ProbeData.AlarmCurrentIndex;
  Check((alarm >= 0 && alarm <= 9) || alarm == kAlarmCurrentNotRead);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  static const bool quiet = [] {
    Application().SetMessagePresenter([](const std::string&, const std::string&) {});
    return true;
  }();
  (void)quiet;
  if (Size < 4) return 0;

  TVirtualClock clock;
  TComponent owner(nullptr);
  TCustomTimer* next = clock.CreateTimer(&owner);
  TCustomTimer* timeout = clock.CreateTimer(&owner);
  TConnectionState state;
  TQuietView view;
  TStreamLink link;
  TProbeEngine engine(state, view, link, *next, *timeout);
  engine.TakeTimers();

  state.PortOpen = true;
  state.RequestCode = kCodes[Data[0] % std::size(kCodes)];
  state.ReadComplete = Data[1] & 1;
  state.ProbeFound = Data[1] & 2;
  state.SequenceState = (Data[1] >> 2) % 6;
  state.ProbeType = (Data[1] >> 5) % 8;
  // Only states the sequencer can be in: a command runs after a complete
  // read, and a write only for a probe with a write sequence.
  if (state.SequenceState != ssIdle) {
    state.ReadComplete = 1;
    state.ProbeFound = true;
  }
  if (state.SequenceState >= ssWriteRequested && !IsCurrentLoopProbe(state.ProbeType) &&
      !IsRs485ConfigurableProbe(state.ProbeType))
    state.ProbeType = 6;
  state.ProbeIdLength = Data[2] % 6 == 0 ? 0 : 4 + Data[2] % 6;
  state.SearchRetries = (Data[2] >> 4) % 4;
  if (Data[2] & 0x80) timeout->SetEnabled(true);
  std::uint32_t seed = Data[3] | 1u;
  const auto random = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return seed;
  };

  link.Input.assign(reinterpret_cast<const char*>(Data + 4), Size - 4);
  const std::string stream = link.Input;
  link.Input.clear();
  std::size_t at = 0;
  while (at < stream.size()) {
    const std::size_t chunk = 1 + random() % 24;
    link.Input += stream.substr(at, chunk);
    at += chunk;
    engine.ComRxChar(nullptr);
    CheckInvariants(state);
    clock.Advance(random() % 400);
    CheckInvariants(state);
  }
  clock.Advance(5000);
  CheckInvariants(state);
  return 0;
}
