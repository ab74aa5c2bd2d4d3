#include <gtest/gtest.h>

#include "daemon_replies.h"

namespace {

class RaidSection : public DaemonSectionTest {
 protected:
  RaidSection() { m_env.Set("HX_RAID_EXISTS", "1").Set("HX_RAID_READY", "1").Set("HX_RAID_VERSION", "4.20"); }
  bool HasRdEmx() { return EnterSection("HalvexRaid") && m_xml.FindElem("rdEMX"); }
};

}  // namespace

TEST_F(RaidSection, OnlyTheExactFlagCountsAsInstalled) {
  for (const char* flag : {"yes", "01", ""}) {
    CMarkup xml;
    m_env.Set("HX_RAID_EXISTS", flag);
    m_report.ScanHalvexRaid(xml);
    xml.ResetPos();
    ASSERT_TRUE(xml.FindElem("HalvexRaid"));
    EXPECT_EQ(xml.GetAttrib("Installed"), "false") << flag;
    EXPECT_FALSE(xml.FindChildElem()) << flag;
  }
  EXPECT_TRUE(m_replies.Asked().empty());
}

TEST_F(RaidSection, MissingVersionReadsNotAvailableAndStoppedServiceSendsNothing) {
  m_env.Unset("HX_RAID_VERSION").Set("HX_RAID_READY", "true");
  m_report.ScanHalvexRaid(m_xml);
  ASSERT_TRUE(EnterSection("HalvexRaid"));
  ASSERT_TRUE(m_xml.FindElem("Version"));
  EXPECT_EQ(m_xml.GetData(), "N/A");
  EXPECT_FALSE(m_xml.FindElem());
  EXPECT_TRUE(m_replies.Asked().empty());
}

TEST_F(RaidSection, DocumentIsCopiedOnlyAboveVersionOne) {
  m_replies.Set(0xF020, 1, 0, "<rdEMX Version=\"1\"><Adapter Id=\"0\"/></rdEMX>");
  m_report.ScanHalvexRaid(m_xml);
  EXPECT_FALSE(HasRdEmx());

  m_xml = CMarkup();
  m_replies.Set(0xF020, 1, 0, "<rdEMX Version=\"2\"><Adapter Id=\"0\"><Name>RAID 5/6 SAS</Name></Adapter></rdEMX>");
  m_report.ScanHalvexRaid(m_xml);
  ASSERT_TRUE(HasRdEmx());
  m_xml.IntoElem();
  ASSERT_TRUE(m_xml.FindElem("Adapter"));
  EXPECT_EQ(m_xml.GetAttrib("Id"), "0");
  ASSERT_TRUE(m_xml.FindChildElem("Name"));
  EXPECT_EQ(m_xml.GetChildData(), "RAID 5/6 SAS");
  EXPECT_TRUE(m_xml.IsWellFormed());
}

TEST_F(RaidSection, BrokenOrForeignDocumentsAreNotCopied) {
  for (const char* reply : {"<rdEMX Version=\"3\"><Adapter></rdEMX>", "<rdEMX Version=\"3\"/><rdEMX Version=\"3\"/>",
                            "not xml at all", "<Other Version=\"3\"/>", "<rdEMX Version=\"3\"><unterminated"}) {
    m_xml = CMarkup();
    m_replies.Set(0xF020, 1, 0, reply);
    m_report.ScanHalvexRaid(m_xml);
    EXPECT_FALSE(HasRdEmx()) << reply;
    EXPECT_TRUE(m_xml.IsWellFormed()) << reply;
  }
}

TEST_F(RaidSection, NoDaemonNoDocument) {
  m_report.m_bHxmdAvailable = 0;
  m_replies.Set(0xF020, 1, 0, "<rdEMX Version=\"2\"/>");
  m_report.ScanHalvexRaid(m_xml);
  EXPECT_FALSE(HasRdEmx());
  EXPECT_TRUE(m_replies.Asked().empty());
}

namespace {

// Component record: containers, type, then NUL-terminated texts.
std::string ComponentRecord(uint16_t physical, uint16_t functional, uint16_t type, const std::string& texts) {
  return Word(physical) + Word(functional) + Word(type) + texts;
}

class RevscopeSection : public DaemonSectionTest {
 protected:
  std::string Child(const char* name) { return m_xml.FindElem(name) ? m_xml.GetData() : "<missing>"; }
};

}  // namespace

TEST_F(RevscopeSection, ScanningStateSendsNoFurtherCommands) {
  m_replies.Set(0x0C80, 0, 0, Byte(1));
  m_report.ScanRevscope(m_xml);
  ASSERT_TRUE(EnterSection("Revscope"));
  EXPECT_EQ(Child("ScanState"), "1");
  EXPECT_EQ(Child("ScanMessage"), "scanning");
  EXPECT_EQ(m_replies.Asked().size(), 1u);
}

