// The management controller's report sections, run in-process against hxmd
// with a machine profile per test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "hxmd/sdr_encoder.h"
#include "support/channel_test.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", b);
    text += digits;
  }
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ControllerSections : public HxmdSectionTest {
 protected:
  ControllerSections() { m_Report.m_Report.SetDoc("<Root><Summary/></Root>"); }
  std::string Summary() { return m_Report.m_Report.GetDoc(); }
};

TEST_F(ControllerSections, VoltagesKeepSignsAndReadTwoOrFourByteThresholds) {
  StartDaemon(R"(
    <Reply OpCode="0x0523" ObjectId="1" U16="1200"/>
    <Reply OpCode="0x0521" ObjectId="2" Status="5"/>
    <Sensors>
      <Voltage Name="STBY 12V" Status="1" CSS="true" Current="12.05" Nominal="12.00" Min="12.00" Max="30.00"/>
      <Voltage Name="VCC -12V" Status="3" CSS="false" Current="-0.05" Nominal="-12.00" Min="-12.60"/>
      <Voltage Name="Lost" Status="1" Current="1.00"/>
    </Sensors>)");
  std::string doc = Scan(&CDiagReport::ScanVoltages);
  EXPECT_THAT(doc, HasSubstr("<Voltages Schema=\"1\" Count=\"3\">"));
  EXPECT_THAT(doc, HasSubstr("<Voltage Name=\"STBY 12V\" CSS=\"true\">\n<Status Description=\"ok\">1</Status>\n"
                             "<CurrValue>12.05</CurrValue>\n<NomValue>12.00</NomValue>\n<Thresholds>\n"
                             "<MinValue>12.00</MinValue>\n<MaxValue>30.00</MaxValue>\n</Thresholds>\n</Voltage>"));
  EXPECT_THAT(doc, HasSubstr("<Status Description=\"too high\">3</Status>\n<CurrValue>-0.05</CurrValue>\n"
                             "<NomValue>-12.00</NomValue>\n<Thresholds>\n<MinValue>12.00</MinValue>\n"
                             "<MaxValue>0.00</MaxValue>"));
  // A rejected status reply leaves the item with its name only.
  EXPECT_THAT(doc, HasSubstr("<Voltage Name=\"Lost\"/>"));
}

TEST_F(ControllerSections, EmptySensorListKeepsCountZero) {
  StartDaemon(R"(<Reply OpCode="0x0300" U8="0"/>)");
  EXPECT_EQ(Scan(&CDiagReport::ScanFans, ACTION_STATE_WRITTEN), "<Fans Schema=\"1\" Count=\"0\"/>\n");
  // No count at all: nothing written as far as the driver is concerned.
  EXPECT_EQ(Scan(&CDiagReport::ScanPowerSupplies), "<PowerSupplies Schema=\"1\" Count=\"0\"/>\n");
}

TEST_F(ControllerSections, FanWithStatusFiveHasNoSpeedsAndOddMaxSpeedReplyIsSkipped) {
  StartDaemon(R"(
    <Reply OpCode="0x0313" ObjectId="1"><U16>1</U16><U16>2</U16><U16>3</U16></Reply>
    <Sensors>
      <Fan Name="FAN PSU" Status="5" Speed="100" MaxSpeed="200" NominalMaxSpeed="300"/>
      <Fan Name="FAN1" Status="1" CSS="true" Speed="5280"/>
      <Fan Name="FAN2" Status="1" Speed="5160" MaxSpeed="9600" NominalMaxSpeed="10000"/>
    </Sensors>)");
  std::string doc = Scan(&CDiagReport::ScanFans, ACTION_STATE_WRITTEN);
  EXPECT_THAT(doc, HasSubstr("<Fan Name=\"FAN PSU\">\n"
                             "<Status Description=\"not manageable\">5</Status>\n</Fan>"));
  EXPECT_THAT(doc, HasSubstr("<CurrSpeed>5280</CurrSpeed>\n</Fan>"));
  EXPECT_THAT(doc, HasSubstr("<CurrSpeed>5160</CurrSpeed>\n<CurrMaxSpeed>9600</CurrMaxSpeed>\n"
                             "<NomMaxSpeed>10000</NomMaxSpeed>"));
}

