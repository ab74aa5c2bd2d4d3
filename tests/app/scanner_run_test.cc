// Runs the real scanner against an empty fixture tree (no firmware tables, no
// daemon) and checks its console output and the report skeleton.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "support/program_runner.h"
#include "support/test_paths.h"
#include "support/xml_query.h"

namespace {

const char* const kBanner = "\n** Halvex Software Zelcor System Scan V1.00-01 **\n";
const char* const kHelp =
    "\nSyntax:\nZcSysScan -xmlreport [-xml] [-verbose]\n"
    "\n   -xmlreport <Path>   generates XML outptut file in <Path>"
    "\n   -xml                shows generated XML output"
    "\n   -verbose            shows more detailed output"
    "\n   -?                  shows this help\n";

// Enabled actions in run order: Summary item name and progress text.
const std::pair<const char*, const char*> kRunOrder[] = {
    {"System/BIOS", "SM BIOS..."},
    {"System/Processor", "processors..."},
    {"System/Memory", "memory modules..."},
    {"System/Fans", "fans..."},
    {"System/Temperatures", "temperatures..."},
    {"System/PowerSupplies", "power supplies..."},
    {"System/Voltages", "voltages..."},
    {"System/IDPROMS", "ID PROMS..."},
    {"System/SensorDataRecords", "Sensor Data Records..."},
    {"System/PCIDevices", "PCI devices..."},
    {"System/SystemEventlog", "SEL..."},
    {"System/InternalEventlog", "IEL..."},
    {"System/BootStatus", "Boot Status..."},
    {"System/Features", "system features..."},
    {"StorageExtensions", "storage extensions..."},
    {"OperatingSystem/Product", "OS version..."},
    {"OperatingSystem/BootOptions", "OS boot options..."},
    {"OperatingSystem/Eventlog", "OS event log..."},
    {"OperatingSystem/Devices", "OS devices..."},
    {"Software/Halvex/SNMPAgents", "Halvex Agents ..."},
    {"Software/Halvex/ServerControl", "Server Control service..."},
    {"Software/Halvex/HalvexRaid", "Halvex Raid..."},
    {"Software/Halvex/Drivewatch", "Drivewatch data..."},
    {"Revscope", "Revscope data..."},
};

class ScannerRun : public ::testing::Test {
 protected:
  ProgramResult Scan(const std::vector<std::string>& args, std::map<std::string, std::string> env = {}) {
    env.insert({{"HX_SYSROOT", root.path()},
                {"HX_HXMD_CONNECT_RETRIES", "1"},
                {"HX_HXMD_REPLY_TIME", "1"},
                {"HX_LOG_NOHDR_TOSDTERR", "1"},
                {"HX_LOG_RINGBUF_WEIGHT", "1"},
                {"HX_VENDOR", ""},
                {"HX_OS", ""}});
    return RunProgram(ScannerBinary(), args, env);
  }
  std::string ReportPath() const { return root / "report.xml"; }

  void SetUp() override { root.WriteFile("var/log/hxagt/.keep", ""); }