TEST_F(RevscopeSection, UnknownStateHasNoMessageAndFailedStateSaysSo) {
  m_replies.Set(0x0C80, 0, 0, Byte(5));
  m_report.ScanRevscope(m_xml);
  ASSERT_TRUE(EnterSection("Revscope"));
  EXPECT_EQ(Child("ScanState"), "5");
  EXPECT_EQ(Child("ScanMessage"), "<missing>");

  m_xml = CMarkup();
  m_replies.Set(0x0C80, 0, 0, "", 0x0B);
  m_report.ScanRevscope(m_xml);
  ASSERT_TRUE(EnterSection("Revscope"));
  EXPECT_EQ(Child("ScanState"), "");
  EXPECT_EQ(Child("ScanMessage"), "no status available");
}

TEST_F(RevscopeSection, CompletedScanListsComponentRecordsAndReleasesTheHandle) {
  m_replies.Set(0x0C80, 0, 0, Byte(3));
  m_replies.Set(0x0C82, 0, 0, Dword(7));
  m_replies.Set(0x0C85, 7, 0, Word(4));
  static const char kTexts[] = "Varnel\0\0VX-100\0Storage controller\0" "2024-02\0" "3.1\0SN42\0en\0U-1\0extra";
  std::string texts(kTexts, sizeof(kTexts));
  m_replies.Set(0x0C86, 7, 1, ComponentRecord(2, 9, 17, texts));
  m_replies.Set(0x0C87, 17, 0, std::string("Controller\0", 11));
  m_replies.Set(0x0C86, 7, 2, ComponentRecord(1, 1, 3, ""));
  // 3 is not answered; 4 ends its last text without a NUL.
  m_replies.Set(0x0C86, 7, 4, ComponentRecord(0, 0, 99, std::string("Acme\0Disk", 9)));

  m_report.ScanRevscope(m_xml);
  ASSERT_TRUE(EnterSection("Revscope"));
  EXPECT_EQ(Child("ScanMessage"), "scan completed - changes detected");
  ASSERT_TRUE(m_xml.FindElem("Components"));
  m_xml.IntoElem();

  ASSERT_TRUE(m_xml.FindElem("Component"));
  EXPECT_EQ(m_xml.GetAttrib("TypeEnum"), "17");
  EXPECT_EQ(m_xml.GetAttrib("TypeName"), "Controller");
  EXPECT_EQ(m_xml.GetAttrib("PhysicalContainer"), "2");
  EXPECT_EQ(m_xml.GetAttrib("FunctionalContainer"), "9");
  m_xml.IntoElem();
  EXPECT_EQ(Child("Vendor"), "Varnel");
  EXPECT_EQ(Child("Name"), "N/A");
  EXPECT_EQ(Child("Description"), "Storage controller");
  EXPECT_EQ(Child("UniqueID"), "U-1");
  EXPECT_FALSE(m_xml.FindElem());
  m_xml.OutOfElem();

  ASSERT_TRUE(m_xml.FindElem("Component"));
  EXPECT_EQ(m_xml.GetAttrib("TypeEnum"), "");
  EXPECT_FALSE(m_xml.FindChildElem());

  ASSERT_TRUE(m_xml.FindElem("Component"));
  EXPECT_EQ(m_xml.GetAttrib("TypeName"), "");
  m_xml.IntoElem();
  EXPECT_EQ(Child("Vendor"), "Acme");
  EXPECT_EQ(Child("Name"), "Disk");
  EXPECT_FALSE(m_xml.FindElem());
  m_xml.OutOfElem();
  EXPECT_FALSE(m_xml.FindElem("Component"));

  EXPECT_TRUE(m_replies.WasAsked(0x0C83, 7, 0));
  EXPECT_FALSE(m_replies.WasAsked(0x0C87, 3, 0));
}

TEST_F(RevscopeSection, ZeroComponentsStillReleaseTheHandle) {
  m_replies.Set(0x0C80, 0, 0, Byte(2));
  m_replies.Set(0x0C82, 0, 0, Byte(5));
  m_replies.Set(0x0C85, 5, 0, Byte(0));
  m_report.ScanRevscope(m_xml);
  ASSERT_TRUE(EnterSection("Revscope"));
  EXPECT_FALSE(m_xml.FindElem("Components"));
  EXPECT_TRUE(m_replies.WasAsked(0x0C83, 5, 0));
}

