#include <gtest/gtest.h>
#include <unistd.h>

#include "app/build_constants.h"
#include "daemon_replies.h"
#include "osinfo/setup_paths.h"
#include "registry_fixture.h"

namespace {

const char* const kRegistration = "SYSTEM\\CurrentControlSet\\Control\\UUID\\7E2A1C40-3B95-11D3-9A41-00B0D4E72C19";

class SetupPaths : public ::testing::Test {
 protected:
  void SetUp() override { m_env.Set("HX_SYSROOT", m_root.path()); }
  void TearDown() override { CRegistry::ReleaseTree(); }

  TempDir m_root;
  ScopedEnv m_env;
  RegistryFixture m_registry;
};

}  // namespace

TEST(DirPath, DropsOnlyATrailingSlashFromPositionThreeOn) {
  for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
           {"/opt/x/", "/opt/x"}, {"/", "/"}, {"/a/", "/a/"}, {"/ab/", "/ab"}, {"", ""}, {"/opt/x", "/opt/x"}}) {
    std::string path = in;
    EXPECT_EQ(CSetupPaths::MakeValidDirPath(path), out) << in;
  }
}

TEST_F(SetupPaths, RegistryWithoutKeysFallsBackToTheDefaultKeys) {
  RegistryFixture::InstallEmpty(m_root);
  std::string root;
  EXPECT_STREQ(CServerControlPaths::GetServerControlSetupRoot(root),
               "SOFTWARE\\Varnel Ostrum\\Management\\Server Control\\Setup");
  CSnmpAgentsPaths paths;
  EXPECT_EQ(paths.m_strAgentsKey, "SOFTWARE\\Varnel Ostrum");
  EXPECT_EQ(paths.m_strFilesKey, "SOFTWARE\\Varnel Ostrum\\#Files");
  EXPECT_EQ(paths.m_strParametersKey, "SOFTWARE\\Varnel Ostrum\\#Parameters");
  EXPECT_EQ(paths.m_strSetupKey, "SOFTWARE\\Varnel Ostrum\\#Setup");
  EXPECT_EQ(paths.m_strFileRoot, "");
  EXPECT_EQ(paths.m_strDataRoot, "");
}

TEST_F(SetupPaths, BinPathPrefersBinRootThenFileRootThenWorkingDirectory) {
  m_registry.Value(kRegistration, "Server Control=s=SOFTWARE\\Acme\\SC")
      .Value("SOFTWARE\\Acme\\SC\\Setup", "BinRoot=s=/opt/sc/bin/")
      .Value("SOFTWARE\\Acme\\SC\\Setup", "FileRoot=s=/opt/sc/")
      .Install(m_root);
  std::string path;
  EXPECT_STREQ(CServerControlPaths::GetServerControlBinPath(path), "/opt/sc/bin");

  RegistryFixture onlyFileRoot;
  onlyFileRoot.Value("SOFTWARE\\Varnel Ostrum\\Management\\Server Control\\Setup", "FileRoot=s=/opt/sc/").Install(m_root);
  path.clear();
  EXPECT_STREQ(CServerControlPaths::GetServerControlBinPath(path), "/opt/sc");

  RegistryFixture::InstallEmpty(m_root);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  path.clear();
  EXPECT_STREQ(CServerControlPaths::GetServerControlBinPath(path), cwd);
}

TEST_F(SetupPaths, AgentRootStandsInForMissingFileRoot) {
  m_registry.Value(kRegistration, "Halvex SNMP Agents=s=SOFTWARE\\Acme\\Agents")
      .Value("SOFTWARE\\Acme\\Agents\\#Setup", "AgentRoot=s=/opt/agents/")
      .Value("SOFTWARE\\Acme\\Agents\\#Setup", "DataRoot=s=/var/agents/")
      .Install(m_root);
  CSnmpAgentsPaths paths;
  EXPECT_EQ(paths.m_strSetupKey, "SOFTWARE\\Acme\\Agents\\#Setup");
  EXPECT_EQ(paths.m_strFileRoot, "/opt/agents");
  EXPECT_EQ(paths.m_strDataRoot, "/var/agents");
}

namespace {

class AgentsSection : public DaemonSectionTest {
 protected:
  ~AgentsSection() override { CRegistry::ReleaseTree(); }
  std::string Child(const char* name) { return m_xml.FindElem(name) ? m_xml.GetData() : "<missing>"; }
  bool EnterChild(const char* name) {
    if (!m_xml.FindElem(name)) return false;
    m_xml.IntoElem();
    return true;
  }
};

}  // namespace

