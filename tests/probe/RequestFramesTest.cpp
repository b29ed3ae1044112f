#include <gtest/gtest.h>

#include "tests/probe/ProbeFixture.h"
#include "tests/support/Locale.h"

namespace {

std::string Hex(const std::string& Bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : Bytes) {
    std::snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

class RequestFramesTest : public ProbeEngineTest {
 protected:
  void SetIdentifier(const std::string& Id) {
    std::copy(Id.begin(), Id.end(), State.ProbeId.begin());
    State.ProbeIdLength = static_cast<int>(Id.size());
  }
  // What the sender of Code writes on the line.
  std::string Sent(int Code) {
    Link.Written.clear();
    EXPECT_TRUE(Engine.Send(Code));
    EXPECT_EQ(Link.Written.size(), 1u);
    return Link.Written.empty() ? "" : Link.Written.back();
  }
};

TEST_F(RequestFramesTest, WorkedExampleByteForByte) {
  SetIdentifier("40217");
  State.ProbeData.Address = 192;
  State.ProbeData.Offset1 = -12.5L;
  State.ProbeData.AlarmCurrentIndex = 1;
  const struct {
    int Code;
    const char* Hex;
  } table[] = {
      {1, "53 20 30 0D 0A"},
      {10, "54 58 50 34 30 32 31 37 56 4E 34 0D 0A"},
      {12, "54 58 50 34 30 32 31 37 41 44 0D 0A"},
      {20, "52 58 50 34 30 32 31 37 41 44 31 39 32 0D 0A"},
      {21, "52 58 50 34 30 32 31 37 4F 50 2D 31 32 2E 35 30 30 0D 0A"},
      {25, "52 58 50 34 30 32 31 37 46 53 31 0D 0A"},
      {50, "53 54 50 34 30 32 31 37 0D 0A"},
  };
  for (const auto& row : table) EXPECT_EQ(Hex(Sent(row.Code)), row.Hex) << "request " << row.Code;
}

TEST_F(RequestFramesTest, EveryRequestsFrameAndTimeOut) {
  SetIdentifier("40217");
  State.ProbeData.LevelAt4mA = 100;
  State.ProbeData.LevelAt20mA = 2500.25L;
  State.ProbeData.Offset1 = 0.5L;
  State.ProbeData.Offset2 = 7;
  State.ProbeData.Address = 201;
  State.ProbeData.AlarmCurrentIndex = 0;
  const struct {
    int Code;
    const char* Frame;
    unsigned Timeout;
  } table[] = {
      {1, "S 0\r\n", 1000},
      {10, "TXP40217VN4\r\n", 500},
      {11, "TXP40217CS\r\n", 3000},
      {12, "TXP40217AD\r\n", 500},
      {13, "TXP40217OP\r\n", 500},
      {14, "TXP40217OW\r\n", 500},
      {15, "TXP40217SL\r\n", 500},
      {16, "TXP40217IS\r\n", 500},
      {17, "TXP40217PL\r\n", 500},
      {18, "TXP40217PH\r\n", 500},
      {19, "TXP40217FS\r\n", 500},
      {20, "RXP40217AD201\r\n", 500},
      {21, "RXP40217OP0.500\r\n", 500},
      {22, "RXP40217OW7.000\r\n", 500},
      {23, "RXP40217PL100.000\r\n", 1000},
      {24, "RXP40217PH2500.250\r\n", 1000},
      {25, "RXP40217FS0\r\n", 1000},
      {30, "RXP40217IS\r\n", 1000},
      {50, "STP40217\r\n", 1000},
  };
  for (const auto& row : table) {
    TimerTimeout->SetEnabled(false);
    EXPECT_EQ(Sent(row.Code), row.Frame);
    EXPECT_EQ(State.RequestCode, row.Code);
    EXPECT_EQ(TimerTimeout->Interval(), row.Timeout) << row.Code;
    EXPECT_TRUE(TimerTimeout->Enabled());
  }
  for (int unused : {0, 2, 9, 26, 49, 51, -1}) EXPECT_FALSE(Engine.Send(unused)) << unused;
}

TEST_F(RequestFramesTest, NineDigitIdentifierAndAddressDigits) {
  SetIdentifier("123456789");
  EXPECT_EQ(Sent(10).size(), 17u);
  State.ProbeData.Address = 5;
  EXPECT_EQ(Sent(20), "RXP123456789AD005\r\n");
  EXPECT_EQ(Sent(20).size(), 19u);
  State.ProbeData.Address = 253;
  EXPECT_EQ(Sent(20), "RXP123456789AD253\r\n");
  EXPECT_EQ(Sent(1), "S 0\r\n") << "the search carries no identifier";
}

TEST_F(RequestFramesTest, DecimalValuesCarryAPointInAnyLocale) {
  ScopedNumericLocale comma(kCommaLocale);
  ASSERT_TRUE(comma.Ok());
  SetIdentifier("40217");
  const struct {
    long double Value;
    const char* Frame;
  } table[] = {
      {3.25L, "RXP40217OP3.250\r\n"},
      {0, "RXP40217OP0.000\r\n"},
      {1234.5678L, "RXP40217OP1234.568\r\n"},
      {-12.5L, "RXP40217OP-12.500\r\n"},
  };
  for (const auto& row : table) {
    State.ProbeData.Offset1 = row.Value;
    EXPECT_EQ(Sent(21), row.Frame);
  }
}

TEST_F(RequestFramesTest, AlarmCurrentDigit) {
  SetIdentifier("40217");
  for (auto [index, digit] : {std::pair{0, "0"}, {1, "1"}, {100, "1"}, {-1, "0"}, {7, "1"}}) {
    State.ProbeData.AlarmCurrentIndex = index;
    EXPECT_EQ(Sent(25), std::string("RXP40217FS") + digit + "\r\n") << index;
  }
}

TEST_F(RequestFramesTest, SendRequestPurgesInputAndEmptiesTheLineFirst) {
  SetIdentifier("40217");
  Link.Input = {'x', 'y'};
  State.RxCount = 17;
  const int purges = Link.Purges;
  // The reply may begin to arrive while the request is being written.
  Link.OnWrite = [&](const std::string&) { Link.Input.push_back('1'); };
  Engine.Send(12);
  EXPECT_EQ(Link.Purges, purges + 1);
  EXPECT_EQ(Link.Input, std::deque<char>{'1'}) << "late bytes are thrown away, the reply is kept";
  EXPECT_EQ(State.RxCount, 0);
}

TEST_F(RequestFramesTest, ClosedPortRaisesAfterCodeAndLineWereChanged) {
  SetIdentifier("40217");
  Link.Closed = true;
  State.RxCount = 9;
  EXPECT_THROW(Engine.Send(12), Exception);
  EXPECT_EQ(State.RequestCode, 12);
  EXPECT_EQ(State.RxCount, 0);
  EXPECT_FALSE(TimerTimeout->Enabled()) << "the time-out is not armed";
}

TEST_F(RequestFramesTest, ValueTooLongForTheFrameIsNeverSentCutShort) {
  SetIdentifier("123456789");                // leaves 15 characters for the value
  State.ProbeData.Offset1 = 12345678901.0L;  // "12345678901.000": 15 characters, fits
  EXPECT_EQ(Sent(21), "RXP123456789OP12345678901.000\r\n");
  State.ProbeData.Offset1 = 123456789012.0L;  // 16 characters
  Link.Written.clear();
  TimerTimeout->SetEnabled(false);
  EXPECT_TRUE(Engine.Send(21));
  EXPECT_TRUE(Link.Written.empty());
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0],
            "The value 123456789012.000 is too long to be sent to the probe. It was not written.");
  EXPECT_EQ(State.RequestCode, 21);
  EXPECT_TRUE(TimerRequestNext->Enabled()) << "the write sequence goes on";
  EXPECT_FALSE(TimerTimeout->Enabled());
}

}  // namespace
