#include "serial/platform/network/NetworkAddress.h"

#include <cctype>

namespace platform::network {

namespace {

constexpr const char* kRfc2217 = "rfc2217://";
constexpr const char* kSocket = "socket://";

// A scheme is known in any case (RFC2217://, as Windows' port names are).
bool StartsWith(const std::string& Text, const std::string& Prefix) {
  if (Text.size() < Prefix.size()) return false;
  for (std::size_t i = 0; i < Prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(Text[i])) != Prefix[i]) return false;
  return true;
}

}  // namespace

bool IsNetworkAddress(const std::string& Name) {
  return StartsWith(Name, kRfc2217) || StartsWith(Name, kSocket);
}

bool ParseNetworkAddress(const std::string& Name, TNetworkAddress& Address, std::string& Error) {
  Address = {};
  std::string rest;
  if (StartsWith(Name, kRfc2217)) {
    Address.Rfc2217 = true;
    rest = Name.substr(std::string(kRfc2217).size());
  } else if (StartsWith(Name, kSocket)) {
    rest = Name.substr(std::string(kSocket).size());
  } else {
    Error = "not a network address (rfc2217://HOST:PORT or socket://HOST:PORT)";
    return false;
  }
  std::size_t colon;
  if (!rest.empty() && rest[0] == '[') {  // [IPv6]:PORT
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
      Error = "the address lacks its port (HOST:PORT)";
      return false;
    }
    Address.Host = rest.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = rest.rfind(':');
    if (colon == std::string::npos) {
      Error = "the address lacks its port (HOST:PORT)";
      return false;
    }
    Address.Host = rest.substr(0, colon);
  }
  Address.Port = rest.substr(colon + 1);
  if (Address.Host.empty()) {
    Error = "the address lacks its host (HOST:PORT)";
    return false;
  }
  unsigned long port = 0;
  for (const char c : Address.Port) {
    if (c < '0' || c > '9' || port > 65535) {
      port = 0;
      break;
    }
    port = port * 10 + static_cast<unsigned long>(c - '0');
  }
  if (Address.Port.empty() || port < 1 || port > 65535) {
    Error = "the port must be a number from 1 to 65535";
    return false;
  }
  return true;
}

}  // namespace platform::network
