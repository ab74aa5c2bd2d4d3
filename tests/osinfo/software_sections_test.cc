#include <gtest/gtest.h>

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

TEST_F(SoftwareSections, StatusTreeDescribesTheStatusByteOrTheFailure) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "<Status Description=\"N/A\">0</Status>"},
      {Byte(9), "<Status Description=\"N/A\">9</Status>"},
  };
  for (const auto& [reply, expected] : cases) {
    m_replies.Set(0x230F, 0, 0, reply);
    EXPECT_TRUE(Holds(Agents(), expected));
  }
  m_replies.Set(0x230F, 0, 0, Byte(1), 0x0B);
  EXPECT_TRUE(Holds(Agents(), "<System>\n<Value Description=\"unknown\">0</Value>\n</System>"));
}
