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
Bytes DataOf(CMachineProfile& profile, uint32_t opCode, uint32_t opCodeExt = 0, uint32_t objectId = 0,
             uint32_t cabinetNr = 0xFFFFFFFF, const Bytes& parameters = {}) {
  const _ReplyRule* rule = profile.m_Replies.Find(opCode, opCodeExt, objectId, cabinetNr, parameters);
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

TEST(MachineProfile, OpenKeysMatchAnyValueAndFirstRuleWins) {
  CMachineProfile profile = MustLoad(
      "<Reply OpCode='0x20' ObjectId='3' U8='33'/>"
      "<Reply OpCode='0x20' CabinetNr='*' U8='1'/>"
      "<Reply OpCode='0x21' OpCodeExt='2' CabinetNr='0' Status='0x15' U8='5'/>");
  EXPECT_EQ(DataOf(profile, 0x20, 9, 3, 7), (Bytes{33}));
  EXPECT_EQ(DataOf(profile, 0x20, 9, 4, 7), (Bytes{1}));
  EXPECT_EQ(profile.m_Replies.Find(0x21, 2, 0, 1), nullptr);
  EXPECT_EQ(profile.m_Replies.Find(0x21, 1, 0, 0), nullptr);
  ASSERT_NE(profile.m_Replies.Find(0x21, 2, 0, 0), nullptr);
  EXPECT_EQ(profile.m_Replies.Find(0x21, 2, 0, 0)->Status, 0x15u);
  EXPECT_EQ(profile.m_Replies.Find(0x22, 0, 0, 0), nullptr);
}

TEST(MachineProfile, RuleWithUsesRetiresSoTheNextOneAnswers) {
  CMachineProfile profile = MustLoad("<Reply OpCode='0x30' Uses='1' Fault='close'/><Reply OpCode='0x30' U8='2'/>");
  EXPECT_EQ(profile.m_Replies.Find(0x30, 0, 0, 0)->ReplyFault, _ReplyRule::FaultClose);
  EXPECT_EQ(DataOf(profile, 0x30), (Bytes{2}));
  EXPECT_EQ(DataOf(profile, 0x30), (Bytes{2}));
}

TEST(MachineProfile, SensorsBecomeCountNameStatusAndValueReplies) {
  CMachineProfile profile = MustLoad(
      "<Sensors CabinetNr='0xFFFFFFFF'>"
      "<Voltage Name='12V' Status='1' CSS='true' Current='12.05' Nominal='12' Min='-12.00' Max='30.00'/>"
      "<Temperature Name='CPU' Status='6' Current='41' Warning='89' Critical='93'/>"
      "<Temperature Name='MEM' Status='0'/>"
      "</Sensors>");
  EXPECT_EQ(DataOf(profile, 0x0520), (Bytes{1}));
  EXPECT_EQ(DataOf(profile, 0x0522), (Bytes{'1', '2', 'V'}));
  EXPECT_EQ(DataOf(profile, 0x0529), (Bytes{1}));
  EXPECT_EQ(DataOf(profile, 0x0524), (Bytes{0xB5, 0x04}));
  EXPECT_EQ(DataOf(profile, 0x0527), (Bytes{12, 0}));
  // Thresholds: low word minimum (-1200), high word maximum (3000).
  EXPECT_EQ(DataOf(profile, 0x0523), (Bytes{0x50, 0xFB, 0xB8, 0x0B}));
  EXPECT_EQ(DataOf(profile, 0x0400), (Bytes{2}));
  EXPECT_EQ(DataOf(profile, 0x0404, 0, 1), (Bytes{'M', 'E', 'M'}));
  EXPECT_EQ(DataOf(profile, 0xE001, 0x0091, 0), (Bytes{93}));
  EXPECT_EQ(profile.m_Replies.Find(0x0402, 0, 1, 0xFFFFFFFF), nullptr);
  EXPECT_EQ(profile.m_Replies.Find(0x0400, 0, 0, 2), nullptr);
}

TEST(MachineProfile, SensorDataRecordsGiveIdListAndRecords) {
  CMachineProfile profile = MustLoad(
      "<SensorDataRecords><Record Id='0x0201'>01 02 51 01</Record><Record Id='7'>AA</Record></SensorDataRecords>");
  EXPECT_EQ(DataOf(profile, 0xF043), (Bytes{0x01, 0x02, 0x07, 0x00}));
  EXPECT_EQ(DataOf(profile, 0xF044, 0, 0x0201), (Bytes{0x01, 0x02, 0x51, 0x01}));
  EXPECT_EQ(DataOf(profile, 0xF044, 0, 7), (Bytes{0xAA}));
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

TEST(MachineProfile, EventLogsArePackedRecordsAndRawDataAnswersByHandle) {
  CMachineProfile profile = MustLoad(
      "<SystemEventLog>"
      "<Record Severity='2' ErrorCode='0x1234' Time='1970-01-02 00:00:00' Message='Fan'>01 02</Record>"
      "<Record Severity='1' Handle='9' Time='5' Message=''/>"
      "</SystemEventLog>"
      "<InternalEventLog><Record Severity='3' ErrorCode='0x00ABCDEF' Time='-1' Message='x'/></InternalEventLog>");
  Bytes sel = DataOf(profile, 0x0B10);
  ASSERT_EQ(sel.size(), 20u + 17u);
  EXPECT_EQ(sel[0], 20);
  EXPECT_EQ(sel[3], 2);
  EXPECT_EQ(sel[4] | sel[5] << 8, 0x1234);
  EXPECT_EQ(sel[8] | sel[9] << 8 | sel[10] << 16, 86400);
  EXPECT_EQ(sel[12], 1);
  EXPECT_EQ(std::string(sel.begin() + 16, sel.begin() + 20), std::string("Fan\0", 4));
  EXPECT_EQ(sel[20 + 12], 9);

  EXPECT_EQ(DataOf(profile, 0x0B19, 0, 0, 0xFFFFFFFF, {1, 0, 0, 0}), (Bytes{1, 2}));
  // A record without raw data has no reply: an empty one would leave the
  // request's handle in the scanner's packet as if it were the data.
  EXPECT_EQ(DataOf(profile, 0x0B19, 0, 0, 0xFFFFFFFF, {9, 0, 0, 0}), (Bytes{0xDE, 0xAD}));
  EXPECT_EQ(DataOf(profile, 0x0B19, 0, 0, 0xFFFFFFFF, {2, 0, 0, 0}), (Bytes{0xDE, 0xAD}));

  Bytes iel = DataOf(profile, 0x0B31);
  ASSERT_EQ(iel.size(), 42u);
  EXPECT_EQ(iel[0], 42);
  EXPECT_EQ(iel[5], 3);
  EXPECT_EQ(iel[8] | iel[9] << 8 | iel[10] << 16, 0xABCDEF);
  EXPECT_EQ(iel[16], 0xFF);
  EXPECT_EQ(iel[23], 0xFF);
  EXPECT_EQ(iel[40], 'x');
}

TEST(MachineProfile, FullSdrFromFieldsCarriesReadableThresholds) {
  CMachineProfile profile = MustLoad(
      "<SensorDataRecords><Record Id='9' Type='Full' Name='12V' Unit='4' M='-2' UpperCritical='190'/>"
      "</SensorDataRecords>");
  const Bytes record = DataOf(profile, 0xF044, 0, 9);
  ASSERT_EQ(record.size(), 51u);
  EXPECT_EQ(record[18], 0x10);
  EXPECT_EQ(record[37], 190);
  EXPECT_EQ(record[24], 0xFE) << "M is ten bits of two's complement";
  EXPECT_EQ(record[25], 0xC0);
}

TEST(MachineProfile, SoftwareElementsBecomeTheRepliesOfTheSoftwareSections) {
  CMachineProfile profile = MustLoad(
      "<AgentSecurity SetAllowed='yes' UserGroup='ops'/>"
      "<RaidManager>\n  <rdEMX Version=\"2\">\n    <A/>\n  </rdEMX>\n</RaidManager>"
      "<Revscope ScanState='3' Handle='9'><Component Type='0x104' TypeName='Disk' PhysicalContainer='2' "
      "FunctionalContainer='1' Vendor='V' Name='N'/><Component Type='7'/></Revscope>"
      "<Drivewatch><Adapter Status='1' Class='2'/><Drive Name='sda'/><Adapter Name='ahci'/><Event Time='0x10'/>"
      "</Drivewatch>");
  EXPECT_EQ(DataOf(profile, 0xE001, 0x3810), Bytes{1});
  EXPECT_EQ(profile.m_Replies.Find(0xE001, 0x3812, 0, 0), nullptr);
  EXPECT_EQ(DataOf(profile, 0xE001, 0x3813), (Bytes{'o', 'p', 's', 0}));
  Bytes raid = DataOf(profile, 0xF020, 1);
  EXPECT_EQ(std::string(raid.begin(), raid.end()), std::string("<rdEMX Version=\"2\">\n<A/>\n</rdEMX>\n\0", 35));
  EXPECT_EQ(DataOf(profile, 0x0C85, 9), (Bytes{2, 0}));
  EXPECT_EQ(DataOf(profile, 0x0C86, 9, 1), (Bytes{2, 0, 1, 0, 0x04, 0x01, 'V', 0, 'N', 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(DataOf(profile, 0x0C87, 0x104), (Bytes{'D', 'i', 's', 'k', 0}));
  EXPECT_EQ(DataOf(profile, 0x1800), (Bytes{2, 0}));
  EXPECT_EQ(DataOf(profile, 0x1803, 0, 1), (Bytes{'a', 'h', 'c', 'i', 0}));
  EXPECT_EQ(profile.m_Replies.Find(0x1801, 0, 1, 0), nullptr);
  EXPECT_EQ(DataOf(profile, 0x181A), (Bytes{0x10, 0, 0, 0}));
}
