#pragma once

// A protocol engine on a virtual clock, a fake line and a recording window.
// A scripted probe answers the frames written to the line after a virtual
// delay; tests can also push bytes themselves.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "probe/ProbeEngine.h"
#include "toolkit/Application.h"
#include "toolkit/VirtualClock.h"

struct TFakeLink : IProbeLink {
  std::deque<char> Input;
  std::vector<std::string> Written;
  int Purges = 0;
  bool Closed = false;
  std::chrono::microseconds Age{};  // of every byte when it is read
  std::function<void(const std::string&)> OnWrite;

  void PurgeInput() override {
    ++Purges;
    Input.clear();
  }
  void WriteString(const std::string& Bytes) override {
    if (Closed) throw Exception("Can't perform this operation on a closed port");
    Written.push_back(Bytes);
    if (OnWrite) OnWrite(Bytes);
  }
  int InputCount() override { return static_cast<int>(Input.size()); }
  char ReadChar() override {
    const char c = Input.front();
    Input.pop_front();
    return c;
  }
  std::chrono::microseconds LastByteAge() override { return Age; }
};

struct TGroupState {
  bool Visible = false;
  bool Enabled = false;
  int Left = -1;
  int Top = -1;
};

struct TRecordingView : IProbeView {
  std::vector<std::string> Log;  // every call, in order
  std::vector<std::string> Statuses;
  std::vector<std::string> Messages;
  std::map<TProbeControl, bool> Enabled;
  std::map<TProbeControl, std::string> Hints;
  std::map<TProbeGroup, TGroupState> Groups;
  std::map<TProbeGroup, std::string> GroupCaptions;
  std::map<TProbeLabel, std::string> LabelCaptions;
  int Refreshes = 0;
  std::function<void(const std::string&)> OnMessage;

  std::string Status() const { return Statuses.empty() ? "" : Statuses.back(); }
  bool IsEnabled(TProbeControl c) const {
    auto it = Enabled.find(c);
    return it == Enabled.end() ? true : it->second;
  }

  void SetStatusText(const std::string& Text) override {
    Statuses.push_back(Text);
    Log.push_back("status " + Text);
  }
  void SetControlEnabled(TProbeControl Control, bool On) override {
    Enabled[Control] = On;
    Log.push_back(std::string(On ? "enable " : "disable ") + std::to_string(int(Control)));
  }
  void RestoreControlColour(TProbeControl Control) override {
    Log.push_back("colour " + std::to_string(int(Control)));
  }
  void SetControlHint(TProbeControl Control, const std::string& Hint) override {
    Hints[Control] = Hint;
    Log.push_back("hint " + std::to_string(int(Control)));
  }
  void ShowGroup(TProbeGroup Group, int Left, int Top) override {
    Groups[Group] = {true, true, Left, Top};
    Log.push_back("show " + std::to_string(int(Group)) + " " + std::to_string(Left));
  }
  void HideGroup(TProbeGroup Group) override {
    Groups[Group].Visible = false;
    Groups[Group].Enabled = false;
    Log.push_back("hide " + std::to_string(int(Group)));
  }
  void SetGroupCaption(TProbeGroup Group, const std::string& Caption) override {
    GroupCaptions[Group] = Caption;
    Log.push_back("caption " + Caption);
  }
  void SetLabelCaption(TProbeLabel Label, const std::string& Caption) override {
    LabelCaptions[Label] = Caption;
    Log.push_back("label " + Caption);
  }
  void ShowMessage(const std::string& Text) override {
    Messages.push_back(Text);
    Log.push_back("message " + Text);
    if (OnMessage) OnMessage(Text);
  }
  void RefreshDisplay() override {
    ++Refreshes;
    Log.push_back("refresh");
  }
};

// A search reply of the probe's layout, with its checksum.
std::string SearchReply(const std::string& Id, char Status = '0',
                        const std::string& Temperature = "021500", char Marker = ' ',
                        const std::string& Level1 = "0123456",
                        const std::string& Level2 = "0234567");
// The checksum digits of a search reply body (everything before them).
std::string SearchChecksum(const std::string& Body);

// A probe that answers by mnemonic; the identifier is checked.
struct TScriptedProbe {
  std::string Id = "40217";
  std::string TypeReply = "KALMET-RS-D V2.13";
  std::map<std::string, std::string> Replies = {
      {"CS", "AB12"}, {"AD", "192"},  {"OP", "-12.5"}, {"OW", "3.25"}, {"SL", "2506.4"},
      {"IS", "u.P."}, {"PL", "u.P."}, {"PH", "u.P."},  {"FS", "u.P."},
  };
  bool Silent = false;
  int SearchReplies = 1;  // copies of the search reply in one burst
  bool Echo = false;      // the adapter sends every frame back before the reply
  std::string Acknowledge = "i.O.";
  // What arrives for a frame (the echo, if any, and the probe's line), or nothing.
  std::optional<std::string> Answer(const std::string& Frame) const;
  std::optional<std::string> Reply(const std::string& Frame) const;
};

class ProbeEngineTest : public ::testing::Test {
 protected:
  ProbeEngineTest();
  ~ProbeEngineTest() override;

  // What the port selection does: a fresh connection, sequencer enabled.
  void SelectPort();
  // Bytes arriving from the probe, in one received-characters event.
  void Receive(const std::string& Bytes);
  // Runs virtual time until the condition holds (false after Limit ms).
  bool RunUntil(const std::function<bool()>& Done, TVirtualClock::TTime Limit = 60000);
  bool RunUntilStatus(const std::string& Status, TVirtualClock::TTime Limit = 60000);
  // The frames written since the last call, as texts without CR LF.
  std::vector<std::string> TakeFrames();
  // Mnemonic of a frame ("S 0", "VN4", "AD", "STP", ...).
  static std::string Mnemonic(const std::string& Frame);
  std::vector<std::string> TakeMnemonics();
  // Search + first read against the scripted probe.
  void ConnectAndRead();

  TVirtualClock Clock;
  TComponent Owner{nullptr};
  TCustomTimer* TimerRequestNext;
  TCustomTimer* TimerTimeout;
  TConnectionState State;
  TRecordingView View;
  TFakeLink Link;
  TProbeEngine Engine;
  TScriptedProbe Probe;
  TVirtualClock::TTime ReplyDelay = 50;

 private:
  struct TDelivery : TObject {
    ProbeEngineTest* Test;
    void Fire(TObject*);
  };
  TCustomTimer* FDeliveryTimer;
  TDelivery FDelivery;
  std::deque<std::string> FPendingReplies;
  std::size_t FFramesTaken = 0;
  TApplication::TMessagePresenter FPreviousPresenter;
};
