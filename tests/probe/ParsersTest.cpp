#include <gtest/gtest.h>

#include "tests/probe/ProbeFixture.h"
#include "tests/support/Locale.h"
#include "toolkit/Numbers.h"

namespace {

using C = TProbeControl;

class ParsersTest : public ProbeEngineTest {
 protected:
  // Dispatches Line as the reply to request Code.
  void Reply(int Code, const std::string& Line) {
    State.RequestCode = Code;
    State.RxCount = 0;
    View.Log.clear();
    Receive(Line);
  }
  bool Logged(const std::string& Entry) const {
    return std::find(View.Log.begin(), View.Log.end(), Entry) != View.Log.end();
  }
  static std::string Colour(C c) { return "colour " + std::to_string(int(c)); }
  static std::string Enable(C c) { return "enable " + std::to_string(int(c)); }
};

// --- search reply -----------------------------------------------------------

TEST_F(ParsersTest, SearchReplyWorkedExample) {
  const std::string line = "40217 0 021500 0123456 0234567 203\r\n";
  ASSERT_EQ(line, SearchReply("40217"));
  Reply(1, line);
  EXPECT_TRUE(State.ProbeFound);
  EXPECT_EQ(State.ProbeIdLength, 5);
  EXPECT_EQ(std::string(State.ProbeId.begin(), State.ProbeId.begin() + 5), "40217");
  EXPECT_EQ(State.SerialNumber, 40217);
  EXPECT_EQ(State.ProbeData.Temperature, 21500 * 0.001L);
  EXPECT_EQ(State.ProbeData.Level1, 123456 * 0.001L);
  EXPECT_EQ(State.ProbeData.Level2, 234567 * 0.001L);
  EXPECT_TRUE(State.FineResolution);
  EXPECT_TRUE(Logged("refresh"));

  const std::string coarse = "40217 0 021500>0123456 0234567 233\r\n";
  ASSERT_EQ(coarse, SearchReply("40217", '0', "021500", '>'));
  Reply(1, coarse);
  EXPECT_EQ(State.ProbeData.Level1, 123456 * 0.01L);
  EXPECT_EQ(State.ProbeData.Level2, 234567 * 0.01L);
  EXPECT_FALSE(State.FineResolution);
  Reply(1, line);
  EXPECT_TRUE(State.FineResolution) << "a reply without the marker sets fine resolution again";
}

TEST_F(ParsersTest, ChecksumReductionBy255) {
  // A line whose body bytes sum to a chosen value: 'A' (65) and spaces (32).
  const auto withSum = [](unsigned sum, const std::string& digits) {
    std::string body;
    while (sum >= 65 + 32) {
      body += 'A';
      sum -= 65;
    }
    while (sum >= 32) {
      body += ' ';
      sum -= 32;
    }
    body += static_cast<char>(sum);
    return body + digits + "\r\n";
  };
  for (auto [sum, digits, ok] : {std::tuple{3000u, "195", true},
                                 {510u, "255", true},
                                 {200u, "200", true},
                                 {3000u, "196", false},
                                 {510u, "000", false},
                                 {255u, "255", true},
                                 {256u, "001", true}}) {
    const std::string line = withSum(sum, digits);
    std::copy(line.begin(), line.end(), State.RxLine.begin());
    State.RxCount = static_cast<int>(line.size());
    EXPECT_EQ(Engine.VerifySearchChecksum(), ok) << sum << " " << digits;
  }
}

TEST_F(ParsersTest, SearchReplyLengthsAndIgnoredLines) {
  for (int length = 5; length <= 9; ++length) {
    const std::string id = std::string("123456789").substr(0, length);
    State.SearchRetries = 0;
    Reply(1, SearchReply(id));
    EXPECT_EQ(State.ProbeIdLength, length);
    EXPECT_EQ(State.SerialNumber, std::stoi(id));
  }
  Reply(1, SearchReply("40217"));
  EXPECT_EQ(std::string(State.ProbeId.begin(), State.ProbeId.end()), "402176789")
      << "the identifier's other bytes keep their content";
  State.ProbeFound = false;
  State.SearchRetries = 3;
  Reply(1, std::string(33, '0') + "\r\n");  // 35 bytes
  EXPECT_EQ(State.ProbeIdLength, 0);
  EXPECT_EQ(State.SearchRetries, 2) << "counted: it ends in CR LF";
  EXPECT_FALSE(State.ProbeFound);
  std::string noCr = SearchReply("40217");
  noCr[noCr.size() - 2] = ' ';  // no CR before the LF
  Reply(1, noCr);
  EXPECT_EQ(State.SearchRetries, 2) << "not counted";
  EXPECT_FALSE(Logged("refresh"));
}

TEST_F(ParsersTest, StatusCharacterCountsDownSearchRetries) {
  State.SearchRetries = 3;
  Reply(1, SearchReply("40217", '7'));
  EXPECT_FALSE(State.ProbeFound);
  Reply(1, SearchReply("40217", '7'));
  EXPECT_FALSE(State.ProbeFound);
  EXPECT_EQ(State.SearchRetries, 1);
  Reply(1, SearchReply("40217", '7'));
  EXPECT_TRUE(State.ProbeFound) << "from the third reply on any status is accepted";
  EXPECT_EQ(State.SearchRetries, 0);
  Reply(1, SearchReply("40217", '9'));
  EXPECT_EQ(State.SearchRetries, 0);
}

TEST_F(ParsersTest, BadChecksumIsIgnored) {
  std::string line = SearchReply("40217");
  line[line.size() - 3] = line[line.size() - 3] == '9' ? '8' : '9';
  State.ProbeData.Level1 = 5;
  Reply(1, line);
  EXPECT_FALSE(State.ProbeFound);
  EXPECT_EQ(State.ProbeData.Level1, 5);
}

TEST_F(ParsersTest, SearchReplyFieldConversions) {
  State.SearchRetries = 0;
  Reply(1, SearchReply("40217", '0', "-01234", ' ', "  12345", "0000100"));
  EXPECT_EQ(State.ProbeData.Temperature, -1234 * 0.001L);
  EXPECT_EQ(State.ProbeData.Level1, 12345 * 0.001L);
  Reply(1, SearchReply("40217", '0', "-01234", '>', "  12345", "0000100"));
  EXPECT_EQ(State.ProbeData.Level1, 12345 * 0.01L);
  EXPECT_EQ(State.ProbeData.Level2, 100 * 0.01L);
  // Unconvertible fields fall back to 0; Level1 then leaves the resolution.
  Reply(1, SearchReply("4021x", '0', "abcdef", ' ', "1 2 3x5", "??????1"));
  EXPECT_TRUE(State.ProbeFound);
  EXPECT_EQ(std::string(State.ProbeId.begin(), State.ProbeId.begin() + 5), "4021x");
  EXPECT_EQ(State.SerialNumber, 0);
  EXPECT_EQ(State.ProbeData.Temperature, 0);
  EXPECT_EQ(State.ProbeData.Level1, 0);
  EXPECT_EQ(State.ProbeData.Level2, 0);
  EXPECT_FALSE(State.FineResolution);
}

// --- single-value replies ---------------------------------------------------

struct ValueCase {
  int Code;
  const char* Line;
  const char* Expect;  // the stored value as text
};

std::string Stored(const TConnectionState& S, int Code) {
  const TProbeData& d = S.ProbeData;
  switch (Code) {
    case 11:
      return S.FirmwareChecksum + (S.FirmwareChecksumRead ? "" : " (unread)");
    case 12:
      return std::to_string(d.Address);
    case 13:
      return FormatFloat("0.000", d.Offset1, '.');
    case 14:
      return FormatFloat("0.000", d.Offset2, '.');
    case 15:
      return FormatFloat("0.000", d.ProbeLength, '.') + "/" + FormatFloat("0", d.LevelLimit, '.');
    case 16:
      return FormatFloat("0.000", d.Current, '.');
    case 17:
      return FormatFloat("0.000", d.LevelAt4mA, '.');
    case 18:
      return FormatFloat("0.000", d.LevelAt20mA, '.');
    case 19:
      return std::to_string(d.AlarmCurrentIndex);
  }
  return "?";
}

TEST_F(ParsersTest, ValueRepliesAndTheirFallbacks) {
  ScopedNumericLocale comma(kCommaLocale);  // replies always use "."
  ASSERT_TRUE(comma.Ok());
  const ValueCase cases[] = {
      {11, "AB12\r\n", "AB12"},
      {11, "12 4\r\n", "12 4"},
      {11, "123\r\n", "????"},
      {11, "12345\r\n", "????"},
      {11, "\r\n", "????"},
      {12, "192\r\n", "192"},
      {12, " 192\r\n", "192"},
      {12, "1 92\r\n", "1"},
      {12, "\r\n", "1"},
      {12, "-5\r\n", "-5"},
      {13, "-12.5\r\n", "-12.500"},
      {13, "- 1 2 . 5\r\n", "-12.500"},
      {13, "abc\r\n", "0.000"},
      {13, "\r\n", "0.000"},
      {13, "12,5\r\n", "0.000"},
      {14, "3.25\r\n", "3.250"},
      {15, "2506.4\r\n", "2506.400/2510"},
      {15, "2505\r\n", "2505.000/2500"},
      {15, "2515\r\n", "2515.000/2520"},
      {15, "xyz\r\n", "0.000/16000"},
      {15, "\r\n", "0.000/16000"},
      {16, "12.345\r\n", "12.345"},
      {17, "100\r\n", "100.000"},
      {18, "2500.5\r\n", "2500.500"},
      {19, "0\r\n", "0"},
      {19, "1\r\n", "1"},
      {19, " 1\r\n", "0"},
      {19, "12\r\n", "0"},
      {19, "A\r\n", "0"},
      {19, "\r\n", "0"},
  };
  for (const auto& c : cases) {
    State.FirmwareChecksumRead = false;
    Reply(c.Code, c.Line);
    EXPECT_EQ(Stored(State, c.Code), c.Expect) << c.Code << " " << c.Line;
  }
}

TEST_F(ParsersTest, MalformedAndUnavailableRepliesStoreNothing) {
  State.ProbeData.Address = 200;
  State.ProbeData.Offset1 = 7;
  State.ProbeData.LevelLimit = 2500;
  State.FirmwareChecksum = "OLD1";
  for (auto [code, line] : {std::pair{12, "u.P.\r\n"},
                            {12, "193\n"},
                            {13, "u.P.\r\n"},
                            {15, "u.P.\r\n"},
                            {11, "u.P.\r\n"},
                            {19, "u.P.\r\n"}}) {
    State.ProbeFound = false;
    Reply(code, line);
    EXPECT_FALSE(Logged("refresh")) << code << " " << line;
  }
  EXPECT_EQ(State.ProbeData.Address, 200);
  EXPECT_EQ(State.ProbeData.Offset1, 7);
  EXPECT_EQ(State.ProbeData.LevelLimit, 2500);
  EXPECT_EQ(State.FirmwareChecksum, "OLD1");
  EXPECT_TRUE(View.Hints.empty()) << "hints unchanged";
}

TEST_F(ParsersTest, AlwaysEffectsHappenAlsoForRejectedReplies) {
  struct Case {
    int Code;
    std::vector<std::string> Effects;
    bool FoundAlways;
  };
  const Case cases[] = {
      {11, {Enable(C::Button_Read)}, false},
      {12, {Colour(C::SpinEdit_Address)}, true},
      {13, {Colour(C::Edit_Offset1)}, true},
      {14, {Colour(C::Edit_Offset2)}, true},
      {15, {}, true},
      {16, {}, true},
      {17, {Colour(C::Edit_LevelAt4mA)}, true},
      {18, {Colour(C::Edit_LevelAt20mA)}, true},
      {19, {Colour(C::ComboBox_AlarmCurrent), Enable(C::Button_Read)}, false},
  };
  for (const auto& c : cases) {
    State.ProbeFound = false;
    Reply(c.Code, "u.P.\r\n");
    for (const auto& e : c.Effects) EXPECT_TRUE(Logged(e)) << c.Code << " " << e;
    EXPECT_EQ(State.ProbeFound, c.FoundAlways) << c.Code;
    State.ProbeFound = false;
    Reply(c.Code, "1\r\n");
    EXPECT_TRUE(State.ProbeFound) << c.Code;
  }
}

TEST_F(ParsersTest, ProbeLengthRewritesBothHints) {
  Reply(15, "2506.4\r\n");
  EXPECT_EQ(View.Log,
            (std::vector<std::string>{"hint " + std::to_string(int(C::Edit_LevelAt20mA)),
                                      "hint " + std::to_string(int(C::Edit_LevelAt4mA))}));
  EXPECT_EQ(View.Hints[C::Edit_LevelAt20mA],
            "Level at 20 mA point.\r\nmin:      0 mm\r\nmax: 2510 mm");
  EXPECT_EQ(View.Hints[C::Edit_LevelAt4mA],
            "Level at 4 mA point.\r\nmin:      0 mm\r\nmax: 2510 mm");
  EXPECT_FALSE(Logged("refresh"));
  Reply(15, "letters\r\n");
  EXPECT_EQ(View.Hints[C::Edit_LevelAt20mA],
            "Level at 20 mA point.\r\nmin:      0 mm\r\nmax: 16000 mm");
}

TEST_F(ParsersTest, AcknowledgementsRestoreAndEnableTheirControls) {
  const struct {
    int Code;
    std::vector<std::string> Effects;
  } table[] = {
      {20, {Colour(C::SpinEdit_Address)}},
      {21, {Colour(C::Edit_Offset1)}},
      {22, {Colour(C::Edit_Offset2)}},
      {23, {Colour(C::Edit_LevelAt4mA), Enable(C::Edit_LevelAt4mA)}},
      {24, {Colour(C::Edit_LevelAt20mA), Enable(C::Edit_LevelAt20mA)}},
      {25, {Colour(C::ComboBox_AlarmCurrent)}},
      {50, {Enable(C::Button_Read)}},
  };
  for (const auto& row : table) {
    for (const char* line : {"i.O.\r\n", "n.O.\r\n", "nonsense\r\n", "\r\n"}) {
      State.ProbeFound = false;
      Reply(row.Code, line);
      std::vector<std::string> effects;
      for (const auto& l : View.Log)
        if (l.rfind("colour", 0) == 0 || l.rfind("enable", 0) == 0) effects.push_back(l);
      EXPECT_EQ(effects, row.Effects) << row.Code << " " << line;
      EXPECT_TRUE(State.ProbeFound);
      EXPECT_TRUE(View.Messages.empty());
    }
  }
  const auto outcome = [&](const std::string& line) {
    State.RequestCode = 20;
    std::copy(line.begin(), line.end(), State.RxLine.begin());
    State.RxCount = static_cast<int>(line.size());
    return Engine.ParseAcknowledge();
  };
  EXPECT_EQ(outcome("i.O.\r\n"), TAcknowledge::Positive);
  EXPECT_EQ(outcome("n.O.\r\n"), TAcknowledge::Negative);
  EXPECT_EQ(outcome("i.O. \r\n"), TAcknowledge::None);
  EXPECT_EQ(outcome("i.O.x\n"), TAcknowledge::None);
}

TEST_F(ParsersTest, ResetProbeDataClearsTheRecordButNotTheLimits) {
  TProbeData& d = State.ProbeData;
  d = {7, 2500, 2500, 1, 2, 3, 4, 1, 5, 6, 7, 8};
  State.FineResolution = false;
  Engine.ResetProbeData();
  EXPECT_EQ(d.Address, 0);
  EXPECT_EQ(d.ProbeLength, 2500);
  EXPECT_EQ(d.LevelLimit, 2500);
  for (long double v : {d.Offset1, d.Offset2, d.LevelAt4mA, d.LevelAt20mA, d.Level1, d.Level2,
                        d.Temperature, d.Current})
    EXPECT_EQ(v, 0);
  EXPECT_EQ(d.AlarmCurrentIndex, kAlarmCurrentNotRead);
  EXPECT_FALSE(State.FineResolution);
  EXPECT_EQ(View.Refreshes, 1);
}

}  // namespace
