#include <gtest/gtest.h>

#include "daemon_replies.h"

namespace {

class InventorySections : public DaemonSectionTest {
 protected:
  std::string Scan(_ActionState (CDiagReport::*scan)(CMarkup&)) {
    CMarkup xml;
    EXPECT_EQ((m_report.*scan)(xml), ACTION_STATE_NOTHING);
    EXPECT_TRUE(xml.IsWellFormed());
    return xml.GetDoc();
  }
  std::string Raid() { return Scan(&CDiagReport::ScanHalvexRaid); }
};

// Component record: containers, type, then NUL-terminated texts.
std::string ComponentRecord(uint16_t physical, uint16_t functional, uint16_t type, const std::string& texts) {
  return Word(physical) + Word(functional) + Word(type) + texts;
}

}  // namespace

TEST_F(InventorySections, RaidDocumentIsCopiedOnlyWhenWellFormedAndAboveVersionOne) {
  m_env.Set("HX_RAID_EXISTS", "1").Set("HX_RAID_READY", "1");
  for (const char* reply : {"<rdEMX Version=\"1\"><A/></rdEMX>", "<rdEMX Version=\"3\"><Adapter></rdEMX>",
                            "<rdEMX Version=\"3\"/><rdEMX Version=\"3\"/>", "not xml at all", "<Other Version=\"3\"/>",
                            "<rdEMX Version=\"3\"><unterminated"}) {
    m_replies.Set(0xF020, 1, 0, reply);
    EXPECT_EQ(Raid().find("rdEMX"), std::string::npos) << reply;
  }
}

TEST_F(InventorySections, RevscopeListsComponentRecordsAndReleasesTheHandle) {
  m_replies.Set(0x0C80, 0, 0, Byte(3));
  m_replies.Set(0x0C82, 0, 0, Dword(7));
  m_replies.Set(0x0C85, 7, 0, Word(4));
  static const char kTexts[] = "Varnel\0\0VX-100\0Storage ctrl\0" "2024-02\0" "3.1\0SN42\0en\0U-1\0extra";
  m_replies.Set(0x0C86, 7, 1, ComponentRecord(2, 9, 17, std::string(kTexts, sizeof(kTexts))));
  m_replies.Set(0x0C87, 17, 0, std::string("Controller\0", 11));
  m_replies.Set(0x0C86, 7, 2, ComponentRecord(1, 1, 3, ""));
  // Record 3 is not answered; record 4 ends its last text without a NUL.
  m_replies.Set(0x0C86, 7, 4, ComponentRecord(0, 0, 99, std::string("Acme\0Disk", 9)));
  std::string revscope = Scan(&CDiagReport::ScanRevscope);
  EXPECT_TRUE(Holds(revscope, "<Vendor>Varnel</Vendor>\n<Name>N/A</Name>\n<PartNumber>VX-100</PartNumber>\n"));
  EXPECT_TRUE(Holds(revscope, "<UniqueID>U-1</UniqueID>\n</Component>\n<Component/>\n<Component TypeEnum=\"99\" "
                              "TypeName=\"\" PhysicalContainer=\"0\" FunctionalContainer=\"0\">\n"
                              "<Vendor>Acme</Vendor>\n<Name>Disk</Name>\n</Component>\n</Components>"));
  EXPECT_TRUE(m_replies.WasAsked(0x0C83, 7, 0));
  EXPECT_FALSE(m_replies.WasAsked(0x0C87, 3, 0));
}

TEST_F(InventorySections, DrivewatchRequestsEveryChildAndLeavesOutFailedOnes) {
  m_replies.Set(0x1800, 0, 0, Byte(1));
  m_replies.Set(0x1801, 0, 0, Byte(2));
  m_replies.Set(0x1803, 0, 0, "lsi_sas");
  m_replies.Set(0x1805, 0, 0, Byte(255));
  m_replies.Set(0x1807, 0, 0, "mpt3sas");
  // The drive count has 3 bytes: read as 0.
  m_replies.Set(0x1830, 0, 0, std::string("\x05\x00\x00", 3));
  std::string drivewatch = Scan(&CDiagReport::ScanHalvexDrivewatch);
  EXPECT_TRUE(Holds(drivewatch,
                    "<Adapters Count=\"1\">\n<Adapter>\n<Status AsString=\"Warning\">2</Status>\n<Name>lsi_sas</Name>\n"
                    "<Class AsString=\"Other\">255</Class>\n<DriverName>mpt3sas</DriverName>\n</Adapter>"));
  EXPECT_TRUE(Holds(drivewatch, "<Drives Count=\"0\"/>\n</Components>"));
  EXPECT_TRUE(m_replies.WasAsked(0x1802, 0, 0));
}