  TempDir root;
};

TEST_F(ScannerRun, RunsThatWriteNoReportPrintHelpBannerOrFailureAndExit) {
  const std::string banner = kBanner, unwritable = root / "missing/dir/report.xml";
  const struct {
    std::vector<std::string> args;
    int exitStatus;
    std::string out;
  } cases[] = {
      {{}, 0, kHelp},
      {{"plain", "words"}, 0, kHelp},
      {{"-xmlreport", ReportPath(), "-?"}, 0, banner + kHelp},
      {{"-xmlreport", "-xml"}, 0, banner},
      {{"-unknown"}, 0, banner},
      {{"-xmlreport", unwritable}, 255,
       banner + "\n!! Failed to write XML file \"" + unwritable + "\"! (Error No such file or directory)"},
  };
  for (const auto& c : cases) {
    ProgramResult result = Scan(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    EXPECT_EQ(result.out, c.out);
  }
  EXPECT_FALSE(std::ifstream(ReportPath()).good());
}

TEST_F(ScannerRun, PlainRunPrintsThreeLinesAndFileSizeAndWritesTheSkeleton) {
  ProgramResult result = Scan({"-XMLREPORT", ReportPath()});
  ASSERT_EQ(result.exitStatus, 0);
  std::string text = ReadFile(ReportPath());
  EXPECT_EQ(result.out, std::string(kBanner) + "\nInitializing... done.\nCreate " + ReportPath() + "... done (" +
                            std::to_string(text.size()) + " bytes).");
  EXPECT_TRUE(std::regex_search(
      text, std::regex("^<\\?xml version=\"1.0\" encoding=\"UTF-8\"\\?>\n"
                       "<Root Version=\"1.00-01\" Schema=\"2\" OS=\"Linux\" SecureLog=\"false\" "
                       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n<Summary>\n<Created>\n"
                       "<IsAdmin>true</IsAdmin>\n"
                       "<Date>[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}</Date>\n"
                       "<BuildDuration>[0-9]+</BuildDuration>\n<Computer>[^<]+</Computer>\n")));

  CXmlQuery report(text);
  ASSERT_EQ(report.Count("Root/Summary/Content/Item"), static_cast<int>(std::size(kRunOrder)));
  for (size_t i = 0; i < std::size(kRunOrder); ++i)
    EXPECT_EQ(report.Attrib("Root/Summary/Content/Item[" + std::to_string(i) + "]", "Name"), kRunOrder[i].first);
}

TEST_F(ScannerRun, VerboseRunPrintsSourcesAndTwentyFourProgressLines) {
  ProgramResult result = Scan({"-xmlreport", ReportPath(), "-Verbose"});
  ASSERT_EQ(result.exitStatus, 0);
  std::string expected = std::string(kBanner) + "\nInitializing...\ndone.\nCreate " + ReportPath() + "..." +
                         "\n Source Server Control: detected\nDetecting data sources..." +
                         "\n Source SM BIOS: not detected\n Source SNMP: not detected" +
                         "\nPerforming system scan...";
  char line[64];
  int number = 1;
  for (const auto& [item, text] : kRunOrder) {
    std::snprintf(line, sizeof(line), "\n[%02d/24] Scanning ", number++);
    expected += std::string(line) + text + "done";
  }
  expected += "\n" + ReportPath() + " created (" + std::to_string(ReadFile(ReportPath()).size()) + " bytes).";
  EXPECT_EQ(result.out, expected);
}

TEST_F(ScannerRun, SecureShowXmlRunPrintsDocumentWithoutDeclarationOrComputerName) {
  ProgramResult result =
      Scan({"-xmlreport", ReportPath(), "-xml", "-secure"}, {{"HX_VENDOR", "Acme"}, {"HX_OS", "Linux 9"}});
  ASSERT_EQ(result.exitStatus, 0);
  std::string report = ReadFile(ReportPath());
  std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  ASSERT_EQ(report.rfind(declaration, 0), 0u);
  EXPECT_NE(result.out.find("...\n" + report.substr(declaration.size()) + " done ("), std::string::npos);
  EXPECT_NE(report.find("SecureLog=\"true\""), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      report, std::regex("</BuildDuration>\n<Company>Acme</Company>\n<OS>Linux 9</OS>\n</Created>")));
}

TEST_F(ScannerRun, OverlongOutputPathIsTestedByFirst259Characters) {
  std::string path = root.path() + "/";
  path += std::string(300 - path.size(), 'x');
  ProgramResult result = Scan({"-xmlreport", path});
  EXPECT_EQ(result.exitStatus, 0);
  struct stat info;
  ASSERT_EQ(stat(path.substr(0, 259).c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 0);
  EXPECT_NE(result.out.find(" done (0 bytes)."), std::string::npos);
}

}  // namespace
