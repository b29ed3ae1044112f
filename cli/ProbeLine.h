#pragma once

// The line a terminal command talks over: what the protocol engine needs of
// it (IProbeLink), and two notices the command needs: bytes are waiting, and
// the line went away under the program (an unplugged adapter).

#include <functional>
#include <memory>
#include <string>

#include "probe/ProbeLink.h"
#include "serial/ComPort.h"

class TProbeLine : public IProbeLink {
 public:
  std::function<void()> OnReceived;
  std::function<void()> OnLost;
  // The request frame just handed to the line (for progress).
  std::function<void(const std::string&)> OnSent;
  virtual void Close() = 0;
};

// The real serial port, set up as the window sets up its port: 1200 baud,
// 8N1, no flow control, the process at high priority while open.
class TComPortLine : public TProbeLine {
 public:
  TComPortLine();
  ~TComPortLine() override;
  // Opens the port named as in the window's list ("ttyUSB0", "COM3") or by
  // a path ("/dev/ttyUSB0", a /dev/serial/by-id link). False with the
  // reason, as the window gives it.
  bool Open(const std::string& Port, std::string& Reason);
  void Close() override;

  void PurgeInput() override;
  void WriteString(const std::string& Bytes) override;
  int InputCount() override;
  char ReadChar() override;
  std::chrono::microseconds LastByteAge() override;

 private:
  struct TEvents;
  std::unique_ptr<TEvents> FEvents;
  TComPort FPort{nullptr};
  bool FClosing = false;
};
