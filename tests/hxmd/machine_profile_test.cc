#include <gtest/gtest.h>

#include "hxmd/machine_profile.h"

namespace {

CMachineProfile MustLoad(const std::string& body) {
  CMachineProfile profile;
  std::string error;
  EXPECT_TRUE(profile.LoadText("<HxmdProfile Name=\"t\">" + body + "</HxmdProfile>", error)) << error;
  return profile;
}

using Bytes = std::vector<uint8_t>;

// The data of the rule answering a command; DE AD when none does.
Bytes DataOf(CMachineProfile& profile, uint32_t opCode) {
  const _ReplyRule* rule = profile.m_Replies.Find(opCode, 0, 0, 0xFFFFFFFF);
  return rule != nullptr ? rule->Data : Bytes{0xDE, 0xAD};
}

// The reason a profile body is refused for.
std::string LoadError(const std::string& body) {
  CMachineProfile profile;
  std::string error;
  EXPECT_FALSE(profile.LoadText("<HxmdProfile>" + body + "</HxmdProfile>", error)) << body;
  EXPECT_EQ(profile.m_Replies.size(), 0u);
  return error;
}

}  // namespace

TEST(MachineProfile, DataEncodingsConcatenateInOrderAsLittleEndian) {
  CMachineProfile profile = MustLoad(
      "<Reply OpCode='0x10' Hex='01 0a,FF'/>"
      "<Reply OpCode='0x11' Text='AB' Nul='true'/>"
      "<Reply OpCode='0x12' U16='1200'/>"
      "<Reply OpCode='0x13' U32='-2'/>"
      "<Reply OpCode='0x14'><U8>7</U8><Text>x&amp;y</Text><U16>0x0102</U16><Fill Count='3' Byte='0xAA'/></Reply>"
      "<Reply OpCode='*' ObjectId='2' Length='9'/>"
      "<Reply OpCode='0x40' U8='010'/>");
  EXPECT_EQ(DataOf(profile, 0x10), (Bytes{0x01, 0x0A, 0xFF}));
  EXPECT_EQ(DataOf(profile, 0x11), (Bytes{'A', 'B', 0}));
  EXPECT_EQ(DataOf(profile, 0x12), (Bytes{0xB0, 0x04}));
  EXPECT_EQ(DataOf(profile, 0x13), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(DataOf(profile, 0x14), (Bytes{7, 'x', '&', 'y', 0x02, 0x01, 0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(profile.m_Replies.Find(0x77, 0, 2, 0)->AnnouncedLength, 9u) << "announced apart from the data";
  EXPECT_EQ(DataOf(profile, 0x40), (Bytes{10})) << "decimal unless marked hex";
}

TEST(MachineProfile, BrokenProfilesAreRefusedWithTheirReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"<Reply Status='0'/>", "OpCode missing"},
      {"<Reply OpCode='zz'/>", "not a number"},
      {"<Reply OpCode='--1'/>", "not a number"},
      {"<Reply OpCode='1' Hex='0G'/>", "hex digit"},
      {"<Reply OpCode='1' Hex='012'/>", "odd number"},
      {"<Reply OpCode='1' Fault='explode'/>", "unknown Fault"},
      {"<Reply OpCode='1'><Fill Count='99999999999'/></Reply>", "out of range"},
      {"<Reply OpCode='1'><Fill Count='16777216'/><Fill Count='16777216'/></Reply>", "out of range"},
      {"<Gadget/>", "unknown element"},
      {"<Sensors><Widget/></Sensors>", "unknown sensor kind"},
      {"<ManagementController IPAddress=\"10.1\"/>", "IPAddress"},
      {"<IdProms><Class Code=\"1\"><Bogus/></Class></IdProms>", "<Bogus>"},
      {"<SensorDataRecords><Record Id=\"1\" Type=\"Odd\"/></SensorDataRecords>", "Odd"},
      {"<AgentSecurity SetAllowed='maybe'/>", "neither yes nor no"},
      {"<AgentStatus Status='x1'/>", "Status is not a number"},
      {"<RaidManager/>", "no status document"},
      {"<Drivewatch><Event Time='-1'/></Drivewatch>", "Time is not a number"},
  };
  for (const auto& [body, reason] : cases) EXPECT_NE(LoadError(body).find(reason), std::string::npos) << body;
  CMachineProfile profile;
  std::string error;
  EXPECT_FALSE(profile.LoadText("<Other/>", error));
  EXPECT_FALSE(profile.LoadText("<HxmdProfile><Reply", error));
  EXPECT_FALSE(profile.Load("/nonexistent/profile.xml", error));
}

