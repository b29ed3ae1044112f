#include "serial/platform/network/NetworkProblem.h"

#include "serial/platform/Socket.h"

namespace platform::network {

std::string NetworkProblem(int Detail, const std::string& SystemText) {
  switch (Detail) {
    case neterror::kBadAddress:
      return "The address is not valid: write rfc2217://HOST:PORT or socket://HOST:PORT.";
    case neterror::kUnknownHost:
      return "The server's name is not known: check the host name.";
    case neterror::kRefused:
      return "The server refused the connection: check the port number and that the server "
             "runs.";
    case neterror::kTimedOut:
    case neterror::kHostUnreachable:
    case neterror::kNetUnreachable:
      return "The server cannot be reached: check the network and the address.";
    case neterror::kNotRfc2217:
      return "This is not an RFC 2217 server, or it does not answer: it did not answer the line "
             "settings. For a raw TCP port write socket://HOST:PORT.";
    case neterror::kSettingsRefused:
      return "The server does not set its serial line to 1200 baud, 8 data bits, no parity, "
             "1 stop bit.";
    case neterror::kReset:
    case neterror::kAborted:
      return "The server closed the connection: another client may be using its serial line, or "
             "the server cannot open it.";
    default:
      return "The connection to the server failed (" + SystemText + ").";
  }
}

}  // namespace platform::network
