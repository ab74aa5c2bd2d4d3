#include <gtest/gtest.h>

#include "mgmt/controller_state_texts.h"
#include "mgmt/sensor_texts.h"

namespace {

TEST(CentiValue, SignSurvivesWholePartOfZero) {
  EXPECT_EQ(FormatCentiValue(1205), "12.05");
  EXPECT_EQ(FormatCentiValue(uint16_t(-1200)), "-12.00");
  EXPECT_EQ(FormatCentiValue(uint16_t(-1205)), "-12.05");
  EXPECT_EQ(FormatCentiValue(uint16_t(-5)), "-0.05");
  EXPECT_EQ(FormatCentiValue(0), "0.00");
  // Only the low 16 bits count.
  EXPECT_EQ(FormatCentiValue(0x0BB804B0), "12.00");
}

TEST(SensorStatus, CodesPastEachTableGetThatKindsFallback) {
  EXPECT_STREQ(VoltageStatusText(6), "not available");
  EXPECT_STREQ(FanStatusText(200), "not manageable");
  EXPECT_STREQ(TemperatureStatusText(7), "not available");
  EXPECT_STREQ(PowerSupplyStatusText(12), "not available");
}

TEST(ControllerTexts, ReasonsUseTheLowByteAndMacAddressesNeedSixOrEightBytes) {
  EXPECT_STREQ(PowerOnOffReasonToString(0x1F0), "SE Fimrware Reboot");
  EXPECT_STREQ(PowerOnOffReasonToString(255), "unknown");

  const uint8_t mac[8] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70};
  EXPECT_EQ(FormatMacAddress(mac, 6), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(FormatMacAddress(mac, 8), "00-1A-2B-3C-4D-5E-6F-70");
  EXPECT_EQ(FormatMacAddress(mac, 7), "");
}

}  // namespace
