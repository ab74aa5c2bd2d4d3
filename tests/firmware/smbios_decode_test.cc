#include <gtest/gtest.h>

#include <string>

#include "firmware/smbios_model.h"
#include "support/smbios_builder.h"

namespace {

// Decodes one field of a single-structure table.
std::string Decode(const CSmbiosStructure& structure, int offset) {
  std::vector<uint8_t> table = structure.Bytes();
  CSMBios model;
  if (!model.Connect(table.data(), static_cast<uint32_t>(table.size()), nullptr, 0)) return "<not connected>";
  return model.DecodeEntry(model.getDmiStructureByType(table[0], 0), offset);
}

std::string Byte(uint8_t type, uint8_t length, int offset, uint8_t value) {
  return Decode(CSmbiosStructure(type, length, 1).u8(static_cast<size_t>(offset), value), offset);
}

std::string Word(uint8_t type, uint8_t length, int offset, uint16_t value) {
  return Decode(CSmbiosStructure(type, length, 1).u16(static_cast<size_t>(offset), value), offset);
}

TEST(SmbiosDecode, ProcessorStatusNeedsThePopulatedBit) {
  EXPECT_EQ(Byte(4, 26, 24, 0x41), "Enabled");
  EXPECT_EQ(Byte(4, 26, 24, 0x01), "Empty Socket");
  EXPECT_EQ(Byte(4, 26, 24, 0x43), "BIOS disabled");
  EXPECT_EQ(Byte(4, 26, 24, 0x47), "Unknown");
}

TEST(SmbiosDecode, TypeDetailJoinsFlagWordsWithoutTrailingBlank) {
  EXPECT_EQ(Word(17, 21, 19, 0x2080), "Synchronous Registered (Buffered)");
  EXPECT_EQ(Word(17, 21, 19, 0x0081), "Reserved");
  EXPECT_EQ(Word(17, 21, 19, 0x2006), "Other");
  EXPECT_EQ(Word(17, 21, 19, 0x0000), "");
}

TEST(SmbiosDecode, CacheConfigurationNamesLevelAndLocation) {
  EXPECT_EQ(Word(7, 19, 5, 0x0121), "Level 2 Chache (external)");
  EXPECT_EQ(Word(7, 19, 5, 0x0143), "Level 4 Chache (external)");
}

TEST(SmbiosDecode, SramTypeTakesFirstMatchingRule) {
  EXPECT_EQ(Word(7, 19, 11, 0x0003), "Other");
  EXPECT_EQ(Word(7, 19, 13, 0x0022), "Unknown");
  EXPECT_EQ(Word(7, 19, 11, 0x001C), "Non-Burst");
  EXPECT_EQ(Word(7, 19, 11, 0x0068), "Burst (synchronous)");
  EXPECT_EQ(Word(7, 19, 13, 0x0050), "Pipeline Burst (asynchronous)");
  EXPECT_EQ(Word(7, 19, 11, 0x0060), "Synchronous");
  EXPECT_EQ(Word(7, 19, 11, 0x0040), "Asynchronous");
  EXPECT_EQ(Word(7, 19, 11, 0x0080), "");
}

TEST(SmbiosDecode, ChassisTypeIgnoresLockBitAndFallsBackToOther) {
  EXPECT_EQ(Byte(3, 13, 5, 0x97), "Rack Mount Chassis");
  EXPECT_EQ(Byte(3, 13, 5, 0x15), "Pheripheral Chassis");
  EXPECT_EQ(Byte(3, 13, 5, 0x00), "Other");
  EXPECT_EQ(Byte(3, 13, 5, 0x1C), "Other");
}

TEST(SmbiosDecode, CodeTablesKeepTheirOwnFallbacks) {
  EXPECT_EQ(Byte(38, 16, 4, 4), "other");
  EXPECT_EQ(Byte(190, 6, 4, 7), "Unknown");
  EXPECT_EQ(Byte(7, 19, 16, 7), "");
  EXPECT_EQ(Byte(16, 15, 4, 0xA3), "PC-98/Local bus add-on card");
  EXPECT_EQ(Byte(17, 21, 14, 0), "Invalid (0)");
  EXPECT_EQ(Byte(17, 21, 18, 0x1A), "");
}

TEST(SmbiosDecode, FieldOutsideFormattedAreaOrTableHasNoText) {
  EXPECT_EQ(Byte(4, 24, 23, 0x41), "");
  EXPECT_EQ(Byte(4, 26, 25, 0x41), "");
  EXPECT_EQ(Byte(9, 13, 5, 1), "");
  CSMBios model;
  EXPECT_STREQ(model.DecodeEntry(nullptr, 5), "");
}

TEST(SmbiosDecode, TypeNamesAndMemoryTypesEndWithTheirTables) {
  EXPECT_STREQ(CSMBios::DecodeType(40), "");
  EXPECT_STREQ(CSMBios::DecodeMemoryDeviceType(25), "FBD2");
  EXPECT_STREQ(CSMBios::DecodeMemoryDeviceType(26), "");
}

}  // namespace
