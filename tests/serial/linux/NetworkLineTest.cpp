// The line behind a network server against a scripted server on 127.0.0.1:
// what it sends, in which pieces, and what the line makes of it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "serial/platform/CommServices.h"
#include "serial/platform/network/NetworkLine.h"
#include "serial/platform/network/NetworkProblem.h"

namespace {

using namespace platform;

// A server on a free port that, once a client is connected, answers a
// script: each step waits until the client has sent its Await bytes, then
// sends its Send bytes. At the end it closes, or keeps the connection until
// the client closes it.
struct TStep {
  std::string Await, Send;
};

class TScriptedServer {
 public:
  TScriptedServer(std::vector<TStep> Script, bool Close) {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(FListener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(FListener, 1);
    socklen_t size = sizeof a;
    ::getsockname(FListener, reinterpret_cast<sockaddr*>(&a), &size);
    Port = ntohs(a.sin_port);
    FThread = std::thread([this, Script, Close] {
      const int c = ::accept(FListener, nullptr, nullptr);
      if (c < 0) return;
      std::string heard;
      std::size_t from = 0;
      char buffer[256];
      for (const TStep& step : Script) {
        std::size_t at;
        while ((at = heard.find(step.Await, from)) == std::string::npos) {
          const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          heard.append(buffer, static_cast<std::size_t>(n));
        }
        if (at == std::string::npos) break;
        from = at + step.Await.size();
        (void)::send(c, step.Send.data(), step.Send.size(), MSG_NOSIGNAL);
      }
      if (!Close)
        while (::recv(c, buffer, sizeof buffer, 0) > 0) {
        }
      ::close(c);
    });
  }
  ~TScriptedServer() {
    ::shutdown(FListener, SHUT_RDWR);
    FThread.join();
    ::close(FListener);
  }
  std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(Port); }
  int Port = 0;

 private:
  int FListener;
  std::thread FThread;
};

// The server's answer to one Com Port command (RFC 2217: code + 100).
std::string Answer(int Code, const std::string& Value) {
  return std::string("\xFF\xFA\x2C") + static_cast<char>(Code + 100) + Value + "\xFF\xF0";
}
const std::string kWill = "\xFF\xFB\x2C";  // the server takes Com Port Control
// What the client's settings end with (SET-CONTROL), and a purge request.
const std::string kSettingsSent = "\xFF\xFA\x2C\x05";
const std::string kPurgeSent = "\xFF\xFA\x2C\x0C";

DCB LineSettings() {
  DCB d{};
  d.DCBlength = sizeof d;
  d.BaudRate = 1200;
  d.ByteSize = 8;
  d.Parity = NOPARITY;
  d.StopBits = ONESTOPBIT;
  return d;
}
const std::string kSettingsAnswered = kWill + Answer(1, std::string("\x00\x00\x04\xB0", 4)) +
                                      Answer(2, "\x08") + Answer(3, "\x01") + Answer(4, "\x01");

// What arrives until Count bytes are there (or 5 s have passed). What came
// before the mask was set raises no event: it is read first.
std::string ReadUntil(HANDLE Line, std::size_t Count) {
  const HANDLE arrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetCommMask(Line, EV_RXCHAR);
  std::string got;
  for (;;) {
    OVERLAPPED read{};
    char buffer[64];
    DWORD n = 0;
    ReadFile(Line, buffer, sizeof buffer, &n, &read);
    got.append(buffer, n);
    if (got.size() >= Count) break;
    OVERLAPPED wait{};
    wait.hEvent = arrived;
    DWORD events = 0;
    if (!WaitCommEvent(Line, &events, &wait) &&
        (GetLastError() != ERROR_IO_PENDING || WaitForSingleObject(arrived, 5000) != 0))
      break;
  }
  SetCommMask(Line, 0);
  CloseHandle(arrived);
  return got;
}

// Opens Server's address and sets the line; the failure's text, or "".
std::string OpenAndSet(const TScriptedServer& Server, HANDLE& Line) {
  Line = CreateFileA(Server.Address().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (Line == INVALID_HANDLE_VALUE) return network::NetworkProblem(LastErrno(), "");
  DCB d = LineSettings();
  if (!SetCommState(Line, &d)) return network::NetworkProblem(LastErrno(), "");
  return "";
}

TEST(NetworkLine, ALateReplyInThePieceOfThePurgeAnswerIsDropped) {
  // The first purge's answer makes the server one that answers purges; the
  // second comes in one piece with a late reply before it and this
  // request's reply after it.
  TScriptedServer server({{kSettingsSent, kSettingsAnswered},
                          {kPurgeSent, Answer(12, "\x01")},
                          {"S 0\r\n", "STALE9\r\n" + Answer(12, "\x01") + "S 0 OK\r\n"}},
                         false);
  HANDLE line;
  ASSERT_EQ(OpenAndSet(server, line), "");
  PurgeComm(line, PURGE_RXCLEAR);
  PurgeComm(line, PURGE_RXCLEAR);
  OVERLAPPED write{};
  WriteFile(line, "S 0\r\n", 5, nullptr, &write);
  EXPECT_EQ(ReadUntil(line, 8), "S 0 OK\r\n");
  CloseHandle(line);
}

// The window reaches a lost server on a thread of its own; the open that
// follows must not connect again (on the main thread). This server answers
// its first connection only.
TEST(NetworkLine, AnOpenTakesTheConnectionMadeAhead) {
  TScriptedServer server({{kSettingsSent, kSettingsAnswered}}, false);
  int detail = 0;
  ASSERT_TRUE(TNetworkLine::ConnectAhead(server.Address(), 2, detail)) << detail;
  TNetworkLine::DropConnectionAhead(1);  // an earlier attempt's end leaves it
  HANDLE line;
  EXPECT_EQ(OpenAndSet(server, line), "");
  if (line != INVALID_HANDLE_VALUE) CloseHandle(line);
}

// What a technician reads when the server answers otherwise.
TEST(NetworkLine, WhatTheServerSaysIsToldInPlainWords) {
  const struct {
    std::vector<TStep> Script;
    bool Close;
    const char* Says;
  } rows[] = {
      {{{kSettingsSent, kWill + Answer(1, std::string("\x00\x00\x25\x80", 4)) + Answer(2, "\x08") +
                            Answer(3, "\x01") + Answer(4, "\x01")}},
       false,
       "does not set its serial line"},
      {{}, true, "The server closed the connection"},
      // A Telnet server without Com Port Control.
      {{{kSettingsSent, "\xFF\xFB\x00"}}, false, "not an RFC 2217 server"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Says);
    TScriptedServer server(row.Script, row.Close);
    HANDLE line;
    const std::string says = OpenAndSet(server, line);
    EXPECT_NE(says.find(row.Says), std::string::npos) << says;
    if (line != INVALID_HANDLE_VALUE) CloseHandle(line);
  }
}

}  // namespace