TEST_F(ControllerSections, TemperatureStatusZeroEndsItemAndThresholdsNeedAcceptedReplies) {
  StartDaemon(R"(
    <Reply OpCode="0xE001" OpCodeExt="0x0091" ObjectId="1" Status="7" U8="99"/>
    <Sensors>
      <Temperature Name="MEM A" Status="0" Current="30"/>
      <Temperature Name="CPU1" Status="6" Current="41" Warning="89" Critical="93"/>
    </Sensors>)");
  std::string doc = Scan(&CDiagReport::ScanTemperatures, ACTION_STATE_WRITTEN);
  EXPECT_THAT(doc, HasSubstr("<Temperature Name=\"MEM A\">\n<Status Description=\"not available\">0</Status>\n"
                             "</Temperature>"));
  EXPECT_THAT(doc, HasSubstr("<Status Description=\"ok\">6</Status>\n<CurrValue>41</CurrValue>\n"
                             "<WarningThreshold>89</WarningThreshold>\n</Temperature>"));
}

TEST_F(ControllerSections, PowerSupplyLoadIsReadEvenWithoutStatus) {
  StartDaemon(R"(
    <Reply OpCode="0x0501" ObjectId="0" Status="3"/>
    <Sensors><PowerSupply Name="PSU1" Status="1" Load="184"/></Sensors>)");
  EXPECT_THAT(Scan(&CDiagReport::ScanPowerSupplies, ACTION_STATE_WRITTEN),
              HasSubstr("<PowerSupply Name=\"PSU1\">\n<Load>184</Load>\n</PowerSupply>"));
}

TEST_F(ControllerSections, SelWalkCountsSeveritiesAndDumpsRawRecords) {
  StartDaemon(R"(
    <SystemEventLog>
      <Record Severity="1" ErrorCode="0x1234" Time="2023-11-14 22:13:20" Message="Fan 1 slow">00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13</Record>
      <Record Severity="2" ErrorCode="2" Time="0" Message="PSU 2 lost"/>
      <Record Severity="3" ErrorCode="3" Time="1700000060" Message="CPU 1 hot">AA</Record>
      <Record Severity="7" ErrorCode="4" Time="1700000120" Message="odd">AA</Record>
    </SystemEventLog>)");
  std::string doc = Scan(&CDiagReport::ScanSel);
  EXPECT_EQ(Count(doc, "<Entry>"), 4);
  EXPECT_THAT(doc, HasSubstr("<Entry>\n<Date>2023/11/14 22:13:20</Date>\n<Severity>MINOR</Severity>\n"
                             "<ErrorCode>120034</ErrorCode>\n<Message>Fan 1 slow</Message>\n<Data Size=\"20\">\n"
                             "<HexDump Lines=\"2\" BytesPerLine=\"16\">"));
  EXPECT_THAT(doc, HasSubstr("<Hex>10 11 12 13                                    </Hex>"));
  EXPECT_THAT(doc, Not(HasSubstr("<ASCII>")));
  // The second record has no raw data: no Data child.
  EXPECT_THAT(doc, HasSubstr("<Date> &lt;no date/no time&gt; </Date>\n<Severity>MAJOR</Severity>\n"
                             "<ErrorCode>000002</ErrorCode>\n<Message>PSU 2 lost</Message>\n</Entry>"));
  EXPECT_THAT(doc, HasSubstr("<Severity/>\n<ErrorCode>000004</ErrorCode>"));

  std::string summary = Summary();
  EXPECT_THAT(summary, HasSubstr("<Message>2 important error(s) in system event log (SEL)!</Message>"));
  EXPECT_THAT(summary, HasSubstr("<Message>1 important warning(s) in system event log SEL</Message>"));
}

