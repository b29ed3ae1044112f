#pragma once

// A serial line behind a network server, as a handle of the comm services:
// a TCP connection to rfc2217://HOST:PORT (Telnet with Com Port Control: the
// line settings go to the server and are checked against its answers, a
// purge goes to it too) or socket://HOST:PORT (raw TCP: the server's own line
// settings apply). A reader thread takes what the server sends, decodes it
// and completes the pending event wait; reads take the decoded bytes, writes
// go out at once. A connection that ends is a lost line.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "serial/platform/linux/CommDevice.h"
#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/Telnet.h"

namespace platform {

class TNetworkLine : public TCommDevice {
 public:
  // The connected line, or INVALID_HANDLE_VALUE with the error set (the
  // errno says why: EINVAL a malformed address, ENOENT a name that does not
  // resolve, ECONNREFUSED, ETIMEDOUT, EHOSTUNREACH ...).
  static HANDLE Open(const std::string& Name);
  ~TNetworkLine() override;

  BOOL Setup(DWORD InQueue, DWORD OutQueue) override;
  BOOL GetState(DCB* Dcb) override;
  // Over RFC 2217: the settings, each checked against the server's answer
  // (EPROTO: the server never negotiated; ENOTSUP: it set something else).
  BOOL SetState(const DCB* Dcb) override;
  BOOL SetMask(DWORD Mask) override;
  BOOL WaitEvent(DWORD* EventWord, OVERLAPPED* Overlapped) override;
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
  bool Connect(const network::TNetworkAddress& Address, int& Errno);
  void ReaderLoop();
  // Sends all of Bytes (under FSendMutex); false with errno set.
  bool SendAll(std::string_view Bytes);
  // The following run with FMutex held.
  void Received(std::string_view Bytes, std::string& Replies);
  void HangUp(int Errno);

  int FSocket = -1;
  int FWakeFd = -1;
  bool FRfc2217 = false;
  std::thread FReader;
  std::mutex FSendMutex;

  bool FStopping = false;
  telnet::TDecoder FDecoder;
  std::vector<telnet::TComPortMessage> FAnswers;  // not yet taken by SetState
  std::string FInput;                             // data not yet read
  // The purge barrier: purges sent and not yet answered, while the server is
  // known to answer them, and until when the last one is waited for.
  int FPurgesUnanswered = 0;
  bool FAnswersPurges = false;
  TClock::time_point FBarrierUntil;
  DCB FDcb{};
  DWORD FLatched = 0;
  std::optional<OVERLAPPED*> FWaitOverlapped;
  DWORD* FWaitWord = nullptr;
  std::optional<TClock::time_point> FArrived, FLastArrival;
};

}  // namespace platform
