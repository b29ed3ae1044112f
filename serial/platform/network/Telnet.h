#pragma once

// The bytes of a serial line behind a network server that speaks Telnet with
// the Com Port Control option (RFC 854, RFC 2217): what the client sends to
// negotiate, to set the line and to purge it, and a decoder for what the
// server sends, which is input from the network: any bytes, split anywhere.
// No sockets here; the line (NetworkLine) moves the bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::telnet {

inline constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                              SE = 240;
inline constexpr std::uint8_t kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPortOption = 44;

// Com Port Control commands, client to server; the server answers command + 100.
enum TComPortCommand : std::uint8_t {
  cpSetBaudrate = 1,
  cpSetDatasize = 2,
  cpSetParity = 3,
  cpSetStopsize = 4,
  cpSetControl = 5,
  cpNotifyLinestate = 6,
  cpNotifyModemstate = 7,
  cpSetLinestateMask = 10,
  cpSetModemstateMask = 11,
  cpPurgeData = 12,
};
inline constexpr std::uint8_t kServerOffset = 100;
inline constexpr std::uint8_t kPurgeReceiveBuffer = 1;  // PURGE-DATA's value

// The client's opening: it will do Com Port Control, and binary and
// suppress-go-ahead both ways; nothing else.
std::string Greeting();
// Data for the line, with every 0xFF doubled.
std::string Escaped(std::string_view Data);
// A Com Port Control command with its value (sent most significant byte
// first, 0xFF doubled).
std::string ComPortCommand(TComPortCommand Command, std::uint32_t Value, int ValueBytes);

// What the server said of the line: its answer to a command (Command is the
// client's number, the server's less 100) or a notification, with its value.
struct TComPortMessage {
  std::uint8_t Command = 0;
  std::uint32_t Value = 0;  // up to the first four bytes, most significant first
  std::size_t ValueBytes = 0;
  friend bool operator==(const TComPortMessage&, const TComPortMessage&) = default;
};

class TDecoder {
 public:
  // Takes bytes from the server in any pieces: appends the line's data to
  // Data, answers negotiations (TakeReplies) and collects Com Port messages
  // (TakeMessages).
  void Feed(std::string_view Bytes, std::string& Data);
  // The negotiation answers owed to the server since the last call.
  std::string TakeReplies();
  std::vector<TComPortMessage> TakeMessages();
  // The server has sent a Telnet command (an RFC 2217 server negotiates at
  // once; a raw TCP port never does).
  bool Negotiated() const { return FNegotiated; }

 private:
  void Option(std::uint8_t Verb, std::uint8_t Option);
  void EndOfSubnegotiation();

  enum class TState { Data, Iac, Verb, Sub, SubIac } FState = TState::Data;
  std::uint8_t FVerb = 0;
  std::string FSub;  // a subnegotiation's bytes, up to a bound
  bool FSubTooLong = false;
  std::string FReplies;
  std::vector<TComPortMessage> FMessages;
  bool FNegotiated = false;
  // Options already agreed (each answered once, so that no loop arises).
  bool FWeDo[256] = {};
  bool FTheyDo[256] = {};
};

}  // namespace platform::telnet
