// One run of the whole scanner on the fixture server (SMBIOS tables, PCI
// tree, adapter names) against hxmd serving the bundled demo machine profile:
// every section that has a source is filled, and the daemon answers every
// request the scan makes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fixture_machine.h"
#include "support/hxmd_runner.h"
#include "support/pci_tree.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "xml/markup.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DemoMachineScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_Root = new TempDir;
    TempDir& root = *s_Root;
    root.WriteFile("var/log/hxagt/.keep", "");
    root.WriteFile("etc/hxagt/registry", "");
    root.WriteFile("etc/hxagt/Adapter.ini", ServerAdapterIni());
    root.WriteFile("proc/meminfo", "MemTotal: 32768000 kB\nMemFree: 8192000 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n");
    CFixtureMachine().Write(root.path());
    ServerPciTree().Write(root.path());
    CHxmdRunner daemon(root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));
    ProgramResult result = RunProgram(ScannerBinary(), {"-xmlreport", root / "report.xml"},
                                      {{"HX_SYSROOT", root.path()},
                                       {"HX_HXMD_CONNECT_RETRIES", "1"},
                                       {"HX_LOG_RINGBUF_WEIGHT", "1"},
                                       {"HX_RAID_EXISTS", "1"},
                                       {"HX_RAID_READY", "1"}});
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(daemon.IsRunning());
    s_Report = new std::string(ReadFile(root / "report.xml"));
    s_RequestLog = new std::string(daemon.RequestLog());
  }
  static void TearDownTestSuite() {
    delete s_RequestLog;
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
  static std::string* s_RequestLog;
};

TempDir* DemoMachineScan::s_Root = nullptr;
std::string* DemoMachineScan::s_Report = nullptr;
std::string* DemoMachineScan::s_RequestLog = nullptr;

TEST_F(DemoMachineScan, EveryRequestIsAnsweredAndTheReportIsWellFormed) {
  EXPECT_TRUE(CMarkup(s_Report->c_str()).IsWellFormed());
  EXPECT_EQ(s_RequestLog->find("-> rejected"), std::string::npos) << *s_RequestLog;
}

TEST_F(DemoMachineScan, ProcessorMemoryAndPciSections) {
  std::string processors = Section("Processor");
  EXPECT_EQ(Count(processors, "<CPU "), 2);
  EXPECT_EQ(processors.find("<CPU "), processors.find("<CPU Boot=\"true\">")) << processors;

  std::string memory = Section("Memory");
  EXPECT_THAT(memory, HasSubstr("<Memory Schema=\"2\">\n<Installed>"));
  EXPECT_THAT(memory, Not(HasSubstr("<Installed>0<")));
  EXPECT_THAT(memory, HasSubstr("<OSAvailable>32000</OSAvailable>"));
  EXPECT_THAT(memory, HasSubstr("<Modules Count=\"4\">"));
  EXPECT_THAT(memory, HasSubstr("Checksum=\"true\""));
  EXPECT_THAT(memory, HasSubstr("<ModulePartNumber>HMA82GR7JJR4N-VK    </ModulePartNumber>"));

  std::string devices = Section("PCIDevices");
  EXPECT_EQ(Count(devices, "<Device "), 8);
  EXPECT_THAT(devices, HasSubstr("<SlotDesignation>PCIE2 x16 (CPU1)</SlotDesignation>"));
  EXPECT_THAT(devices, HasSubstr("<DeviceName>MegaRAID SAS-3 3108 [Invader]</DeviceName>"));
  // The fixture's routing table: three slots, then an unused entry, so its
  // last two records stay zero.
  EXPECT_EQ(ReadFile(*s_Root / "etc/hxagt/PciSlotMapping.bin"),
            std::string("\x00\x1C\x00\x00\x01\x00\x01\x00\x02\x00\x02\x00", 12) + std::string(8, '\0'));
}

TEST_F(DemoMachineScan, EnvironmentSectionsListEverySensor) {
  EXPECT_THAT(Section("Voltages"), HasSubstr("Count=\"4\""));
  EXPECT_THAT(Section("Voltages"), HasSubstr("<CurrValue>-12.05</CurrValue>"));
  EXPECT_EQ(Count(Section("Fans"), "<Fan "), 3);
  EXPECT_EQ(Count(Section("Temperatures"), "<Temperature "), 4);
  EXPECT_THAT(Section("PowerSupplies"), HasSubstr("<Status Description=\"AC fail\">3</Status>"));
}

TEST_F(DemoMachineScan, EventLogsAndSummary) {
  EXPECT_EQ(Count(Section("SystemEventlog"), "<Entry>"), 4);
  EXPECT_EQ(Count(Section("SystemEventlog"), "<HexDump "), 3);
  EXPECT_THAT(Section("SystemEventlog"), HasSubstr("<Date>2026/11/30 02:17:33</Date>\n<Severity>MAJOR</Severity>"));
  EXPECT_EQ(Count(Section("InternalEventlog"), "<Entry>"), 3);
  EXPECT_THAT(*s_Report, HasSubstr("<Message>1 important error(s) in system event log (SEL)!</Message>"));
  EXPECT_THAT(*s_Report, HasSubstr("<Message>1 important warning(s) in internal event log IEL</Message>"));
}

TEST_F(DemoMachineScan, SensorDataRecordsAreDecoded) {
  std::string sdr = Section("SensorDataRecords");
  EXPECT_EQ(Count(sdr, "<SDR "), 8);
  EXPECT_THAT(sdr, HasSubstr("<Raw>190</Raw>\n<Normalized>13.30</Normalized>"));
  EXPECT_THAT(sdr, HasSubstr("<Raw>200</Raw>\n<Normalized>12000</Normalized>"));
  EXPECT_THAT(sdr, HasSubstr("<Name>iXMC BMC</Name>"));
}

TEST_F(DemoMachineScan, IdPromsControllerStateAndStorageExtensions) {
  std::string idProms = Section("IDPROMS");
  EXPECT_EQ(Count(idProms, "<Class "), 4);
  EXPECT_EQ(Count(idProms, "<Instance "), 5);
  EXPECT_THAT(idProms, HasSubstr("<String ValueID=\"0304\" ValueName=\"ValueID 0304\">GS01</String>"));
  EXPECT_THAT(Section("BootStatus"), HasSubstr("<PowerOnReason AsString=\"Power Switch\">1</PowerOnReason>"));
  EXPECT_THAT(Section("Features"), HasSubstr("<Feature Name=\"VirtualMedia\" Enabled=\"true\"/>"));
  std::string shelves = Section("StorageExtensions");
  EXPECT_THAT(shelves, HasSubstr("<StorageExtension Schema=\"1\" ID=\"1\" Name=\"SX40 Disk Shelf\">"));
  EXPECT_EQ(Count(shelves, "Schema=\"1\" Count=\"1\">") + Count(shelves, "Schema=\"1\" Count=\"2\">"), 4);
}

TEST_F(DemoMachineScan, SoftwareSections) {
  for (const char* part : {"<UserGroup>hxadmin</UserGroup>", "<Status Description=\"OK\">1</Status>",
                           "<rdEMX Version=\"2\">\n<Adapter Id=\"0\"", "TypeName=\"Management Controller\"",
                           "<Drives Count=\"2\">", "<Time AsString=\"12/05/2024 09:13:20\">1733390000</Time>"})
    EXPECT_THAT(*s_Report, HasSubstr(part));
}

}  // namespace
