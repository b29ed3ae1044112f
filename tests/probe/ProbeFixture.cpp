#include "tests/probe/ProbeFixture.h"

std::string SearchChecksum(const std::string& Body) {
  unsigned sum = 0;
  for (unsigned char c : Body) sum += c;
  while (sum > 255) sum -= 255;
  char digits[4];
  std::snprintf(digits, sizeof digits, "%03u", sum);
  return digits;
}

std::string SearchReply(const std::string& Id, char Status, const std::string& Temperature,
                        char Marker, const std::string& Level1, const std::string& Level2) {
  std::string body = Id + " " + Status + " " + Temperature + Marker + Level1 + " " + Level2 + " ";
  return body + SearchChecksum(body) + "\r\n";
}

std::optional<std::string> TScriptedProbe::Answer(const std::string& Frame) const {
  const std::optional<std::string> reply = Reply(Frame);
  if (!Echo) return reply;
  return Frame + reply.value_or("");
}

std::optional<std::string> TScriptedProbe::Reply(const std::string& Frame) const {
  if (Silent) return std::nullopt;
  const std::string line = Frame.substr(0, Frame.size() - 2);
  if (line == "S 0") {
    std::string burst;
    for (int i = 0; i < SearchReplies; ++i) burst += SearchReply(Id);
    return burst;
  }
  const std::string prefix = line.substr(0, 3);
  if (line.compare(3, Id.size(), Id) != 0) return std::nullopt;
  const std::string rest = line.substr(3 + Id.size());
  if (prefix == "STP" || prefix == "RXP") return Acknowledge + "\r\n";
  if (rest == "VN4") return TypeReply + "\r\n";
  auto it = Replies.find(rest);
  return it == Replies.end() ? std::nullopt : std::optional(it->second + "\r\n");
}

ProbeEngineTest::ProbeEngineTest()
    : TimerRequestNext(Clock.CreateTimer(&Owner)),
      TimerTimeout(Clock.CreateTimer(&Owner)),
      Engine(State, View, Link, *TimerRequestNext, *TimerTimeout),
      FDeliveryTimer(Clock.CreateTimer(&Owner)) {
  Engine.TakeTimers();

  FDelivery.Test = this;
  FDeliveryTimer->SetEnabled(false);
  FDeliveryTimer->SetOnTimer(TNotifyEvent::Of<&TDelivery::Fire>(&FDelivery));
  Link.OnWrite = [this](const std::string& frame) {
    if (auto reply = Probe.Answer(frame)) {
      FPendingReplies.push_back(*reply);
      FDeliveryTimer->SetInterval(static_cast<unsigned>(ReplyDelay));
      FDeliveryTimer->SetEnabled(true);
    }
  };
  // Messages raised outside the view (exceptions of timer handlers) are recorded too.
  FPreviousPresenter = Application().SetMessagePresenter(
      [this](const std::string&, const std::string& text) { View.ShowMessage(text); });
}

ProbeEngineTest::~ProbeEngineTest() {
  Application().SetMessagePresenter(FPreviousPresenter);
}

void ProbeEngineTest::TDelivery::Fire(TObject*) {
  Test->FDeliveryTimer->SetEnabled(false);
  if (Test->FPendingReplies.empty()) return;
  const std::string reply = Test->FPendingReplies.front();
  Test->FPendingReplies.pop_front();
  if (!Test->FPendingReplies.empty()) Test->FDeliveryTimer->SetEnabled(true);
  Test->Receive(reply);
}

void ProbeEngineTest::SelectPort() {
  Engine.BeginConnection();
  TimerRequestNext->SetEnabled(true);
}

void ProbeEngineTest::Receive(const std::string& Bytes) {
  Link.Input.insert(Link.Input.end(), Bytes.begin(), Bytes.end());
  Engine.ComRxChar(nullptr);
}

bool ProbeEngineTest::RunUntil(const std::function<bool()>& Done, TVirtualClock::TTime Limit) {
  return Clock.RunUntil(Done, Limit);
}

bool ProbeEngineTest::RunUntilStatus(const std::string& Status, TVirtualClock::TTime Limit) {
  return RunUntil([&] { return View.Status() == Status; }, Limit);
}

std::vector<std::string> ProbeEngineTest::TakeFrames() {
  std::vector<std::string> frames;
  for (; FFramesTaken < Link.Written.size(); ++FFramesTaken) {
    const std::string& f = Link.Written[FFramesTaken];
    EXPECT_GE(f.size(), 2u);
    EXPECT_EQ(f.substr(f.size() - 2), "\r\n") << "every frame ends in CR LF";
    frames.push_back(f.substr(0, f.size() - 2));
  }
  return frames;
}

std::string ProbeEngineTest::Mnemonic(const std::string& Frame) {
  if (Frame == "S 0") return Frame;
  if (Frame.rfind("STP", 0) == 0) return "STP";
  // After the prefix and the identifier digits.
  std::size_t i = 3;
  while (i < Frame.size() && Frame[i] >= '0' && Frame[i] <= '9') ++i;
  std::string m = Frame.substr(i, 2);
  if (Frame.compare(i, 3, "VN4") == 0) m = "VN4";
  return m;
}

std::vector<std::string> ProbeEngineTest::TakeMnemonics() {
  std::vector<std::string> m;
  for (const auto& f : TakeFrames()) m.push_back(Mnemonic(f));
  return m;
}

void ProbeEngineTest::ConnectAndRead() {
  SelectPort();
  ASSERT_TRUE(RunUntilStatus("Reading probe data done."));
  TakeFrames();
}
