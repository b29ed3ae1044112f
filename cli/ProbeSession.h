#pragma once

// The protocol engine without a window: the connection state, the two
// protocol timers, and a view that keeps what the window would show (status
// text, message boxes, acknowledgements) for a terminal command to report.
// Requests, pacing and time-outs are exactly the window's.

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/ProbeLine.h"
#include "probe/ProbeEngine.h"
#include "toolkit/Timer.h"

class TProbeSession : public TComponent, private IProbeView {
 public:
  TProbeSession(TProbeLine& Line, TTimerFactory& Timers);

  TConnectionState& State() { return S; }
  const TConnectionState& State() const { return S; }
  TProbeEngine& Engine() { return FEngine; }
  TCustomTimer& TimerRequestNext() { return *FTimerRequestNext; }
  TCustomTimer& TimerTimeout() { return *FTimerTimeout; }

  // A fresh connection on the open line, as the window's port selection
  // starts it: the sequencer searches, then reads.
  void Connect();
  // The Read command: everything read again.
  void ReadAgain();
  // Nothing more is sent: both timers stop.
  void Stop();

  // Resting: the last read or write has ended and nothing is due.
  bool Resting() const;
  // A probe answered since Connect.
  bool EverFound() const { return FEverFound; }
  bool Lost() const { return FLost; }
  const std::string& Status() const { return FStatus; }
  // The read requests whose replies gave a value since Connect or ReadAgain.
  const std::set<int>& Given() const { return FGiven; }
  // The texts of the message boxes the window would have shown.
  std::vector<std::string> Messages;
  // The acknowledgements of the last write, by request code.
  std::map<int, TAcknowledge> Acknowledgements;
  std::function<void(const std::string&)> OnStatus;

 private:
  void RxChar();
  // IProbeView
  void SetStatusText(const std::string& Text) override;
  void SetControlEnabled(TProbeControl, bool) override {}
  void RestoreControlColour(TProbeControl) override {}
  void SetControlHint(TProbeControl, const std::string&) override;
  void ShowGroup(TProbeGroup, int, int) override {}
  void HideGroup(TProbeGroup) override {}
  void SetGroupCaption(TProbeGroup, const std::string&) override {}
  void SetLabelCaption(TProbeLabel, const std::string&) override {}
  void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
  // The values as the window holds them once it has shown them: its fields
  // keep them within their limits, with the decimals they show.
  void RefreshDisplay() override;
  void Acknowledged(int RequestCode, TAcknowledge Outcome) override;

  TProbeLine& FLine;
  TConnectionState S;
  TCustomTimer* FTimerRequestNext;
  TCustomTimer* FTimerTimeout;
  TProbeEngine FEngine;
  std::string FStatus;
  std::set<int> FGiven;
  bool FEverFound = false;
  bool FLost = false;
};