TEST_F(ControllerSections, EventLogWalksEndCleanlyOnBrokenRecords) {
  StartDaemon(R"(
    <SystemEventLog>
      <Record Severity="0" ErrorCode="1" Time="1" Message="kept"/>
      <Record Severity="3" ErrorCode="2" Time="1" Message="length zero" Length="0"/>
    </SystemEventLog>
    <InternalEventLog>
      <Record Severity="1" ErrorCode="0xABCDEF" Time="1700000000" Message="BMC warm reset"/>
      <Record Severity="2" ErrorCode="2" Time="1" Message="runs past the reply" Length="4000"/>
    </InternalEventLog>)");
  std::string selDoc = Scan(&CDiagReport::ScanSel);
  EXPECT_EQ(Count(selDoc, "<Entry>"), 1);
  std::string ielDoc = Scan(&CDiagReport::ScanIel);
  EXPECT_EQ(Count(ielDoc, "<Entry>"), 1);
  EXPECT_THAT(ielDoc, HasSubstr("<ErrorCode>ABCDEF</ErrorCode>\n<Message>BMC warm reset</Message>\n</Entry>"));
  std::string summary = Summary();
  EXPECT_THAT(summary, HasSubstr("<Message>1 important warning(s) in internal event log IEL</Message>"));
  EXPECT_THAT(summary, Not(HasSubstr("Errors")));
}

TEST_F(ControllerSections, ShortLogReplyGivesNoEntries) {
  StartDaemon(R"(<Reply OpCode="0x0B10"><Fill Count="17" Byte="1"/></Reply>
                 <Reply OpCode="0x0B31"><Fill Count="41" Byte="1"/></Reply>)");
  EXPECT_EQ(Scan(&CDiagReport::ScanSel), "<SystemEventlog Schema=\"1\"/>\n");
  EXPECT_EQ(Scan(&CDiagReport::ScanIel), "<InternalEventlog Schema=\"1\"/>\n");
}

TEST_F(ControllerSections, SdrRecordsDecodeWithNormalizedThresholds) {
  _SdrSensorFields temp;
  temp.recordId = 1;
  temp.readableMask = 0x1B;
  temp.upperCritical = 85;
  temp.upperNonCritical = 80;
  temp.lowerCritical = 5;
  temp.lowerNonCritical = 10;
  temp.name = "CPU1 Temp";
  _SdrSensorFields compact;
  compact.recordId = 3;
  compact.name = "Fan Status";
  StartDaemon("<SensorDataRecords><Record Id=\"1\">" + Hex(BuildFullSdr(temp)) + "</Record>" +
              R"(<Record Id="2" Type="Full" Name="12V" SensorType="2" Unit="4" M="2" ResultExponent="-2"
                         UpperCritical="150"/>)" +
              "<Record Id=\"3\">" + Hex(BuildCompactSdr(compact)) + "</Record><Record Id=\"4\">01 00 51</Record>" +
              "<Record Id=\"5\">" + Hex(BuildLocatorSdr(0x12, 5, 0x51, 0x2E, 1, "BMC")) + "</Record>" +
              "<Record Id=\"6\">01 02</Record></SensorDataRecords><Reply OpCode=\"0xF044\" ObjectId=\"6\" Status=\"10\"/>");
  std::string doc = Scan(&CDiagReport::ScanSdr);
  EXPECT_THAT(doc, HasSubstr("<SDR RecordID=\"1\" RecordType=\"1\" RecordTypeName=\"Full SDR\" Version=\"1.5\" "
                             "Length=\"57\">"));
  EXPECT_THAT(doc, HasSubstr("<Thresholds>\n<UpperCritical>\n<Raw>85</Raw>\n<Normalized>85</Normalized>\n"
                             "</UpperCritical>\n<LowerCritical>\n<Raw>5</Raw>\n<Normalized>5</Normalized>\n"
                             "</LowerCritical>\n<UpperNonCritical>\n<Raw>80</Raw>\n<Normalized>80</Normalized>\n"
                             "</UpperNonCritical>\n<LowerNonCritical>\n<Raw>10</Raw>\n"));
  EXPECT_THAT(doc, HasSubstr("<Raw>150</Raw>\n<Normalized>3.00</Normalized>"));
  EXPECT_THAT(doc, HasSubstr("<Name>CPU1 Temp</Name>"));
  EXPECT_THAT(doc, HasSubstr("<Sensor>\n<Type>1</Type>\n<TypeName>Temperature</TypeName>\n<BaseUnit>1</BaseUnit>\n"
                             "<ModifierUnit>0</ModifierUnit>\n<BaseUnitName>degree C</BaseUnitName>\n"
                             "<ModifierUnitName>N/A</ModifierUnitName>\n</Sensor>"));
  EXPECT_THAT(doc, HasSubstr("<SensorOwner Type=\"IPMB\">\n<ID>20</ID>\n<LUN>0</LUN>\n<Channel>0</Channel>\n"
                             "</SensorOwner>\n<SensorNumber>1</SensorNumber>"));
  // The stub record: zero key, empty names.
  EXPECT_THAT(doc, HasSubstr("<SDR RecordID=\"0\" RecordType=\"0\" RecordTypeName=\"\" Version=\"\" Length=\"3\">"));
  EXPECT_THAT(doc, HasSubstr("RecordTypeName=\"Managment Controller SDR\""));
  EXPECT_EQ(Count(doc, "<SDR "), 5);
  EXPECT_EQ(Count(doc, "<Thresholds>"), 2);  // Compact and locator records have none
}

