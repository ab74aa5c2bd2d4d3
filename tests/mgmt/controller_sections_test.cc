// The management controller's report sections, run in-process against hxmd
// with a machine profile per test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/channel_test.h"

namespace {

using ::testing::HasSubstr;

using ControllerSections = HxmdSectionTest;

TEST_F(ControllerSections, VoltagesReadTwoOrFourByteThresholdsAndRejectedStatusEndsItem) {
  StartDaemon(R"(
    <Reply OpCode="0x0523" ObjectId="0" U16="1200"/>
    <Reply OpCode="0x0521" ObjectId="1" Status="5"/>
    <Sensors>
      <Voltage Name="VCC -12V" Status="3" Current="-0.05" Nominal="-12.00" Min="-12.60"/>
      <Voltage Name="Lost" Status="1" Current="1.00"/>
    </Sensors>)");
  std::string doc = Scan(&CDiagReport::ScanVoltages);
  EXPECT_THAT(doc, HasSubstr("<CurrValue>-0.05</CurrValue>\n<NomValue>-12.00</NomValue>\n<Thresholds>\n"
                             "<MinValue>12.00</MinValue>\n<MaxValue>0.00</MaxValue>"));
  EXPECT_THAT(doc, HasSubstr("<Voltage Name=\"Lost\"/>"));
}

TEST_F(ControllerSections, OddMaxSpeedReplyIsSkipped) {
  StartDaemon(R"(
    <Reply OpCode="0x0313" ObjectId="0"><U16>1</U16><U16>2</U16><U16>3</U16></Reply>
    <Sensors><Fan Name="FAN1" Status="1" Speed="5280" MaxSpeed="9600" NominalMaxSpeed="10000"/></Sensors>)");
  EXPECT_THAT(Scan(&CDiagReport::ScanFans, ACTION_STATE_WRITTEN), HasSubstr("<CurrSpeed>5280</CurrSpeed>\n</Fan>"));
}

}  // namespace