namespace {

class DrivewatchSection : public DaemonSectionTest {
 protected:
  std::string Child(const char* name, const char* attrib = nullptr) {
    if (!m_xml.FindElem(name)) return "<missing>";
    return attrib ? m_xml.GetAttrib(attrib) : m_xml.GetData();
  }
};

}  // namespace

TEST_F(DrivewatchSection, AdapterChildrenAreRequestedEvenAfterAFailure) {
  m_replies.Set(0x1800, 0, 0, Byte(1));
  m_replies.Set(0x1801, 0, 0, Byte(2));
  m_replies.Set(0x1803, 0, 0, "lsi_sas");
  m_replies.Set(0x1805, 0, 0, Byte(255));
  m_replies.Set(0x1807, 0, 0, "mpt3sas");
  m_replies.Set(0x1802, 0, 0, "PCI 3:0.0");
  m_report.ScanHalvexDrivewatch(m_xml);
  ASSERT_TRUE(EnterSection("Drivewatch"));
  ASSERT_TRUE(m_xml.FindElem("Components"));
  m_xml.IntoElem();
  ASSERT_TRUE(m_xml.FindElem("Adapters"));
  EXPECT_EQ(m_xml.GetAttrib("Count"), "1");
  m_xml.IntoElem();
  ASSERT_TRUE(m_xml.FindElem("Adapter"));
  m_xml.IntoElem();
  EXPECT_EQ(Child("Status"), "2");
  EXPECT_EQ(m_xml.GetAttrib("AsString"), "Warning");
  EXPECT_EQ(Child("Name"), "lsi_sas");
  EXPECT_EQ(Child("Class", "AsString"), "Other");
  EXPECT_EQ(Child("Designation"), "<missing>");
  m_xml.ResetMainPos();
  EXPECT_EQ(Child("DriverName"), "mpt3sas");
  EXPECT_EQ(Child("LocationKey"), "PCI 3:0.0");
  m_xml.OutOfElem();
  m_xml.OutOfElem();
  // The drive count was not answered: no Drives list.
  EXPECT_FALSE(m_xml.FindElem("Drives"));
}

TEST_F(DrivewatchSection, CountOfUnusualWidthReadsAsZero) {
  m_replies.Set(0x1800, 0, 0, std::string("\x05\x00\x00", 3));
  m_replies.Set(0x1830, 0, 0, Word(0));
  m_report.ScanHalvexDrivewatch(m_xml);
  ASSERT_TRUE(EnterSection("Drivewatch"));
  ASSERT_TRUE(m_xml.FindElem("Components"));
  m_xml.IntoElem();
  EXPECT_EQ(Child("Adapters", "Count"), "0");
  EXPECT_FALSE(m_xml.FindChildElem());
  EXPECT_EQ(Child("Drives", "Count"), "0");
  EXPECT_FALSE(m_replies.WasAsked(0x1801, 0, 0));
}

TEST_F(DrivewatchSection, EventTimeIsShownInUtc) {
  m_replies.Set(0x1810, 0, 0, Byte(2));
  m_replies.Set(0x181A, 0, 0, Dword(0));
  m_replies.Set(0x181A, 0, 1, Dword(1700000000));
  m_replies.Set(0x1817, 0, 1, Word(4001));
  m_replies.Set(0x1815, 0, 1, "Drive removed");
  m_report.ScanHalvexDrivewatch(m_xml);
  ASSERT_TRUE(EnterSection("Drivewatch"));
  ASSERT_TRUE(m_xml.FindElem("Events"));
  EXPECT_EQ(m_xml.GetAttrib("Count"), "2");
  m_xml.IntoElem();
  ASSERT_TRUE(m_xml.FindElem("Event"));
  m_xml.IntoElem();
  EXPECT_EQ(Child("Time"), "0");
  EXPECT_EQ(m_xml.GetAttrib("AsString"), "01/01/1970 00:00:00");
  m_xml.OutOfElem();
  ASSERT_TRUE(m_xml.FindElem("Event"));
  m_xml.IntoElem();
  EXPECT_EQ(Child("Time", "AsString"), "11/14/2023 22:13:20");
  EXPECT_EQ(Child("EventId"), "4001");
  EXPECT_EQ(Child("Message"), "Drive removed");
}

TEST_F(DrivewatchSection, WithoutDaemonOnlyTheSectionElement) {
  m_report.m_bHxmdAvailable = 0;
  m_report.ScanHalvexDrivewatch(m_xml);
  ASSERT_TRUE(EnterSection("Drivewatch"));
  EXPECT_FALSE(m_xml.FindElem());
  EXPECT_TRUE(m_replies.Asked().empty());
}