TEST_F(AgentsSection, SecuritySettingsFollowTheFirstReplyByte) {
  RegistryFixture::InstallEmpty(m_root);
  m_replies.Set(0xE001, 0x3810, 0, "");
  m_replies.Set(0xE001, 0x3812, 0, Byte(2));
  m_replies.Set(0xE001, 0x3813, 0, std::string("hxadmin\0junk", 12));
  EXPECT_EQ(m_report.ScanHalvexAgents(m_xml), ACTION_STATE_WRITTEN);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  EXPECT_EQ(Child("ProductVersion"), HxObjectVersion);
  ASSERT_TRUE(EnterChild("Security"));
  EXPECT_EQ(Child("SetAllowed"), "no");
  EXPECT_EQ(Child("AccountCheck"), "no");
  EXPECT_EQ(Child("UserGroup"), "hxadmin");
}

TEST_F(AgentsSection, FailedSecurityRequestsWriteNothingAndSetAllowedOneIsYes) {
  RegistryFixture::InstallEmpty(m_root);
  m_replies.Set(0xE001, 0x3810, 0, Byte(1));
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(EnterChild("Security"));
  EXPECT_EQ(Child("SetAllowed"), "yes");
  EXPECT_FALSE(m_xml.FindElem());
}

TEST_F(AgentsSection, StatusTreeDescribesTheStatusByte) {
  RegistryFixture::InstallEmpty(m_root);
  m_replies.Set(0x230F, 0, 0, Byte(2));
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(EnterChild("StatusTree"));
  ASSERT_TRUE(EnterChild("System"));
  EXPECT_EQ(Child("Status"), "2");
  EXPECT_EQ(m_xml.GetAttrib("Description"), "warning");

  m_xml = CMarkup();
  m_replies.Set(0x230F, 0, 0, "");
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(EnterChild("StatusTree"));
  ASSERT_TRUE(EnterChild("System"));
  EXPECT_EQ(Child("Status"), "0");
  EXPECT_EQ(m_xml.GetAttrib("Description"), "N/A");

  m_xml = CMarkup();
  m_replies.Set(0x230F, 0, 0, Byte(1), 0x0B);
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(EnterChild("StatusTree"));
  ASSERT_TRUE(EnterChild("System"));
  EXPECT_EQ(Child("Value"), "0");
  EXPECT_EQ(m_xml.GetAttrib("Description"), "unknown");
}

TEST_F(AgentsSection, WithoutDaemonSecurityAndStatusTreeStayEmpty) {
  RegistryFixture::InstallEmpty(m_root);
  m_report.m_bHxmdAvailable = 0;
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(m_xml.FindElem("Security"));
  EXPECT_FALSE(m_xml.FindChildElem());
  ASSERT_TRUE(m_xml.FindElem("StatusTree"));
  EXPECT_FALSE(m_xml.FindChildElem());
  EXPECT_TRUE(m_replies.Asked().empty());
}

TEST_F(AgentsSection, SmartSwitchIsReadBelowTheAgentsKey) {
  RegistryFixture().Value("SOFTWARE\\Varnel Ostrum\\HD_MIB\\Parameters", "EnableSmart=d=1").Install(m_root);
  m_report.m_bHxmdAvailable = 0;
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(EnterChild("SMART"));
  ASSERT_TRUE(EnterChild("HD_MIB"));
  EXPECT_EQ(Child("Enabled"), "true");

  m_xml = CMarkup();
  RegistryFixture::InstallEmpty(m_root);
  m_report.ScanHalvexAgents(m_xml);
  ASSERT_TRUE(EnterSection("SNMPAgents"));
  ASSERT_TRUE(EnterChild("SMART"));
  ASSERT_TRUE(EnterChild("HD_MIB"));
  EXPECT_EQ(Child("Enabled"), "false");
}

TEST(SoftwarePlaceholders, RemoteConnectorOnlyOutsideHxasAndSnmpWithService) {
  CDiagReport report;
  CMarkup connector;
  EXPECT_EQ(report.ScanRemoteConnector(connector), ACTION_STATE_WRITTEN);
  connector.ResetPos();
  EXPECT_TRUE(connector.FindElem("RemoteConnector"));
  report.m_bHxasInstallation = 1;
  CMarkup none;
  EXPECT_EQ(report.ScanRemoteConnector(none), ACTION_STATE_NOTHING);
  EXPECT_EQ(none.GetDoc(), "");

  CMarkup snmp;
  EXPECT_EQ(report.ScanSnmp(snmp), ACTION_STATE_NOTHING);
  snmp.ResetPos();
  ASSERT_TRUE(snmp.FindElem("SNMP"));
  EXPECT_EQ(snmp.GetAttrib("Schema"), "2");
  EXPECT_TRUE(snmp.FindChildElem("Service"));
}
