#pragma once

// A serial line behind a network server, as a handle of the comm services:
// a TCP connection to rfc2217://HOST:PORT (Telnet with Com Port Control: the
// line settings go to the server and are checked against its answers, a
// purge goes to it too) or socket://HOST:PORT (raw TCP: the server's own line
// settings apply). A reader thread takes what the server sends, decodes it
// and completes the pending event wait; reads take the decoded bytes, writes
// go out at once. A connection that ends is a lost line. One code for both
// systems, over the system's sockets (serial/platform/Socket.h).

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "serial/platform/CommDevice.h"
#include "serial/platform/Socket.h"
#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/Telnet.h"

namespace platform {

class TNetworkLine : public TCommDevice {
 public:
  // The connected line, or nullptr with the failure recorded (its detail
  // one of the socket layer's error numbers, neterror::kBadAddress ...).
  static TNetworkLine* Open(const std::string& Name);
  // Connects to Name's server on the calling thread and keeps the connection
  // for the next Open of Name, which then does not wait for the network (the
  // window's reconnection connects on a thread of its own). False with
  // Detail set when it failed. One connection is kept at most: the last
  // attempt's (numbered by the caller).
  static bool ConnectAhead(const std::string& Name, unsigned Attempt, int& Detail);
  // Closes the connection Attempt made ahead if no open has taken it and no
  // later attempt has replaced it.
  static void DropConnectionAhead(unsigned Attempt);
  ~TNetworkLine() override;

  BOOL Setup(DWORD InQueue, DWORD OutQueue) override;
  BOOL GetState(DCB* Dcb) override;
  // Over RFC 2217: the settings, each checked against the server's answer
  // (kNotRfc2217: the server never negotiated; kSettingsRefused: it set
  // something else).
  BOOL SetState(const DCB* Dcb) override;
  BOOL SetMask(DWORD Mask) override;
  // Takes what has arrived, at once.
  BOOL Read(void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) override;
  BOOL Write(const void* Buffer, DWORD Count, DWORD* Done, OVERLAPPED* Overlapped) override;
  // Over RFC 2217 the receive purge goes to the server too; once it has
  // answered one, what arrives before its answer to the next is discarded.
  BOOL Purge(DWORD Flags) override;
  BOOL ClearError(DWORD* Errors, COMSTAT* Stat) override;
  BOOL ModemStatus(DWORD* Status) override;
  BOOL LastArrival(TClock::time_point* Instant) override;

 private:
  TNetworkLine() = default;
  void ReaderLoop();
  // Sends all of Bytes (under FSendMutex); false with Error set.
  bool SendAll(std::string_view Bytes, int& Error);
  // The following run with FMutex held.
  void Received(std::string_view Bytes, std::string& Replies);
  void HangUp(int Error);
  bool InputWaiting() override;

  std::unique_ptr<TSocket> FSocket = std::make_unique<TSocket>();
  bool FRfc2217 = false;
  std::thread FReader;
  std::mutex FSendMutex;

  telnet::TDecoder FDecoder;
  std::vector<telnet::TComPortMessage> FAnswers;  // not yet taken by SetState
  std::string FInput;                             // data not yet read
  // The purge barrier: purges sent and not yet answered, while the server is
  // known to answer them, and until when the last one is waited for.
  int FPurgesUnanswered = 0;
  bool FAnswersPurges = false;
  TClock::time_point FBarrierUntil;
  DCB FDcb{};
  std::optional<TClock::time_point> FArrived, FLastArrival;
};

}  // namespace platform
