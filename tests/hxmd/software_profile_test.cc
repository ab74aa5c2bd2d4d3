#include <gtest/gtest.h>

#include "hxmd/machine_profile.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DataOf(CMachineProfile& profile, uint32_t opCode, uint32_t opCodeExt = 0, uint32_t objectId = 0) {
  const _ReplyRule* rule = profile.m_Replies.Find(opCode, opCodeExt, objectId, 0xFFFFFFFF);
  return rule != nullptr ? rule->Data : Bytes{0xDE, 0xAD};
}

}  // namespace

TEST(SoftwareProfile, ElementsBecomeTheRepliesOfTheSoftwareSections) {
  CMachineProfile profile;
  std::string error;
  ASSERT_TRUE(profile.LoadText(
      "<HxmdProfile><AgentSecurity SetAllowed='yes' UserGroup='ops'/>"
      "<RaidManager>\n  <rdEMX Version=\"2\">\n    <A/>\n  </rdEMX>\n</RaidManager>"
      "<Revscope ScanState='3' Handle='9'><Component Type='0x104' TypeName='Disk' PhysicalContainer='2' "
      "FunctionalContainer='1' Vendor='V' Name='N'/><Component Type='7'/></Revscope>"
      "<Drivewatch><Adapter Status='1' Class='2'/><Drive Name='sda'/><Adapter Name='ahci'/><Event Time='0x10'/>"
      "</Drivewatch></HxmdProfile>",
      error))
      << error;
  EXPECT_EQ(DataOf(profile, 0xE001, 0x3810), Bytes{1});
  EXPECT_EQ(profile.m_Replies.Find(0xE001, 0x3812, 0, 0), nullptr);
  EXPECT_EQ(DataOf(profile, 0xE001, 0x3813), (Bytes{'o', 'p', 's', 0}));
  Bytes raid = DataOf(profile, 0xF020, 1);
  EXPECT_EQ(std::string(raid.begin(), raid.end()), std::string("<rdEMX Version=\"2\">\n<A/>\n</rdEMX>\n\0", 35));

  EXPECT_EQ(DataOf(profile, 0x0C82), (Bytes{9, 0, 0, 0}));
  EXPECT_EQ(DataOf(profile, 0x0C85, 9), (Bytes{2, 0}));
  EXPECT_EQ(DataOf(profile, 0x0C86, 9, 1), (Bytes{2, 0, 1, 0, 0x04, 0x01, 'V', 0, 'N', 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(DataOf(profile, 0x0C87, 0x104), (Bytes{'D', 'i', 's', 'k', 0}));

  EXPECT_EQ(DataOf(profile, 0x1800), (Bytes{2, 0}));
  EXPECT_EQ(DataOf(profile, 0x1830), (Bytes{1, 0}));
  EXPECT_EQ(DataOf(profile, 0x1803, 0, 1), (Bytes{'a', 'h', 'c', 'i', 0}));
  EXPECT_EQ(profile.m_Replies.Find(0x1801, 0, 1, 0), nullptr);
  EXPECT_EQ(DataOf(profile, 0x181A, 0, 0), (Bytes{0x10, 0, 0, 0}));
}

TEST(SoftwareProfile, MalformedElementsAreRefusedWithTheirReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"<AgentSecurity SetAllowed='maybe'/>", "neither yes nor no"},
      {"<AgentStatus Status='x1'/>", "Status is not a number"},
      {"<RaidManager/>", "no status document"},
      {"<Drivewatch><Event Time='-1'/></Drivewatch>", "Time is not a number"},
  };
  for (const auto& [body, reason] : cases) {
    CMachineProfile profile;
    std::string error;
    EXPECT_FALSE(profile.LoadText(std::string("<HxmdProfile>") + body + "</HxmdProfile>", error)) << body;
    EXPECT_NE(error.find(reason), std::string::npos) << body << ": " << error;
  }
}
