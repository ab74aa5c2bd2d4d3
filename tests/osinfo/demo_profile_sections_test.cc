#include <gtest/gtest.h>

#include "app/diag_report.h"
#include "mgmt/hxmd_client.h"
#include "os_test_env.h"
#include "registry_fixture.h"
#include "support/hxmd_runner.h"
#include "support/test_paths.h"

// The software sections against the real daemon serving the bundled demo
// machine profile.
TEST(DemoProfileSections, EverySoftwareSectionIsFilled) {
  TempDir root;
  ScopedEnv env;
  env.Set("HX_SYSROOT", root.path()).Set("HX_RAID_EXISTS", "1").Set("HX_RAID_READY", "1");
  RegistryFixture::InstallEmpty(root);
  std::string text;
  {
    CHxmdRunner daemon(root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));
    CDiagReport report;
    report.m_bHxmdAvailable = 1;
    for (auto scan : {&CDiagReport::ScanHalvexAgents, &CDiagReport::ScanHalvexRaid, &CDiagReport::ScanRevscope,
                      &CDiagReport::ScanHalvexDrivewatch}) {
      CMarkup xml;
      (report.*scan)(xml);
      EXPECT_TRUE(xml.IsWellFormed());
      text += xml.GetDoc();
    }
    HxmdClientDestroyTSD();
  }
  CRegistry::ReleaseTree();
  EXPECT_TRUE(Holds(text, "<UserGroup>hxadmin</UserGroup>"));
  EXPECT_TRUE(Holds(text, "<Status Description=\"OK\">1</Status>"));
  EXPECT_TRUE(Holds(text, "<rdEMX Version=\"2\">\n<Adapter Id=\"0\""));
  EXPECT_TRUE(Holds(text, "TypeName=\"Management Controller\""));
  EXPECT_TRUE(Holds(text, "<Drives Count=\"2\">"));
  EXPECT_TRUE(Holds(text, "<Time AsString=\"12/05/2024 09:13:20\">1733390000</Time>"));
}
