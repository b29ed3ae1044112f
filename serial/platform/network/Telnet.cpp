#include "serial/platform/network/Telnet.h"

#include <utility>

namespace platform::telnet {

namespace {

constexpr std::size_t kMaxSubnegotiation = 64;  // a Com Port message is 2 to 6 bytes

std::string Bytes(std::initializer_list<std::uint8_t> List) {
  return std::string(List.begin(), List.end());
}

// What we will do ourselves (WILL) and want the server to do (DO).
bool WeMay(std::uint8_t Option) {
  return Option == kBinary || Option == kSuppressGoAhead || Option == kComPortOption;
}
bool TheyMay(std::uint8_t Option) {
  // Never the server's Com Port Control (we are the client) nor its echo.
  return Option == kBinary || Option == kSuppressGoAhead;
}

}  // namespace

std::string Greeting() {
  return Bytes({IAC, WILL, kComPortOption, IAC, WILL, kBinary, IAC, DO, kBinary, IAC, WILL,
                kSuppressGoAhead, IAC, DO, kSuppressGoAhead});
}

std::string Escaped(std::string_view Data) {
  std::string out;
  out.reserve(Data.size());
  for (const char c : Data) {
    out += c;
    if (static_cast<std::uint8_t>(c) == IAC) out += c;
  }
  return out;
}

std::string ComPortCommand(TComPortCommand Command, std::uint32_t Value, int ValueBytes) {
  std::string value;
  for (int i = ValueBytes - 1; i >= 0; --i) value += static_cast<char>((Value >> (8 * i)) & 0xFF);
  return Bytes({IAC, SB, kComPortOption, Command}) + Escaped(value) + Bytes({IAC, SE});
}

void TDecoder::Feed(std::string_view Bytes, std::string& Data) {
  for (const char c : Bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    switch (FState) {
      case TState::Data:
        if (b == IAC)
          FState = TState::Iac;
        else
          Data += c;
        break;
      case TState::Iac:
        FNegotiated = true;
        if (b == IAC) {  // a doubled 0xFF is data
          Data += c;
          FState = TState::Data;
        } else if (b == WILL || b == WONT || b == DO || b == DONT) {
          FVerb = b;
          FState = TState::Verb;
        } else if (b == SB) {
          FSub.clear();
          FSubTooLong = false;
          FState = TState::Sub;
        } else {
          FState = TState::Data;  // NOP, GA and the other commands of one byte: nothing to do
        }
        break;
      case TState::Verb:
        Option(FVerb, b);
        FState = TState::Data;
        break;
      case TState::Sub:
        if (b == IAC) {
          FState = TState::SubIac;
        } else if (FSub.size() < kMaxSubnegotiation) {
          FSub += c;
        } else {
          FSubTooLong = true;
        }
        break;
      case TState::SubIac:
        if (b == SE) {
          EndOfSubnegotiation();
          FState = TState::Data;
        } else if (b == IAC) {  // a doubled 0xFF in the value
          if (FSub.size() < kMaxSubnegotiation)
            FSub += c;
          else
            FSubTooLong = true;
          FState = TState::Sub;
        } else {
          // IAC and anything else inside a subnegotiation: the server broke it
          // off; what it had is dropped, the command counts as a new one.
          FState = TState::Iac;
          Feed(std::string_view(&c, 1), Data);
        }
        break;
    }
  }
}

// The greeting asked for all we want, so an agreement needs no answer; a
// request for anything else is refused, and an option switched off is
// acknowledged once, so that no loop of answers arises.
void TDecoder::Option(std::uint8_t Verb, std::uint8_t Option) {
  const auto reply = [this, Option](std::uint8_t Answer) {
    FReplies += static_cast<char>(IAC);
    FReplies += static_cast<char>(Answer);
    FReplies += static_cast<char>(Option);
  };
  switch (Verb) {
    case DO:  // the server asks us to do it
      if (WeMay(Option))
        FWeDo[Option] = true;
      else
        reply(WONT);
      break;
    case DONT:
      if (FWeDo[Option]) {
        FWeDo[Option] = false;
        reply(WONT);
      }
      break;
    case WILL:  // the server offers to do it
      if (TheyMay(Option))
        FTheyDo[Option] = true;
      else
        reply(DONT);
      break;
    case WONT:
      if (FTheyDo[Option]) {
        FTheyDo[Option] = false;
        reply(DONT);
      }
      break;
  }
}

void TDecoder::EndOfSubnegotiation() {
  if (FSubTooLong || FSub.size() < 2 || static_cast<std::uint8_t>(FSub[0]) != kComPortOption)
    return;
  const auto code = static_cast<std::uint8_t>(FSub[1]);
  if (code <= kServerOffset) return;  // not a server's message
  TComPortMessage message;
  message.Command = static_cast<std::uint8_t>(code - kServerOffset);
  message.ValueBytes = FSub.size() - 2;
  for (std::size_t i = 2; i < FSub.size() && i < 6; ++i)
    message.Value = (message.Value << 8) | static_cast<std::uint8_t>(FSub[i]);
  FMessages.push_back(message);
}

std::string TDecoder::TakeReplies() {
  return std::exchange(FReplies, {});
}

std::vector<TComPortMessage> TDecoder::TakeMessages() {
  return std::exchange(FMessages, {});
}

}  // namespace platform::telnet
