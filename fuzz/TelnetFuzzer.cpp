// Feeds arbitrary bytes from a "server", split at arbitrary points, through
// the Telnet / Com Port Control decoder, and checks what it gives back:
// never more data than came, only refusals and acknowledgements as answers
// (three bytes each), bounded messages, and the same outcome whole or in
// pieces. Data escaped by the encoder comes back unchanged.
//
// Input: 1 header byte (split seed), then the received bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "serial/platform/network/Telnet.h"

using namespace platform::telnet;

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size < 1) return 0;
  const unsigned seed = Data[0];
  const std::string input(reinterpret_cast<const char*>(Data + 1), Size - 1);

  TDecoder whole;
  std::string wholeData;
  whole.Feed(input, wholeData);

  TDecoder pieces;
  std::string piecesData;
  std::size_t at = 0, step = seed % 7 + 1;
  while (at < input.size()) {
    const std::size_t n = std::min(step, input.size() - at);
    pieces.Feed(std::string_view(input).substr(at, n), piecesData);
    at += n;
    step = (step * 5 + seed) % 11 + 1;
  }

  Check(wholeData == piecesData);
  Check(wholeData.size() <= input.size());
  const std::string replies = whole.TakeReplies();
  Check(replies == pieces.TakeReplies());
  Check(replies.size() % 3 == 0);
  for (std::size_t i = 0; i < replies.size(); i += 3) {
    const auto verb = static_cast<std::uint8_t>(replies[i + 1]);
    Check(static_cast<std::uint8_t>(replies[i]) == IAC && (verb == DONT || verb == WONT));
  }
  const auto messages = whole.TakeMessages();
  Check(messages == pieces.TakeMessages());
  for (const TComPortMessage& m : messages) Check(m.ValueBytes <= 62 && m.Command > 0);

  // What the tool sends as data arrives as it was.
  TDecoder echo;
  std::string back;
  echo.Feed(Escaped(input), back);
  Check(back == input);
  Check(echo.TakeReplies().empty() && echo.TakeMessages().empty());
  return 0;
}
