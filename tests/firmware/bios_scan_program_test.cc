// Runs the real scanner on fixture machines and checks the BIOS section of
// the written report and the SM BIOS source line.
#include <gtest/gtest.h>

#include "support/fixture_machine.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "support/xml_query.h"
#include "xml/xml_validator.h"

namespace {

class BiosScanProgram : public ::testing::Test {
 protected:
  void SetUp() override { m_Root.WriteFile("var/log/hxagt/.keep", ""); }

  void Scan(const CFixtureMachine& machine) {
    machine.Write(m_Root.path());
    m_Result = RunProgram(ScannerBinary(), {"-xmlreport", m_Root / "report.xml", "-verbose"},
                          {{"HX_SYSROOT", m_Root.path()},
                           {"HX_HXMD_CONNECT_RETRIES", "1"},
                           {"HX_HXMD_REPLY_TIME", "1"},
                           {"HX_LOG_RINGBUF_WEIGHT", "1"}});
    ASSERT_EQ(m_Result.exitStatus, 0);
    m_strReport = ReadFile(m_Root / "report.xml");
  }
  bool SourceDetected() const {
    if (m_Result.out.find("\n Source SM BIOS: detected") != std::string::npos) return true;
    EXPECT_NE(m_Result.out.find("\n Source SM BIOS: not detected"), std::string::npos) << m_Result.out;
    return false;
  }
  CXmlQuery Report() const { return CXmlQuery(m_strReport); }

  TempDir m_Root;
  ProgramResult m_Result;
  std::string m_strReport;
};

constexpr const char* kBios = "Root/System/BIOS";
constexpr const char* kSmbiosErrors = "Root/Summary/Errors/SMBIOS/Message";

TEST_F(BiosScanProgram, EveryRouteWritesTheCompleteSectionIntoAValidReport) {
  const std::pair<SmbiosRoute, uint8_t> routes[] = {
      {SmbiosRoute::ShadowScan, 7}, {SmbiosRoute::EfiSystab, 8}, {SmbiosRoute::EsxDevice, 7}};
  for (const auto& [route, minor] : routes) {
    const std::string version = "2." + std::to_string(minor);
    SCOPED_TRACE(version);
    Scan(CFixtureMachine().SetRoute(route).SetVersion(2, minor));
    EXPECT_TRUE(SourceDetected());
    std::string text = m_strReport;
    EXPECT_EQ(CXmlValidator::ValidateText(text), 0u);
    CXmlQuery report = Report();
    EXPECT_EQ(report.Attrib("Root/System/BIOS/SMBIOS", "Version"), version);
    EXPECT_EQ(report.ChildNames("Root/System/BIOS/SMBIOS"),
              "Type0,Type1,Type2,Type3,Type4,Type7,Type16,Type17,Type19,Type20,Type38,Type176,Type188,Type190,"
              "IRQRouting");
    EXPECT_FALSE(report.Exists(kSmbiosErrors));
  }
}

TEST_F(BiosScanProgram, FailedSourcesEndInSummaryErrorAndEmptySection) {
  struct Case {
    CFixtureMachine machine;
    const char* reason;
  };
  const Case cases[] = {
      {CFixtureMachine().SetRoute(SmbiosRoute::BadEntryChecksum), "No SMBIOS structures found!"},
      {CFixtureMachine().SetRoute(SmbiosRoute::NoSmbios), "No SMBIOS structures found!"},
      {CFixtureMachine().SetTable(BrokenServerTable()),
       "## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while when string table end found!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    Scan(c.machine);
    EXPECT_FALSE(SourceDetected());
    CXmlQuery report = Report();
    EXPECT_TRUE(report.Exists(kBios));
    EXPECT_EQ(report.ChildNames(kBios), "");
    std::string message = report.Text(kSmbiosErrors);
    EXPECT_EQ(message.rfind(std::string("Could not connect to SM BIOS! (") + c.reason, 0), 0u) << message;
  }
}

}  // namespace
