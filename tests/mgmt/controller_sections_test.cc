// The management controller's report sections, run in-process against hxmd
// with a machine profile per test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/channel_test.h"

namespace {

using ::testing::HasSubstr;

using ControllerSections = HxmdSectionTest;

TEST_F(ControllerSections, ThresholdsReadTwoOrFourBytesOddSizeRepliesAndRejectedStatusAreLeftOut) {
  StartDaemon(R"(
    <Reply OpCode="0x0523" ObjectId="0" U16="1200"/>
    <Reply OpCode="0x0521" ObjectId="1" Status="5"/>
    <Reply OpCode="0x0313" ObjectId="0"><U16>1</U16><U16>2</U16><U16>3</U16></Reply>
    <Sensors>
      <Voltage Name="VCC -12V" Status="3" Current="-0.05" Nominal="-12.00" Min="-12.60"/>
      <Voltage Name="Lost" Status="1" Current="1.00"/>
      <Fan Name="FAN1" Status="1" Speed="5280" MaxSpeed="9600" NominalMaxSpeed="10000"/>
    </Sensors>)");
  std::string doc = Scan(&CDiagReport::ScanVoltages);
  EXPECT_THAT(doc, HasSubstr("<CurrValue>-0.05</CurrValue>\n<NomValue>-12.00</NomValue>\n<Thresholds>\n"
                             "<MinValue>12.00</MinValue>\n<MaxValue>0.00</MaxValue>"));
  EXPECT_THAT(doc, HasSubstr("<Voltage Name=\"Lost\"/>"));
  EXPECT_THAT(Scan(&CDiagReport::ScanFans, ACTION_STATE_WRITTEN), HasSubstr("<CurrSpeed>5280</CurrSpeed>\n</Fan>"));
}

TEST_F(ControllerSections, ControllerNetworkSettingsOnlyForIxmc) {
  StartDaemon(R"(
    <ManagementController Index="0" Name="iXMC S4" Firmware="4.12" IPAddress="192.168.1.10"
                          MACAddress="00-1A-2B-3C-4D-5E-6F"/>
    <ManagementController Index="2" Name="Other BMC" Firmware="1.0" IPAddress="10.0.0.2"/>)");
  std::string doc = Scan(&CDiagReport::ScanManagementControllers);
  EXPECT_THAT(doc, HasSubstr("<iXMC Name=\"iXMC S4\">\n<Firmware>4.12</Firmware>\n<IPAddress>192.168.1.10</IPAddress>\n"));
  EXPECT_THAT(doc, HasSubstr("<MACAddress/>"));
  EXPECT_THAT(doc, HasSubstr("<iXMC Name=\"Other BMC\">\n<Firmware>1.0</Firmware>\n</iXMC>"));
}

}  // namespace
