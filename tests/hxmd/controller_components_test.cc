#include <gtest/gtest.h>

#include "hxmd/machine_profile.h"

namespace {

using Bytes = std::vector<uint8_t>;

CMachineProfile MustLoad(const std::string& body) {
  CMachineProfile profile;
  std::string error;
  EXPECT_TRUE(profile.LoadText("<HxmdProfile Name=\"t\">" + body + "</HxmdProfile>", error)) << error;
  return profile;
}

std::string LoadError(const std::string& body) {
  CMachineProfile profile;
  std::string error;
  EXPECT_FALSE(profile.LoadText("<HxmdProfile>" + body + "</HxmdProfile>", error));
  EXPECT_EQ(profile.m_Replies.size(), 0u);
  return error;
}

const _ReplyRule* Find(CMachineProfile& profile, uint32_t opCode, uint32_t opCodeExt = 0, uint32_t objectId = 0,
                       uint32_t cabinetNr = 0xFFFFFFFF, const Bytes& parameters = {}) {
  return profile.m_Replies.Find(opCode, opCodeExt, objectId, cabinetNr, parameters);
}

Bytes Handle(uint32_t handle) { return Bytes{uint8_t(handle), uint8_t(handle >> 8), uint8_t(handle >> 16), 0}; }

TEST(ControllerProfile, SelRecordsArePackedAndRawDataFoundByHandle) {
  CMachineProfile profile = MustLoad(R"(
    <SystemEventLog>
      <Record Severity="2" ErrorCode="0x1234" Time="1970-01-02 00:00:00" Message="A">01 02</Record>
      <Record Severity="1" ErrorCode="5" Time="60" Message="B" Handle="77">03</Record>
      <Record Severity="0" ErrorCode="6" Time="60" Message="C" Length="0"/>
    </SystemEventLog>)");
  const _ReplyRule* log = Find(profile, 0x0B10);
  ASSERT_NE(log, nullptr);
  ASSERT_EQ(log->Data.size(), 54u);
  EXPECT_EQ((Bytes(log->Data.begin(), log->Data.begin() + 18)),
            (Bytes{18, 0, 0, 2, 0x34, 0x12, 0, 0, 0x80, 0x51, 0x01, 0, 1, 0, 0, 0, 'A', 0}));
  EXPECT_EQ(log->Data[18 + 12], 77);
  EXPECT_EQ(log->Data[36], 0);  // the overridden length field

  // Handles pick the raw data; a record without raw data has no reply.
  EXPECT_EQ(Find(profile, 0x0B19, 0, 0, 0xFFFFFFFF, Handle(1))->Data, (Bytes{1, 2}));
  EXPECT_EQ(Find(profile, 0x0B19, 0, 0, 0xFFFFFFFF, Handle(77))->Data, (Bytes{3}));
  EXPECT_EQ(Find(profile, 0x0B19, 0, 0, 0xFFFFFFFF, Handle(3)), nullptr);
}

TEST(ControllerProfile, SdrFromFieldsCarriesReadableThresholds) {
  CMachineProfile profile = MustLoad(R"(
    <SensorDataRecords>
      <Record Id="9" Type="Full" Name="12V" Unit="4" M="-2" UpperCritical="190"/>
    </SensorDataRecords>)");
  const Bytes& record = Find(profile, 0xF044, 0, 9)->Data;
  ASSERT_EQ(record.size(), 51u);
  EXPECT_EQ(record[18], 0x10);
  EXPECT_EQ(record[37], 190);
  EXPECT_EQ(record[24], 0xFE);
  EXPECT_EQ(record[25], 0xC0);
}

TEST(ControllerProfile, MalformedElementsNameTheirElement) {
  EXPECT_NE(LoadError("<ManagementController IPAddress=\"10.1\"/>").find("IPAddress"), std::string::npos);
  EXPECT_NE(LoadError("<IdProms><Class Code=\"1\"><Bogus/></Class></IdProms>").find("<Bogus>"), std::string::npos);
  EXPECT_NE(LoadError("<SensorDataRecords><Record Id=\"1\" Type=\"Odd\"/></SensorDataRecords>").find("Odd"),
            std::string::npos);
}

}  // namespace
