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
  std::string Scan(_ActionState (CDiagReport::*scan)(CMarkup&)) {
    CMarkup xml;
    (m_report.*scan)(xml);
    EXPECT_TRUE(xml.IsWellFormed());
    return xml.GetDoc();
  }
  void WriteEvents(const std::string& text) { m_root.WriteFile("var/hxagt/ZCSysScan-traps", text); }

  TempDir m_root;
  ScopedEnv m_env;
  CDiagReport m_report;
};

}  // namespace

TEST_F(OsSections, ProductNameJoinsVendorAndProductWithOneBlank) {
  m_env.Set("HX_OS", "Enterprise Linux 9");
  EXPECT_TRUE(Holds(Scan(&CDiagReport::ScanOsVersion), "<Name> Enterprise Linux 9</Name>"));
  m_env.Unset("HX_OS").Set("HX_VENDOR", "Varnel");
  m_root.WriteFile("opt/bnk/vmware-product-string", "Console 3.5\n");
  EXPECT_TRUE(Holds(Scan(&CDiagReport::ScanOsVersion), "<Name>Varnel Console 3.5</Name>"));
  m_env.Set("HX_VENDOR", std::string(300, 'v'));
  EXPECT_TRUE(Holds(Scan(&CDiagReport::ScanOsVersion), "<Name>" + std::string(271, 'v') + "</Name>"));
}

TEST_F(OsSections, EventLineGivesTimeStampAndTheTextAfterTheHostWord) {
  WriteEvents("");
  EXPECT_TRUE(Holds(Scan(&CDiagReport::ScanOsEventlog), "<System Count=\"0\"/>"));
  WriteEvents("Dec  5 18:00:01 rx300 Fan 2 failed <critical>\nDec  5 18:00:09 rx300 Fan 2 ok\n");
  std::string log = Scan(&CDiagReport::ScanOsEventlog);
  EXPECT_TRUE(Holds(log, "<System Count=\"2\">"));
  EXPECT_TRUE(Holds(log,
                    "<Record Source=\"Halvex Agents\" Type=\"Info\" Created=\"Dec  5 18:00:01\" Important=\"false\">\n"
                    "<Message><![CDATA[Fan 2 failed <critical>\n]]></Message>"));
}

TEST_F(OsSections, ShortLinesAreSkippedOverlongLinesSplitAndNulEndsTheMessage) {
  std::string longLine = "Dec  5 18:00:02 host " + std::string(600, 'x') + "\n";
  std::string withNul("Dec  5 18:00:04 host before\0after\n", 34);
  WriteEvents("short\n\n" + longLine + withNul);
  std::string log = Scan(&CDiagReport::ScanOsEventlog);
  // 511 bytes, the 111-byte rest (no blank after position 16), the NUL line.
  EXPECT_TRUE(Holds(log, "<System Count=\"3\">"));
  EXPECT_TRUE(Holds(log, "<![CDATA[" + std::string(490, 'x') + "]]>"));
  EXPECT_TRUE(Holds(log, "Created=\"" + std::string(15, 'x') + "\""));
  EXPECT_TRUE(Holds(log, "<![CDATA[before]]>"));
}
