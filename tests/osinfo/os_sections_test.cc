#include <gtest/gtest.h>

#include <string>

#include "app/diag_report.h"
#include "os_test_env.h"
#include "support/test_paths.h"

namespace {

class OsSections : public ::testing::Test {
 protected:
  void SetUp() override {
    m_env.Set("HX_SYSROOT", m_root.path()).Unset("HX_VENDOR").Unset("HX_OS").Unset("HX_RELEASE");
  }
  // Text of a child of the section element, "<missing>" when absent.
  static std::string ChildData(CMarkup& xml, const char* section, const char* child) {
    xml.ResetPos();
    if (!xml.FindElem(section) || !xml.FindChildElem(child)) return "<missing>";
    return xml.GetChildData();
  }

  TempDir m_root;
  ScopedEnv m_env;
  CDiagReport m_report;
  CMarkup m_xml;
};

}  // namespace

TEST_F(OsSections, ProductNameStartsWithBlankWhenOnlyTheProductIsKnown) {
  m_env.Set("HX_OS", "Enterprise Linux 9");
  EXPECT_EQ(m_report.ScanOsVersion(m_xml), ACTION_STATE_NOTHING);
  EXPECT_EQ(ChildData(m_xml, "Product", "Name"), " Enterprise Linux 9");
  m_xml.ResetPos();
  ASSERT_TRUE(m_xml.FindElem("Product"));
  EXPECT_EQ(m_xml.GetAttrib("Schema"), "1");
}

TEST_F(OsSections, ProductNameJoinsVendorAndProductFileAndIsCut) {
  m_env.Set("HX_VENDOR", "Varnel");
  m_root.WriteFile("opt/bnk/vmware-product-string", "Console 3.5\n");
  m_report.ScanOsVersion(m_xml);
  EXPECT_EQ(ChildData(m_xml, "Product", "Name"), "Varnel Console 3.5");

  CMarkup longName;
  m_env.Set("HX_VENDOR", std::string(200, 'v')).Set("HX_OS", std::string(200, 'p'));
  m_report.ScanOsVersion(longName);
  EXPECT_EQ(ChildData(longName, "Product", "Name").size(), 271u);
}

TEST_F(OsSections, VersionOnlyFromReleaseVariableOrVmkernel) {
  m_report.ScanOsVersion(m_xml);
  EXPECT_EQ(ChildData(m_xml, "Product", "Name"), "");
  EXPECT_EQ(ChildData(m_xml, "Product", "Version"), "<missing>");

  CMarkup withRelease;
  m_env.Set("HX_RELEASE", "9.4");
  m_report.ScanOsVersion(withRelease);
  EXPECT_EQ(ChildData(withRelease, "Product", "Version"), "9.4");
}

TEST_F(OsSections, LanguageIsWrittenForSystemAndUser) {
  m_report.ScanOsVersion(m_xml);
  m_xml.ResetPos();
  ASSERT_TRUE(m_xml.FindElem("Product"));
  m_xml.IntoElem();
  ASSERT_TRUE(m_xml.FindElem("Language"));
  m_xml.IntoElem();
  for (const char* scope : {"System", "User"}) {
    ASSERT_TRUE(m_xml.FindElem(scope)) << scope;
    m_xml.IntoElem();
    ASSERT_TRUE(m_xml.FindElem("LangId"));
    EXPECT_EQ(m_xml.GetData(), "0");
    ASSERT_TRUE(m_xml.FindElem("Description"));
    EXPECT_FALSE(m_xml.GetData().empty());
    m_xml.OutOfElem();
  }
}

TEST_F(OsSections, BootOptionsAndDnsSettingsAreFixed) {
  m_report.ScanOsBoot(m_xml);
  EXPECT_EQ(ChildData(m_xml, "BootOptions", "Config"), "");
  EXPECT_EQ(m_xml.GetAttrib("Schema"), "2");
  CMarkup settings;
  EXPECT_EQ(m_report.ScanNetSettings(settings), ACTION_STATE_NOTHING);
  EXPECT_EQ(ChildData(settings, "Settings", "DNS"), "disabled");
}

class EventLines : public OsSections {
 protected:
  // The System log element, entered; false when missing.
  bool ScanSystemLog() {
    m_report.ScanOsEventlog(m_xml);
    m_xml.ResetPos();
    if (!m_xml.FindElem("Eventlog")) return false;
    m_xml.IntoElem();
    return m_xml.FindElem("System");
  }
  std::string NextMessage() {
    if (!m_xml.FindChildElem("Record")) return "<missing>";
    m_xml.IntoElem();
    std::string message = m_xml.FindChildElem("Message") ? m_xml.GetChildData() : "<no message>";
    m_xml.OutOfElem();
    return message;
  }
};

TEST_F(EventLines, MissingFileGivesAnEmptyCountedLog) {
  ASSERT_TRUE(ScanSystemLog());
  EXPECT_EQ(m_xml.GetAttrib("Count"), "0");
  EXPECT_FALSE(m_xml.FindChildElem("Record"));
}

TEST_F(EventLines, TimeStampBecomesCreatedAndTextAfterHostTheMessage) {
  m_root.WriteFile("var/hxagt/ZCSysScan-traps",
                   "Dec  5 18:00:01 rx300 Fan 2 failed <critical>\n"
                   "Dec  5 18:00:09 rx300 Fan 2 ok\n");
  ASSERT_TRUE(ScanSystemLog());
  EXPECT_EQ(m_xml.GetAttrib("Count"), "2");
  ASSERT_TRUE(m_xml.FindChildElem("Record"));
  EXPECT_EQ(m_xml.GetChildAttrib("Created"), "Dec  5 18:00:01");
  EXPECT_EQ(m_xml.GetChildAttrib("Source"), "Halvex Agents");
  EXPECT_EQ(m_xml.GetChildAttrib("Type"), "Info");
  EXPECT_EQ(m_xml.GetChildAttrib("Important"), "false");
  m_xml.ResetChildPos();
  EXPECT_EQ(NextMessage(), "Fan 2 failed <critical>\n");
  EXPECT_EQ(NextMessage(), "Fan 2 ok\n");
  EXPECT_TRUE(m_xml.IsWellFormed());
}

TEST_F(EventLines, ShortLinesAreSkippedAndOverlongLinesSplit) {
  std::string longLine = "Dec  5 18:00:02 host " + std::string(600, 'x') + "\n";
  m_root.WriteFile("var/hxagt/ZCSysScan-traps", "short\n\n" + longLine + "Dec  5 18:00:03 host end\n");
  ASSERT_TRUE(ScanSystemLog());
  // 511 bytes, then the 111-byte rest, then the last line.
  EXPECT_EQ(m_xml.GetAttrib("Count"), "3");
  EXPECT_EQ(NextMessage(), std::string(511 - 21, 'x'));
  EXPECT_EQ(NextMessage(), "");
  EXPECT_EQ(NextMessage(), "end\n");
}

TEST_F(EventLines, NulBytesEndTheMessageWithoutReadingPastTheLine) {
  std::string content = "Dec  5 18:00:04 host before";
  content += '\0';
  content += "after\n";
  m_root.WriteFile("var/hxagt/ZCSysScan-traps", content);
  ASSERT_TRUE(ScanSystemLog());
  EXPECT_EQ(m_xml.GetAttrib("Count"), "1");
  EXPECT_EQ(NextMessage(), "before");
}
