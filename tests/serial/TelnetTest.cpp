// What the tool says to a serial device server and how it reads what the
// server says: exact bytes, in whatever pieces they come.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/platform/network/NetworkAddress.h"
#include "serial/platform/network/Telnet.h"

namespace {

using namespace platform::telnet;

std::string B(std::initializer_list<int> Bytes) {
  std::string s;
  for (const int b : Bytes) s += static_cast<char>(b);
  return s;
}

TEST(Telnet, WhatTheClientSends) {
  EXPECT_EQ(Greeting(), B({255, 251, 44, 255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3}))
      << "WILL COM-PORT-OPTION, WILL and DO BINARY, WILL and DO SUPPRESS-GO-AHEAD";
  EXPECT_EQ(ComPortCommand(cpSetBaudrate, 1200, 4), B({255, 250, 44, 1, 0, 0, 4, 176, 255, 240}));
  EXPECT_EQ(ComPortCommand(cpSetDatasize, 8, 1), B({255, 250, 44, 2, 8, 255, 240}));
  EXPECT_EQ(ComPortCommand(cpPurgeData, kPurgeReceiveBuffer, 1),
            B({255, 250, 44, 12, 1, 255, 240}));
  EXPECT_EQ(ComPortCommand(cpSetBaudrate, 0xFF, 4),
            B({255, 250, 44, 1, 0, 0, 0, 255, 255, 255, 240}))
      << "0xFF in a value is doubled";
  EXPECT_EQ(Escaped(B({'S', 255, 0, 255})), B({'S', 255, 255, 0, 255, 255}));
}

struct DecodeRow {
  const char* What;
  std::string Input;
  std::string Data;
  std::string Replies;
  std::vector<TComPortMessage> Messages;
  bool Negotiated;
};

TEST(Telnet, WhatTheServerSaysInAnyPieces) {
  const std::vector<DecodeRow> rows = {
      {"plain data", "40217 0 021500\r\n", "40217 0 021500\r\n", "", {}, false},
      {"a doubled 0xFF is data", B({'a', 255, 255, 'b'}), B({'a', 255, 'b'}), "", {}, true},
      {"SET-BAUDRATE answered with the value in use",
       B({255, 250, 44, 101, 0, 0, 4, 176, 255, 240}),
       "",
       "",
       {{1, 1200, 4}},
       true},
      {"PURGE-DATA answered, then data",
       B({255, 250, 44, 112, 1, 255, 240, 'x'}),
       "x",
       "",
       {{12, 1, 1}},
       true},
      {"a line-state notification", B({255, 250, 44, 106, 8, 255, 240}), "", "", {{6, 8, 1}}, true},
      {"a doubled 0xFF in a value",
       B({255, 250, 44, 101, 0, 0, 0, 255, 255, 255, 240}),
       "",
       "",
       {{1, 255, 4}},
       true},
      {"our own commands echoed are no answers",
       B({255, 250, 44, 1, 0, 0, 4, 176, 255, 240}),
       "",
       "",
       {},
       true},
      {"agreements need no answer",
       B({255, 253, 44, 255, 253, 0, 255, 251, 0, 255, 253, 3, 255, 251, 3}),
       "",
       "",
       {},
       true},
      {"echo and the server's own com port control are refused",
       B({255, 251, 1, 255, 251, 44, 255, 253, 1, 255, 253, 24}),
       "",
       B({255, 254, 1, 255, 254, 44, 255, 252, 1, 255, 252, 24}),
       {},
       true},
      {"an option switched off is acknowledged once",
       B({255, 251, 3, 255, 252, 3, 255, 252, 3, 255, 253, 0, 255, 254, 0, 255, 254, 0}),
       "",
       B({255, 254, 3, 255, 252, 0}),
       {},
       true},
      {"a subnegotiation too long is dropped, the data after it kept",
       B({255, 250, 44, 101}) + std::string(100, '\x01') + B({255, 240}) + "ok",
       "ok",
       "",
       {},
       true},
      {"a subnegotiation broken off by another command",
       B({255, 250, 44, 101, 0, 255, 251, 1, 'z'}),
       "z",
       B({255, 254, 1}),
       {},
       true},
      {"commands of one byte (NOP, GA) are passed over",
       B({'a', 255, 241, 'b', 255, 249}),
       "ab",
       "",
       {},
       true},
  };
  for (const DecodeRow& row : rows) {
    // Whole, and a byte at a time: the same outcome.
    for (const bool byByte : {false, true}) {
      SCOPED_TRACE(std::string(row.What) + (byByte ? ", a byte at a time" : ""));
      TDecoder decoder;
      std::string data;
      if (byByte) {
        for (const char c : row.Input) decoder.Feed(std::string_view(&c, 1), data);
      } else {
        decoder.Feed(row.Input, data);
      }
      EXPECT_EQ(data, row.Data);
      EXPECT_EQ(decoder.TakeReplies(), row.Replies);
      EXPECT_EQ(decoder.TakeMessages(), row.Messages);
      EXPECT_EQ(decoder.Negotiated(), row.Negotiated);
      EXPECT_EQ(decoder.TakeReplies(), "") << "taken";
    }
  }
}

TEST(NetworkAddress, WhatCountsAsAnAddress) {
  struct Row {
    const char* Name;
    bool Ok;
    bool Rfc2217 = false;
    const char* Host = "";
    const char* Port = "";
  };
  const Row rows[] = {
      {"rfc2217://192.168.1.20:2217", true, true, "192.168.1.20", "2217"},
      {"socket://probe-server.local:4001", true, false, "probe-server.local", "4001"},
      {"RFC2217://Probe-Server:2217", true, true, "Probe-Server", "2217"},
      {"rfc2217://[fe80::1]:2217", true, true, "fe80::1", "2217"},
      {"rfc2217://host", false},
      {"rfc2217://:2217", false},
      {"socket://host:0", false},
      {"socket://host:65536", false},
      {"socket://host:99999999999999999999", false},
      {"socket://host:22x", false},
      {"rfc2217://[fe80::1]2217", false},
      {"telnet://host:23", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    platform::network::TNetworkAddress a;
    std::string error;
    EXPECT_EQ(platform::network::ParseNetworkAddress(row.Name, a, error), row.Ok) << error;
    if (!row.Ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(a.Rfc2217, row.Rfc2217);
    EXPECT_EQ(a.Host, row.Host);
    EXPECT_EQ(a.Port, row.Port);
  }
  EXPECT_FALSE(platform::network::IsNetworkAddress("ttyUSB0"));
  EXPECT_FALSE(platform::network::IsNetworkAddress("COM5"));
}

}  // namespace