TEST_F(ControllerSections, IdPromNamesFallBackAndFailedCountGivesOneInstance) {
  StartDaemon(R"(
    <Reply OpCode="0x0C21" OpCodeExt="5" Status="10"/>
    <IdProms MainCabinet="0">
      <Class Code="5"/>
      <Class Code="7" Name="Mainboard">
        <Field Id="0x0003" Name="Serial Number" FieldName="Board Serial"/>
        <Field Id="0x0201"/>
        <Instance Raw="41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54">
          <Value Id="0x0003">SN1234</Value>
          <Value Id="0x0201">D3401</Value>
        </Instance>
        <Instance/>
      </Class>
    </IdProms>)");
  std::string doc = Scan(&CDiagReport::ScanIdProms);
  EXPECT_THAT(doc, HasSubstr("<Class Name=\"Class 5\" Code=\"5\" CabinetNr=\"0\">\n"
                             "<Instance ClassName=\"Class 5\" ClassCode=\"5\" Index=\"0\">\n<Data Size=\"0\"/>\n"
                             "</Instance>\n</Class>"));
  EXPECT_THAT(doc, HasSubstr("<Class Name=\"Mainboard\" Code=\"7\" CabinetNr=\"0\">"));
  EXPECT_THAT(doc, HasSubstr("<Data Size=\"20\">\n<HexDump Lines=\"2\" BytesPerLine=\"16\">"));
  EXPECT_THAT(doc, HasSubstr("<Line Offset=\"16\">\n<Hex>51 52 53 54                                    </Hex>\n"
                             "<ASCII><![CDATA[QRST            ]]></ASCII>"));
  EXPECT_THAT(doc, HasSubstr("<String ValueID=\"0201\" ValueName=\"ValueID 0201\">D3401</String>"));
  EXPECT_THAT(doc, HasSubstr("<String ValueID=\"0003\" ValueName=\"Serial Number\" FieldName=\"Board Serial\">"
                             "SN1234</String>"));
  // The second instance has no raw bytes.
  EXPECT_THAT(doc, HasSubstr("<Instance ClassName=\"Mainboard\" ClassCode=\"7\" Index=\"1\">\n<Data Size=\"0\"/>"));
}

TEST_F(ControllerSections, BootStatusDescribesReasonsAndBehavior) {
  StartDaemon(R"(<BootStatus PowerOnReason="6" PowerOffReason="9" PowerFailBehavior="3"/>)");
  EXPECT_EQ(Scan(&CDiagReport::ScanBootStatus),
            "<BootStatus Schema=\"1\">\n<PowerOnReason AsString=\"\">6</PowerOnReason>\n"
            "<PowerOffReason AsString=\"Remoe Power Off\">9</PowerOffReason>\n"
            "<PowerFailBehavior AsString=\"N/A\">3</PowerFailBehavior>\n</BootStatus>\n");
}

TEST_F(ControllerSections, FeaturesDocumentIsInsertedAndBrokenOneIsKeptAsCharacterData) {
  StartDaemon(R"(<Reply OpCode="0x0C40" Uses="1" Text="&lt;FeatureList&gt;&lt;Feature"/>
                 <Features><FeatureList><Feature Name="Console"/></FeatureList></Features>)");
  CMarkup broken;
  EXPECT_EQ(m_Report.ScanSystemFeatures(broken), ACTION_STATE_NOTHING);
  EXPECT_EQ(broken.GetDoc(), "<Features Schema=\"1\"><![CDATA[<FeatureList><Feature]]></Features>\n");
  EXPECT_THAT(Scan(&CDiagReport::ScanSystemFeatures),
              HasSubstr("<Features Schema=\"1\">\n<FeatureList><Feature Name=\"Console\"/></FeatureList>"));
}

