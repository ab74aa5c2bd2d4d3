#include <gtest/gtest.h>

#include "app/diag_report.h"
#include "mgmt/hxmd_client.h"
#include "os_test_env.h"
#include "registry_fixture.h"
#include "support/hxmd_runner.h"
#include "support/test_paths.h"

// The software sections against the real daemon serving the bundled demo
// machine profile.
class DemoProfileSections : public ::testing::Test {
 protected:
  DemoProfileSections() : m_daemon(m_root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml")) {
    m_env.Set("HX_SYSROOT", m_root.path()).Set("HX_RAID_EXISTS", "1").Set("HX_RAID_READY", "1");
    RegistryFixture::InstallEmpty(m_root);
    m_report.m_bHxmdAvailable = 1;
  }
  ~DemoProfileSections() override {
    HxmdClientDestroyTSD();
    CRegistry::ReleaseTree();
  }

  std::string Scan(_ActionState (CDiagReport::*scan)(CMarkup&)) {
    CMarkup xml;
    (m_report.*scan)(xml);
    EXPECT_TRUE(xml.IsWellFormed());
    return xml.GetDoc();
  }

  TempDir m_root;
  ScopedEnv m_env;
  CHxmdRunner m_daemon;
  CDiagReport m_report;
};

TEST_F(DemoProfileSections, EverySoftwareSectionIsFilled) {
  std::string agents = Scan(&CDiagReport::ScanHalvexAgents);
  EXPECT_NE(agents.find("<SetAllowed>yes</SetAllowed>"), std::string::npos) << agents;
  EXPECT_NE(agents.find("<UserGroup>hxadmin</UserGroup>"), std::string::npos) << agents;
  EXPECT_NE(agents.find("<Status Description=\"OK\">1</Status>"), std::string::npos) << agents;

  std::string raid = Scan(&CDiagReport::ScanHalvexRaid);
  EXPECT_NE(raid.find("<rdEMX Version=\"2\">"), std::string::npos) << raid;
  EXPECT_NE(raid.find("ST300MM0006"), std::string::npos) << raid;

  std::string revscope = Scan(&CDiagReport::ScanRevscope);
  EXPECT_NE(revscope.find("<ScanMessage>scan completed - no changes</ScanMessage>"), std::string::npos) << revscope;
  EXPECT_NE(revscope.find("TypeName=\"Management Controller\""), std::string::npos) << revscope;
  EXPECT_NE(revscope.find("<SerialNumber>N/A</SerialNumber>"), std::string::npos) << revscope;

  std::string drivewatch = Scan(&CDiagReport::ScanHalvexDrivewatch);
  EXPECT_NE(drivewatch.find("<Adapters Count=\"2\">"), std::string::npos) << drivewatch;
  EXPECT_NE(drivewatch.find("<Drives Count=\"2\">"), std::string::npos) << drivewatch;
  EXPECT_NE(drivewatch.find("AsString=\"12/05/2024 09:13:20\""), std::string::npos) << drivewatch;
}
