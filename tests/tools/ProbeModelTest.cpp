#include <gtest/gtest.h>

#include "tools/ProbeModel.h"

namespace {

using sim::Answer;

TEST(ProbeModel, SearchRepliesOfTheWorkedExample) {
  sim::TProbeModel p;
  EXPECT_EQ(sim::SearchReply(p), "40217 0 021500 0123456 0234567 203\r\n");
  p.FineResolution = false;
  p.Level1 = 1234.56;
  p.Level2 = 2345.67;
  EXPECT_EQ(sim::SearchReply(p), "40217 0 021500>0123456 0234567 233\r\n");
  p.Temperature = -1.234;
  p.Id = "123456789";
  const std::string r = sim::SearchReply(p);
  EXPECT_EQ(r.size(), 40u);
  EXPECT_EQ(r.substr(12, 6), "-01234");
  EXPECT_EQ(sim::SearchChecksum(std::string(20, '\xFF')), "255") << "20 * 255 reduces to 255";
}

TEST(ProbeModel, ReadRepliesByFamily) {
  struct Row {
    const char* Preset;
    const char* Type;
    const char* Address;
    const char* Current;
    const char* AlarmCurrent;
  };
  const Row rows[] = {
      {"rs485-d", "KALMET-RS-D V2.13", "192", "u.P.", "u.P."},
      {"rs485-m", "KALMET-RS-M V2.13", "17", "u.P.", "u.P."},
      {"rs485", "KALMET-RS V1.20", "u.P.", "u.P.", "u.P."},
      {"current-loop", "KALMET-C 1.05", "u.P.", "12.000", "0"},
      {"hart", "KALMET-HART 2.01", "u.P.", "12.000", "0"},
      {"kalmet", "KALMET 0.98", "u.P.", "12.000", "0"},
      {"tag", "KALMET-TAG 3.0", "u.P.", "u.P.", "u.P."},
      {"unknown", "LEVELMASTER-9 7.7", "u.P.", "u.P.", "u.P."},
  };
  for (const auto& r : rows) {
    auto p = *sim::Preset(r.Preset);
    const std::string id = p.Id;
    EXPECT_EQ(Answer(p, "TXP" + id + "VN4"), std::string(r.Type) + "\r\n") << r.Preset;
    EXPECT_EQ(Answer(p, "TXP" + id + "AD"), std::string(r.Address) + "\r\n") << r.Preset;
    EXPECT_EQ(Answer(p, "TXP" + id + "IS"), std::string(r.Current) + "\r\n") << r.Preset;
    EXPECT_EQ(Answer(p, "TXP" + id + "FS"), std::string(r.AlarmCurrent) + "\r\n") << r.Preset;
    EXPECT_EQ(Answer(p, "TXP" + id + "SL"), "2500.000\r\n");
    EXPECT_EQ(Answer(p, "TXP" + id + "CS"), "A5C3\r\n");
    EXPECT_EQ(Answer(p, "TXP" + id + "ZZ"), "u.P.\r\n");
  }
  EXPECT_FALSE(sim::Preset("nonsense"));
}

TEST(ProbeModel, WritesChangeTheProbeOrAreRefused) {
  auto p = *sim::Preset("rs485-d");
  EXPECT_EQ(Answer(p, "RXP40217AD201"), "i.O.\r\n");
  EXPECT_EQ(Answer(p, "RXP40217OP-12.500"), "ERR.\r\n") << "offsets are not negative";
  EXPECT_EQ(Answer(p, "RXP40217OP12.500"), "i.O.\r\n");
  EXPECT_EQ(Answer(p, "RXP40217OW10000.000"), "i.O.\r\n");
  EXPECT_EQ(Answer(p, "RXP40217AD150"), "ERR.\r\n");
  EXPECT_EQ(Answer(p, "RXP40217AD20"), "ERR.\r\n") << "three digits";
  EXPECT_EQ(Answer(p, "RXP40217PL100.000"), "ERR.\r\n") << "not a current-loop probe";
  EXPECT_EQ(Answer(p, "STP40217"), "i.O.\r\n");
  EXPECT_EQ(p.Address, 201);
  EXPECT_EQ(p.Offset1, 12.5);
  EXPECT_EQ(p.Offset2, 10000);
  EXPECT_EQ(p.Writes, 3);
  EXPECT_EQ(p.RefusedWrites, 4);
  EXPECT_EQ(p.Commits, 1);
  EXPECT_EQ(Answer(p, "TXP40217OP"), "12.500\r\n");

  auto m = *sim::Preset("rs485-m");
  EXPECT_EQ(Answer(m, "RXP40217AD001"), "i.O.\r\n");
  EXPECT_EQ(Answer(m, "RXP40217AD248"), "ERR.\r\n");

  auto c = *sim::Preset("current-loop");
  EXPECT_EQ(Answer(c, "RXP51234PL250.500"), "i.O.\r\n");
  EXPECT_EQ(Answer(c, "RXP51234PH2600.000"), "ERR.\r\n") << "beyond the probe length";
  EXPECT_EQ(Answer(c, "RXP51234FS1"), "i.O.\r\n");
  EXPECT_EQ(Answer(c, "RXP51234FS2"), "ERR.\r\n");
  EXPECT_EQ(Answer(c, "RXP51234IS"), "i.O.\r\n");
  EXPECT_EQ(c.LevelAt4mA, 250.5);
  EXPECT_EQ(c.AlarmCurrent, 1);
  EXPECT_EQ(c.LoopReleases, 1);
}

TEST(ProbeModel, OtherIdentifiersAndNoiseGetNoAnswer) {
  auto p = *sim::Preset("rs485-d");
  EXPECT_FALSE(Answer(p, "TXP40218AD"));
  EXPECT_FALSE(Answer(p, "RXP4021AD192"));
  EXPECT_FALSE(Answer(p, "STP402170"));
  EXPECT_FALSE(Answer(p, "hello"));
  EXPECT_FALSE(Answer(p, ""));
  EXPECT_EQ(p.Address, 192);
}

}  // namespace