TEST_F(ControllerSections, ControllerNetworkSettingsOnlyForIxmc) {
  StartDaemon(R"(
    <ManagementController Index="0" Name="iXMC S4" Firmware="4.12" IPAddress="192.168.1.10"
                          SubnetMask="255.255.255.0" Gateway="192.168.1.1" MACAddress="00-1A-2B-3C-4D-5E-6F"
                          LANPort="1" NominalSpeed="100"/>
    <ManagementController Index="2" Name="Other BMC" Firmware="1.0" IPAddress="10.0.0.2"/>)");
  std::string doc = Scan(&CDiagReport::ScanManagementControllers);
  EXPECT_THAT(doc, HasSubstr("<iXMC Name=\"iXMC S4\">\n<Firmware>4.12</Firmware>\n<IPAddress>192.168.1.10</IPAddress>\n"
                             "<IPSubnetMask>255.255.255.0</IPSubnetMask>\n<IPGateway>192.168.1.1</IPGateway>\n"
                             "<MACAddress/>\n<ManagementLANPort>1</ManagementLANPort>\n"
                             "<IPNominalSpeed>100</IPNominalSpeed>\n</iXMC>"));
  EXPECT_THAT(doc, HasSubstr("<iXMC Name=\"Other BMC\">\n<Firmware>1.0</Firmware>\n</iXMC>"));
  EXPECT_EQ(Count(doc, "<iXMC "), 2);
}

TEST_F(ControllerSections, StorageExtensionWithoutFanCountKeepsItsOtherSensors) {
  StartDaemon(R"(
    <Reply OpCode="0x0300" CabinetNr="2" Status="10"/>
    <StorageExtensions>
    <StorageExtension ID="1" Name="SX40 Shelf 1">
      <Fan Name="Shelf1 FAN" Status="1" Speed="3000"/>
      <Temperature Name="Shelf1 Ambient" Status="1" Current="27"/>
      <PowerSupply Name="Shelf1 PSU" Status="1" Load="80"/>
      <Voltage Name="Shelf1 12V" Status="1" Current="12.00"/>
    </StorageExtension>
    <StorageExtension ID="2">
      <Fan Name="Shelf2 FAN" Status="1" Speed="3100"/>
      <Temperature Name="Shelf2 Ambient" Status="1" Current="28"/>
    </StorageExtension>
    </StorageExtensions>)");
  std::string doc = Scan(&CDiagReport::ScanStorageExtensions);
  EXPECT_THAT(doc, HasSubstr("<StorageExtension Schema=\"1\" ID=\"1\" Name=\"SX40 Shelf 1\">\n<Fans Schema=\"1\" "
                             "Count=\"1\">"));
  size_t second = doc.find("<StorageExtension Schema=\"1\" ID=\"2\" Name=\"\">\n<Temperatures Schema=\"1\" Count=\"1\">");
  ASSERT_NE(second, std::string::npos) << doc;
  EXPECT_THAT(doc.substr(second), Not(HasSubstr("<Fans")));
  EXPECT_THAT(doc.substr(0, second), HasSubstr("<Voltages Schema=\"1\" Count=\"1\">"));
}

TEST_F(ControllerSections, WithoutDaemonSectionsWriteEmptyElements) {
  m_Report.m_bHxmdAvailable = 0;
  EXPECT_EQ(Scan(&CDiagReport::ScanTemperatures), "<Temperatures Schema=\"1\" Count=\"0\"/>\n");
  EXPECT_EQ(Scan(&CDiagReport::ScanSdr), "<SensorDataRecords Schema=\"1\"/>\n");
  EXPECT_EQ(Scan(&CDiagReport::ScanStorageExtensions), "");
  m_Report.m_bHxasInstallation = 1;
  EXPECT_EQ(Scan(&CDiagReport::ScanBootStatus), "");
  EXPECT_EQ(Scan(&CDiagReport::ScanSystemFeatures), "<Features Schema=\"1\"/>\n");
}

}  // namespace
