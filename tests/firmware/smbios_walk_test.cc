#include <gtest/gtest.h>

#include "firmware/smbios_model.h"
#include "support/smbios_builder.h"

namespace {

bool ConnectTable(CSMBios& model, const std::vector<uint8_t>& table) {
  return model.Connect(table.data(), static_cast<uint32_t>(table.size()), nullptr, 0);
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

CSmbiosTable ThreeStructures() {
  CSmbiosTable table;
  table.Add(CSmbiosStructure(0, 24, 0).str(4, "Vendor").str(5, "1.0"));
  table.Add(CSmbiosStructure(4, 26, 0x400));
  table.Add(CSmbiosStructure(4, 26, 0x401).str(4, "CPU2"));
  return table;
}

TEST(SmbiosWalk, EndsAtEndOfTableStructureOrLastStringSetCountingEachStructureOnce) {
  std::vector<uint8_t> padded = ThreeStructures().AddEndOfTable(0x7F).Bytes();
  padded.insert(padded.end(), {0xFF, 0xFF, 0xFF});
  const struct {
    const char* what;
    std::vector<uint8_t> table;
    size_t count;
  } cases[] = {{"end-of-table structure at table end", ThreeStructures().AddEndOfTable(0x7F).Bytes(), 4},
               {"padding after end-of-table structure", padded, 4},
               {"no end-of-table structure", ThreeStructures().Bytes(), 3}};
  for (const auto& [what, table, count] : cases) {
    SCOPED_TRACE(what);
    CSMBios model;
    ASSERT_TRUE(ConnectTable(model, table));
    EXPECT_EQ(model.GetStructureCount(), count);
    EXPECT_EQ(model.GetStructureCount(4), 2u);
    EXPECT_EQ(model.getDmiStructureByType(4, 1)->handle, 0x401);
    EXPECT_EQ(model.getDmiStructureByType(4, 2), nullptr);
  }
}

TEST(SmbiosWalk, FailsWhenLastStringSetLacksTerminatorAndKeepsEarlierStructures) {
  std::vector<uint8_t> table = ThreeStructures().Bytes();
  table.pop_back();
  CSMBios model;
  EXPECT_FALSE(ConnectTable(model, table));
  EXPECT_TRUE(StartsWith(model.GetLastError(),
                         "## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while when string table "
                         "end found!\n   struct[2], type=0x04, handle=1025\n   struct Offset 0x"));
  EXPECT_EQ(model.GetStructureCount(4), 2u);
  EXPECT_EQ(model.GetStructureCount(), 3u);
}

TEST(SmbiosWalk, FailsWhenHeaderOrFormattedAreaRunsPastTableEnd) {
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {{17, 0x40, 0x00, 0x11, 0, 0},
       "## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while going to struct end!\n"
       "   struct[3], last type=0x11, last handle=4352\n   struct Offset 0x"},
      {{17, 0x40},
       "## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while reading struct header!"},
  };
  for (const auto& [tail, message] : cases) {
    std::vector<uint8_t> table = ThreeStructures().Bytes();
    table.insert(table.end(), tail.begin(), tail.end());
    CSMBios model;
    EXPECT_FALSE(ConnectTable(model, table));
    EXPECT_TRUE(StartsWith(model.GetLastError(), message)) << model.GetLastError();
  }
}

TEST(SmbiosWalk, StopsAtStructureLengthBelowHeaderSize) {
  CSmbiosTable table = ThreeStructures();
  table.AddRaw({4, 2, 0x02, 0x04, 0, 0}).AddEndOfTable(0x7F);
  CSMBios model;
  EXPECT_FALSE(ConnectTable(model, table.Bytes()));
  EXPECT_NE(model.GetLastError().find("length below header size"), std::string::npos);
  EXPECT_EQ(model.GetStructureCount(4), 2u);
}

TEST(SmbiosWalk, CountDifferentFromEntryPointIsNoFailure) {
  std::vector<uint8_t> table = ThreeStructures().AddEndOfTable(0x7F).Bytes();
  std::vector<uint8_t> entry = MakeEntryPoint(0x1000, static_cast<uint16_t>(table.size()), 9, 2, 8);
  CSMBios model;
  EXPECT_TRUE(model.Connect(table.data(), static_cast<uint32_t>(table.size()), entry.data(), 31));
  EXPECT_EQ(model.GetMajorVersion(), 2);
  EXPECT_EQ(model.GetMinorVersion(), 8);
}

TEST(SmbiosWalk, TakesVersionFromUefiEntryPointBytesFiveAndFour) {
  std::vector<uint8_t> table = ThreeStructures().Bytes();
  std::vector<uint8_t> entry = {'U', 'E', 'F', 'I', 3, 2, 9, 9};
  CSMBios model;
  ASSERT_TRUE(model.Connect(table.data(), static_cast<uint32_t>(table.size()), entry.data(), 8));
  EXPECT_EQ(model.GetMajorVersion(), 2);
  EXPECT_EQ(model.GetMinorVersion(), 3);
}

class SmbiosStrings : public ::testing::Test {
 protected:
  void Connect(const CSmbiosTable& table) { ASSERT_TRUE(ConnectTable(m_Model, table.Bytes())); }
  std::string Text(uint8_t type, int number) {
    std::string text = "unchanged";
    m_bFound = m_Model.GetBiosString(text, m_Model.getDmiStructureByType(type, 0), number);
    return text;
  }
  CSMBios m_Model;
  bool m_bFound = false;
};

TEST_F(SmbiosStrings, NumbersStartAtOneAndStopAtTheLastString) {
  Connect(CSmbiosTable().Add(CSmbiosStructure(1, 8, 1).str(4, "Maker").str(5, "Model").str(6, "Rev")));
  EXPECT_EQ(Text(1, 1), "Maker");
  EXPECT_EQ(Text(1, 3), "Rev");
  EXPECT_TRUE(m_bFound);
  for (int outside : {0, 4, -1}) {
    Text(1, outside);
    EXPECT_FALSE(m_bFound) << outside;
  }
}

TEST_F(SmbiosStrings, EmptyOrForeignStringSetsHaveNoStrings) {
  Connect(CSmbiosTable().Add(CSmbiosStructure(1, 8, 1).u8(4, 1)).Add(CSmbiosStructure(2, 8, 2).str(4, "Next")));
  Text(1, 1);
  EXPECT_FALSE(m_bFound) << "read into the next structure";
  std::string text;
  EXPECT_FALSE(m_Model.GetBiosString(text, nullptr, 1));
  std::vector<uint8_t> foreign = CSmbiosStructure(1, 8, 1).str(4, "Elsewhere").Bytes();
  EXPECT_FALSE(m_Model.GetBiosString(text, reinterpret_cast<const _DMI_20_HEADER*>(foreign.data()), 1));
}

TEST(SmbiosStringsUnterminated, StringRunningToTableEndIsNotReturned) {
  std::vector<uint8_t> table = CSmbiosStructure(1, 8, 1).str(4, "Maker").Bytes();
  table.resize(table.size() - 2);  // "Maker" without any NUL
  CSMBios model;
  EXPECT_FALSE(model.Connect(table.data(), static_cast<uint32_t>(table.size()), nullptr, 0));
  std::string text;
  EXPECT_FALSE(model.GetBiosString(text, model.getDmiStructureByType(1, 0), 1));
}

}  // namespace
