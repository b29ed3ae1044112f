#pragma once

// A port name that is a network address: rfc2217://HOST:PORT (a serial
// device server speaking Telnet with Com Port Control) or socket://HOST:PORT
// (raw TCP; the server's own line settings apply). HOST is a name, an IPv4
// address or an IPv6 address in brackets.

#include <string>

namespace platform::network {

struct TNetworkAddress {
  bool Rfc2217 = false;
  std::string Host;
  std::string Port;  // 1 to 65535, as written
};

bool IsNetworkAddress(const std::string& Name);
// False, with what is wrong in Error, where Name is no usable address.
bool ParseNetworkAddress(const std::string& Name, TNetworkAddress& Address, std::string& Error);

}  // namespace platform::network
