#include <gtest/gtest.h>

#include "probe/ProbeIdentification.h"
#include "tests/probe/ProbeFixture.h"

namespace {

using G = TProbeGroup;

TEST(ProbeType, TypeTableRowsAndPrefixOrder) {
  const struct {
    const char* Name;
    int Code;
  } table[] = {
      {"KALMET-TAG", 1},
      {"KALMET-SC", 1},
      {"KALMET-C", 2},
      {"KALMET-HART", 4},
      {"KALMET-RS-D", 6},
      {"KALMET-RS-M", 7},
      {"KALMET-RS-U", 5},
      {"KALMET-RS", 5},
      {"KALMET", 3},
      {"kalmet-rs-d", 6},
      {"Kalmet-Hart", 4},
      {"KALMET-RS-DX42", 6},
      {"KALMET-RS-X", 5},
      {"KALMET-RSD", 5},
      {"KALMET-CX", 2},
      {"KALMET-CL", 2},
      {"KALMET-SCADA", 1},
      {"KALMET-TAGGER", 1},
      {"KALMET-H", 3},
      {"KALMETX", 3},
      {"KALME", 1},
      {"OTHER", 1},
      {"", 1},
      {"u.P.", 1},
      {"KALMET-RS-\xC4", 5},
  };
  for (const auto& row : table) EXPECT_EQ(ProbeTypeOfName(row.Name), row.Code) << row.Name;
}

TEST(ProbeType, PrefixComparisonFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(HasTypePrefix("kalmet-rs", "KALMET-RS"));
  EXPECT_TRUE(HasTypePrefix("KALMET-RS", "kalmet-rs"));
  EXPECT_TRUE(HasTypePrefix("anything", ""));
  EXPECT_TRUE(HasTypePrefix("", ""));
  EXPECT_FALSE(HasTypePrefix("KALM", "KALMET"));
  EXPECT_FALSE(HasTypePrefix("\xE4", "\xC4")) << "no folding beyond a-z";
  EXPECT_FALSE(HasTypePrefix("KALMET_RS", "KALMET-RS"));
  EXPECT_FALSE(HasTypePrefix("{", "["));  // 0x7B is not a letter
}

class IdentificationTest : public ProbeEngineTest {
 protected:
  void TypeReply(const std::string& Line) {
    State.RequestCode = 10;
    State.RxCount = 0;
    View.Log.clear();
    Receive(Line);
  }
};

TEST_F(IdentificationTest, TypeReplySplitsAtTheFirstSpace) {
  TypeReply("KALMET-RS-D V2.13 build 7\r\n");
  EXPECT_EQ(State.ProbeTypeName, "KALMET-RS-D");
  EXPECT_EQ(State.FirmwareVersion, "V2.13 build 7");
  EXPECT_EQ(State.ProbeType, 6);
  EXPECT_TRUE(State.ProbeFound);
  ASSERT_FALSE(View.Log.empty());
  EXPECT_EQ(View.Log.back(), "refresh");

  TypeReply("KALMET-C\r\n");
  EXPECT_EQ(State.ProbeTypeName, "KALMET-C");
  EXPECT_EQ(State.FirmwareVersion, "");

  TypeReply(" 1.0\r\n");
  EXPECT_EQ(State.ProbeTypeName, "");
  EXPECT_EQ(State.ProbeType, 1);
  EXPECT_EQ(View.LabelCaptions[TProbeLabel::LabelUnsupportedOrUnknownType], "Probe type: ");

  TypeReply("u.P.\r\n");
  EXPECT_EQ(State.ProbeType, 1);
  EXPECT_EQ(State.ProbeTypeName, "u.P.");
}

TEST_F(IdentificationTest, ReplyWithoutCrLfChangesNothing) {
  TypeReply("KALMET-C 1.0\r\n");
  State.ProbeFound = false;
  TypeReply("KALMET-RS-D 1.0\n");
  EXPECT_EQ(State.ProbeType, 2);
  EXPECT_FALSE(State.ProbeFound);
  EXPECT_EQ(View.Log, (std::vector<std::string>{}));
}

TEST_F(IdentificationTest, GroupsFollowTheProbeType) {
  const auto Shown = [&](G g) {
    const auto& s = View.Groups[g];
    return s.Visible && s.Enabled ? std::to_string(s.Left) + "," + std::to_string(s.Top) : "-";
  };
  struct Row {
    const char* Reply;
    const char* MC;
    const char* CC;
    const char* MR;
    const char* CR;
    const char* Info;
    const char* Caption;
    std::vector<std::string> Steps;  // what the window is told, in order
  };
  // Groups: 1 MC, 2 CC, 3 MR, 4 CR, 5 INFO.
  const std::vector<std::string> loop = {"show 1 8", "hide 3", "show 2 192", "hide 4", "hide 5"};
  const std::vector<std::string> rs485 = {"show 3 8", "hide 1", "show 4 192", "hide 2", "hide 5"};
  const auto steps = [](std::string Caption, std::vector<std::string> Rest) {
    Rest.insert(Rest.begin(), "caption " + Caption);
    return Rest;
  };
  // Starting from everything shown at its place, so that "unchanged" is visible.
  const Row rows[] = {
      {"KALMET-C 1\r\n", "8,104", "192,104", "-", "-", "-", " KALMET-C ",
       steps(" KALMET-C ", loop)},
      {"KALMET-HART 1\r\n", "8,104", "192,104", "-", "-", "-", " KALMET-HART ",
       steps(" KALMET-HART ", loop)},
      {"KALMET 1\r\n", "8,104", "192,104", "-", "-", "-", " KALMET ", steps(" KALMET ", loop)},
      {"KALMET-RS-D 1\r\n", "-", "-", "8,104", "192,104", "-", " KALMET-RS-D ",
       steps(" KALMET-RS-D ", rs485)},
      {"KALMET-RS-M 1\r\n", "-", "-", "8,104", "192,104", "-", " KALMET-RS-M ",
       steps(" KALMET-RS-M ", rs485)},
      {"KALMET-RS 1\r\n", "-", "1,1", "8,104", "1,1", "1,1", " KALMET-RS ",
       steps(" KALMET-RS ", {"show 3 8", "hide 1"})},
      {"KALMET-TAG 1\r\n",
       "-",
       "-",
       "-",
       "-",
       "8,104",
       " old ",
       {"hide 3", "hide 1", "hide 4", "hide 2", "label The connected probe is not supported.",
        "label Probe type: KALMET-TAG", "show 5 8"}},
  };
  for (const auto& r : rows) {
    for (G g : {G::GroupBox_MeasurementDataKALMET_C, G::GroupBox_ConfigurationDataKALMET_C,
                G::GroupBox_MeasurementDataKALMET_RS485, G::GroupBox_ConfigurationDataKALMET_RS485,
                G::GroupBox_Information})
      View.Groups[g] = {true, true, 1, 1};
    View.GroupCaptions[G::GroupBox_ProbeData] = " old ";
    TypeReply(r.Reply);
    EXPECT_EQ(Shown(G::GroupBox_MeasurementDataKALMET_C), r.MC) << r.Reply;
    EXPECT_EQ(Shown(G::GroupBox_ConfigurationDataKALMET_C), r.CC) << r.Reply;
    EXPECT_EQ(Shown(G::GroupBox_MeasurementDataKALMET_RS485), r.MR) << r.Reply;
    EXPECT_EQ(Shown(G::GroupBox_ConfigurationDataKALMET_RS485), r.CR) << r.Reply;
    EXPECT_EQ(Shown(G::GroupBox_Information), r.Info) << r.Reply;
    EXPECT_EQ(View.GroupCaptions[G::GroupBox_ProbeData], r.Caption) << r.Reply;
    std::vector<std::string> expected = r.Steps;
    expected.push_back("refresh");
    EXPECT_EQ(View.Log, expected) << r.Reply;
  }
  EXPECT_EQ(View.LabelCaptions[TProbeLabel::LabelUnsupportedOrUnknownMessage],
            "The connected probe is not supported.");
  EXPECT_EQ(View.LabelCaptions[TProbeLabel::LabelUnsupportedOrUnknownType],
            "Probe type: KALMET-TAG");
}

TEST_F(IdentificationTest, TypeZeroHidesTheDataGroupsAndLeavesTheRest) {
  View.Groups[G::GroupBox_Information] = {true, true, 8, 104};
  Engine.ApplyProbeType(0);
  EXPECT_EQ(View.Log, (std::vector<std::string>{"hide 3", "hide 1", "hide 4", "hide 2"}));
  EXPECT_TRUE(View.Groups[G::GroupBox_Information].Visible);
}

}  // namespace
