// The whole scanner against hxmd serving the bundled demo machine profile:
// every controller section is filled.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/hxmd_runner.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "xml/markup.h"

namespace {

using ::testing::HasSubstr;

class DemoScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_Root = new TempDir;
    s_Root->WriteFile("var/log/hxagt/.keep", "");
    CHxmdRunner daemon(s_Root->path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));
    ProgramResult result = RunProgram(ScannerBinary(), {"-xmlreport", *s_Root / "report.xml"},
                                      {{"HX_SYSROOT", s_Root->path()}, {"HX_HXMD_CONNECT_RETRIES", "1"}});
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    s_Report = new std::string(ReadFile(*s_Root / "report.xml"));
  }
  static void TearDownTestSuite() {
    delete s_Report;
    delete s_Root;
  }

  // The section element's text in the report.
  static std::string Section(const char* name) {
    std::string open = std::string("<") + name + " ";
    std::string close = std::string("</") + name + ">";
    size_t begin = s_Report->find(open);
    size_t end = s_Report->find(close, begin);
    if (begin == std::string::npos || end == std::string::npos) return std::string();
    return s_Report->substr(begin, end + close.size() - begin);
  }

  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  static TempDir* s_Root;
  static std::string* s_Report;
};

TempDir* DemoScan::s_Root = nullptr;
std::string* DemoScan::s_Report = nullptr;

TEST_F(DemoScan, EnvironmentSectionsListEverySensor) {
  EXPECT_TRUE(CMarkup(s_Report->c_str()).IsWellFormed());
  EXPECT_THAT(Section("Voltages"), HasSubstr("Count=\"4\""));
  EXPECT_THAT(Section("Voltages"), HasSubstr("<CurrValue>-12.05</CurrValue>"));
  EXPECT_EQ(Count(Section("Fans"), "<Fan "), 3);
  EXPECT_EQ(Count(Section("Temperatures"), "<Temperature "), 4);
  EXPECT_THAT(Section("PowerSupplies"), HasSubstr("<Status Description=\"AC fail\">3</Status>"));
}

TEST_F(DemoScan, EventLogsAndSummary) {
  EXPECT_EQ(Count(Section("SystemEventlog"), "<Entry>"), 4);
  EXPECT_EQ(Count(Section("SystemEventlog"), "<HexDump "), 3);
  EXPECT_THAT(Section("SystemEventlog"), HasSubstr("<Date>2026/11/30 02:17:33</Date>\n<Severity>MAJOR</Severity>"));
  EXPECT_EQ(Count(Section("InternalEventlog"), "<Entry>"), 3);
  EXPECT_THAT(*s_Report, HasSubstr("<Message>1 important error(s) in system event log (SEL)!</Message>"));
  EXPECT_THAT(*s_Report, HasSubstr("<Message>1 important warning(s) in internal event log IEL</Message>"));
}

TEST_F(DemoScan, SensorDataRecordsAreDecoded) {
  std::string sdr = Section("SensorDataRecords");
  EXPECT_EQ(Count(sdr, "<SDR "), 8);
  EXPECT_THAT(sdr, HasSubstr("<Name>12V</Name>"));
  EXPECT_THAT(sdr, HasSubstr("<Raw>190</Raw>\n<Normalized>13.30</Normalized>"));
  EXPECT_THAT(sdr, HasSubstr("<Raw>200</Raw>\n<Normalized>12000</Normalized>"));
  EXPECT_THAT(sdr, HasSubstr("<Name>iXMC BMC</Name>"));
}

TEST_F(DemoScan, IdPromsControllerStateAndStorageExtensions) {
  std::string idProms = Section("IDPROMS");
  EXPECT_EQ(Count(idProms, "<Class "), 4);
  EXPECT_THAT(idProms, HasSubstr("<Class Name=\"Storage Shelf\" Code=\"20\" CabinetNr=\"1\">"));
  EXPECT_EQ(Count(idProms, "<Instance "), 5);
  EXPECT_THAT(idProms, HasSubstr("<String ValueID=\"0304\" ValueName=\"ValueID 0304\">GS01</String>"));
  EXPECT_THAT(Section("BootStatus"), HasSubstr("<PowerOnReason AsString=\"Power Switch\">1</PowerOnReason>"));
  EXPECT_THAT(Section("Features"), HasSubstr("<Feature Name=\"VirtualMedia\" Enabled=\"true\"/>"));
  std::string shelves = Section("StorageExtensions");
  EXPECT_THAT(shelves, HasSubstr("<StorageExtension Schema=\"1\" ID=\"1\" Name=\"SX40 Disk Shelf\">"));
  EXPECT_EQ(Count(shelves, "Schema=\"1\" Count=\"1\">") + Count(shelves, "Schema=\"1\" Count=\"2\">"), 4);
}

}  // namespace
