#include "mgmt/sdr_data.h"

#include <gtest/gtest.h>

#include "hxmd/sdr_encoder.h"

namespace {

CSdrData Record(const std::vector<uint8_t>& bytes) {
  CSdrData record;
  record.SetRecord(bytes.data(), bytes.size());
  return record;
}

std::string Normalized(const _SdrSensorFields& f, uint8_t raw) {
  std::string text;
  return GetNormalizedSdrStringValue(text, Record(BuildFullSdr(f)), raw);
}

_SdrSensorFields Volts(int m, int resultExponent) {
  _SdrSensorFields f;
  f.baseUnit = 4;
  f.m = m;
  f.resultExponent = resultExponent;
  return f;
}

TEST(SdrNormalization, IntegerUnitsRoundToWholeNumbers) {
  _SdrSensorFields f;
  f.baseUnit = 18;  // RPM, 0.5 up
  f.resultExponent = -1;
  EXPECT_EQ(Normalized(f, 125), "13");
  EXPECT_EQ(Normalized(f, 124), "12");
}

TEST(SdrNormalization, AppliesFactorsAndExponentsWithSign) {
  // M is a 10-bit two's-complement number: -2 spans both bytes.
  EXPECT_EQ(Normalized(Volts(-2, 0), 10), "-20.00");
  _SdrSensorFields f = Volts(1, 0);
  f.b = -300;
  f.bExponent = 1;
  EXPECT_EQ(Normalized(f, 0), "-3000.00");
  f.b = 5;
  f.bExponent = 1;
  f.resultExponent = -1;
  EXPECT_EQ(Normalized(f, 20), "7.00");
}

TEST(SdrNormalization, LinearizationsGiveErrorValueInsteadOfNanOrInfinity) {
  // ln of 0 and 1/y of 0 give the error values; 0x75 (OEM) is as read and
  // 11 is undefined.
  const struct {
    uint8_t linearization, raw;
    const char* expected;
  } cases[] = {{1, 0, "4294967295.00"}, {2, 100, "2.00"},   {3, 8, "3.00"},    {7, 0, "2147483647.00"},
               {7, 4, "0.25"},          {8, 12, "144.00"},  {9, 3, "27.00"},   {10, 81, "9.00"},
               {5, 2, "100.00"},        {6, 10, "1024.00"}, {0x75, 7, "7.00"}, {11, 7, "4294967295.00"}};
  for (const auto& c : cases) {
    _SdrSensorFields f = Volts(1, 0);
    f.linearization = c.linearization;
    EXPECT_EQ(Normalized(f, c.raw), c.expected) << int(c.linearization) << " of " << int(c.raw);
  }

  // Square root of a negative reading and e^y overflowing.
  _SdrSensorFields negative = Volts(-1, 0);
  negative.linearization = 10;
  EXPECT_EQ(Normalized(negative, 4), "4294967295.00");
  _SdrSensorFields huge = Volts(511, 7);
  huge.linearization = 4;
  huge.baseUnit = 6;  // Watts: the error value wraps to -1
  EXPECT_EQ(Normalized(huge, 255), "-1");
  huge.linearization = 9;
  EXPECT_EQ(Normalized(huge, 255), "-1");
}

TEST(SdrNormalization, CompactAndForeignRecordsHaveNoFactors) {
  _SdrSensorFields f;
  f.m = 5;
  std::string text;
  EXPECT_EQ(GetNormalizedSdrStringValue(text, Record(BuildCompactSdr(f)), 85), "0");
  f.baseUnit = 4;
  EXPECT_EQ(GetNormalizedSdrStringValue(text, Record(BuildCompactSdr(f)), 85), "0.00");
  EXPECT_EQ(GetNormalizedSdrStringValue(text, Record(BuildLocatorSdr(0x11, 1, 0x51, 1, 1, "FRU")), 85), "0.00");
  EXPECT_EQ(GetNormalizedSdrStringValue(text, Record({1, 0, 0x51, 1}), 85), "0.00");
}

TEST(SdrThresholds, PresentOnlyForReadableThresholdSensorsWithMaskBits) {
  _SdrSensorFields f;
  f.readableMask = 0x12;
  EXPECT_TRUE(Record(BuildFullSdr(f)).HasThresholds());
  f.readableMask = 0x40;  // no threshold bit among the low six
  EXPECT_FALSE(Record(BuildFullSdr(f)).HasThresholds());
  f.readableMask = 0x12;
  f.capabilities = 0x40;  // no threshold access
  EXPECT_FALSE(Record(BuildFullSdr(f)).HasThresholds());
  f.capabilities = 0x48;
  f.readingType = 0x6F;  // discrete sensor
  EXPECT_FALSE(Record(BuildFullSdr(f)).HasThresholds());
  f.readingType = 1;
  EXPECT_FALSE(Record(BuildCompactSdr(f)).HasThresholds());
}

TEST(SdrThresholds, MissingThresholdByteOfTruncatedRecordReadsZero) {
  _SdrSensorFields f;
  f.readableMask = 0x11;
  f.lowerNonCritical = 9;
  f.upperCritical = 90;
  std::vector<uint8_t> bytes = BuildFullSdr(f);
  bytes.resize(39);  // ends before the lower thresholds
  CSdrData record = Record(bytes);
  ASSERT_TRUE(record.HasThresholds());
  EXPECT_EQ(record.GetRawByte(37), 90);
  EXPECT_EQ(record.GetRawByte(41), 0);
  std::string name = "kept";
  EXPECT_FALSE(record.GetEntityName(name));
  EXPECT_EQ(name, "kept");
}

TEST(SdrFields, StubRecordAnswersZeroAndEmptyTexts) {
  CSdrData record = Record({0x34, 0x12, 0x51, 0x01});
  EXPECT_EQ(record.GetRecordId(), 0);
  EXPECT_EQ(record.GetRecordType(), 0);
  EXPECT_STREQ(record.GetRecordTypeName(), "");
  EXPECT_EQ(record.GetVersionText(), "");
  EXPECT_TRUE(record.IsSoftwareOwner());
  EXPECT_EQ(record.GetSensorNumber(), -1);
  EXPECT_FALSE(record.HasThresholds());
  CSdrData empty;
  EXPECT_EQ(empty.GetM(), 0);
  EXPECT_EQ(empty.GetLength(), 0u);
}

TEST(SdrFields, LocatorKeysFollowTheirOwnLayouts) {
  std::vector<uint8_t> generic = BuildLocatorSdr(0x10, 9, 0x51, 0x0B, 4, "Disk");
  generic[7] = 0xB8;  // channel 5, LUN 3
  CSdrData g = Record(generic);
  EXPECT_EQ(g.GetOwnerLun(), 3);
  EXPECT_EQ(g.GetOwnerChannel(), 5);
  EXPECT_EQ(g.GetEntityId(), 0x0B);
  EXPECT_EQ(g.GetEntityInstance(), 4);

  std::vector<uint8_t> fru = BuildLocatorSdr(0x11, 9, 0x51, 0x0B, 4, "FRU");
  fru[8] = 0x70;
  EXPECT_EQ(Record(fru).GetOwnerChannel(), 7);

  // Management controller locators: channel only from SDR version 2 on,
  // the other fields only for the known versions.
  std::vector<uint8_t> mc = BuildLocatorSdr(0x12, 9, 0x01, 0x2E, 1, "BMC");
  mc[6] = 0x0C;
  EXPECT_EQ(Record(mc).GetOwnerChannel(), 0);
  EXPECT_EQ(Record(mc).GetEntityId(), 0x2E);
  mc[2] = 0x02;
  EXPECT_EQ(Record(mc).GetOwnerChannel(), 0x0C);
  mc[2] = 0x10;
  std::string name;
  EXPECT_FALSE(Record(mc).GetEntityName(name));
  EXPECT_EQ(Record(mc).GetEntityId(), 0);
  EXPECT_EQ(Record(mc).GetOwnerId(), 0);
}

TEST(SdrFields, IdStringIsCutAtRecordEndAndMadeValidText) {
  std::vector<uint8_t> bytes = BuildLocatorSdr(0x11, 1, 0x51, 1, 1, "ABCDEFGH");
  bytes.resize(bytes.size() - 3);  // length byte still says 8
  std::string name;
  ASSERT_TRUE(Record(bytes).GetEntityName(name));
  EXPECT_EQ(name, "ABCDE");

  bytes = BuildLocatorSdr(0x11, 1, 0x51, 1, 1, "A\x01" "B\xE9");
  ASSERT_TRUE(Record(bytes).GetEntityName(name));
  EXPECT_EQ(name, "AB\xC3\xA9");
}

TEST(SdrNames, GapsAndCodesPastTheTables) {
  EXPECT_STREQ(CSdrData::GetSensorUnitName(59), "");
  EXPECT_STREQ(CSdrData::GetSensorUnitName(91), "");
  EXPECT_STREQ(CSdrData::GetSensorTypeName(0x2D), "OEM Sensor");
  EXPECT_STREQ(Record({0, 0, 0x51, 0xC7, 0}).GetRecordTypeName(), "OEM SDR");
  EXPECT_STREQ(Record({0, 0, 0x51, 0x09, 0}).GetRecordTypeName(), "");
}

}  // namespace
