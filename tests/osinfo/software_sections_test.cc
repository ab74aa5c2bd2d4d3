#include <gtest/gtest.h>
#include <unistd.h>

#include "app/build_constants.h"
#include "daemon_replies.h"
#include "osinfo/setup_paths.h"
#include "registry_fixture.h"

namespace {

const char* const kRegistration = "SYSTEM\\CurrentControlSet\\Control\\UUID\\7E2A1C40-3B95-11D3-9A41-00B0D4E72C19";

class SoftwareSections : public DaemonSectionTest {
 protected:
  SoftwareSections() { RegistryFixture::InstallEmpty(m_root); }
  ~SoftwareSections() override { CRegistry::ReleaseTree(); }
  std::string Agents() {
    CMarkup xml;
    EXPECT_EQ(m_report.ScanHalvexAgents(xml), ACTION_STATE_WRITTEN);
    return xml.GetDoc();
  }
  std::string BinPath() {
    std::string path;
    return CServerControlPaths::GetServerControlBinPath(path);
  }
};

}  // namespace

TEST(DirPath, DropsOnlyATrailingSlashFromPositionThreeOn) {
  for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{
           {"/opt/x/", "/opt/x"}, {"/", "/"}, {"/a/", "/a/"}, {"/ab/", "/ab"}, {"", ""}}) {
    EXPECT_EQ(CSetupPaths::MakeValidDirPath(in), out);
  }
}

TEST_F(SoftwareSections, RegistryWithoutKeysFallsBackToWorkingDirectoryAndNoAgentRoots) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  EXPECT_EQ(BinPath(), cwd);
  CSnmpAgentsPaths paths;
  EXPECT_EQ(paths.m_strFileRoot + paths.m_strDataRoot, "");
}

TEST_F(SoftwareSections, RegisteredDirectoriesWinInTheirOrder) {
  RegistryFixture()
      .Value(kRegistration, "Server Control=s=SOFTWARE\\Acme\\SC")
      .Value(kRegistration, "Halvex SNMP Agents=s=SOFTWARE\\Acme\\Agents")
      .Value("SOFTWARE\\Acme\\SC\\Setup", "BinRoot=s=/opt/sc/bin/")
      .Value("SOFTWARE\\Acme\\SC\\Setup", "FileRoot=s=/opt/sc/")
      .Value("SOFTWARE\\Acme\\Agents\\#Setup", "AgentRoot=s=/opt/agents/")
      .Value("SOFTWARE\\Acme\\Agents\\#Setup", "DataRoot=s=/var/agents/")
      .Install(m_root);
  EXPECT_EQ(BinPath(), "/opt/sc/bin");
  CSnmpAgentsPaths paths;
  EXPECT_EQ(paths.m_strFileRoot, "/opt/agents");
  EXPECT_EQ(paths.m_strDataRoot, "/var/agents");

  RegistryFixture()
      .Value("SOFTWARE\\Varnel Ostrum\\Management\\Server Control\\Setup", "FileRoot=s=/opt/sc/")
      .Value("SOFTWARE\\Varnel Ostrum\\HD_MIB\\Parameters", "EnableSmart=d=1")
      .Install(m_root);
  EXPECT_EQ(BinPath(), "/opt/sc");
  EXPECT_TRUE(Holds(Agents(), "<HD_MIB>\n<Enabled>true</Enabled>"));
}

TEST_F(SoftwareSections, SecuritySettingsFollowTheFirstReplyByte) {
  m_replies.Set(0xE001, 0x3810, 0, "");
  m_replies.Set(0xE001, 0x3812, 0, Byte(2));
  m_replies.Set(0xE001, 0x3813, 0, std::string("hxadmin\0junk", 12));
  std::string agents = Agents();
  EXPECT_TRUE(Holds(agents, std::string("<ProductVersion>") + HxObjectVersion + "</ProductVersion>"));
  EXPECT_TRUE(Holds(agents, "<Security>\n<SetAllowed>no</SetAllowed>\n<AccountCheck>no</AccountCheck>\n"
                            "<UserGroup>hxadmin</UserGroup>\n</Security>"));
  EXPECT_TRUE(Holds(agents, "<HD_MIB>\n<Enabled>false</Enabled>"));
  m_replies.Set(0xE001, 0x3810, 0, Byte(1));
  m_replies.Set(0xE001, 0x3812, 0, "", 0x0B);
  m_replies.Set(0xE001, 0x3813, 0, "", 0x0B);
  EXPECT_TRUE(Holds(Agents(), "<Security>\n<SetAllowed>yes</SetAllowed>\n</Security>"));
}

TEST_F(SoftwareSections, StatusTreeDescribesTheStatusByteOrTheFailure) {
  const std::pair<std::string, const char*> cases[] = {
      {Byte(2), "<Status Description=\"warning\">2</Status>"},
      {"", "<Status Description=\"N/A\">0</Status>"},
      {Byte(9), "<Status Description=\"N/A\">9</Status>"},
  };
  for (const auto& [reply, expected] : cases) {
    m_replies.Set(0x230F, 0, 0, reply);
    EXPECT_TRUE(Holds(Agents(), expected));
  }
  m_replies.Set(0x230F, 0, 0, Byte(1), 0x0B);
  EXPECT_TRUE(Holds(Agents(), "<System>\n<Value Description=\"unknown\">0</Value>\n</System>"));
  m_report.m_bHxmdAvailable = 0;
  EXPECT_TRUE(Holds(Agents(), "<Security/>\n<StatusTree/>"));
}
