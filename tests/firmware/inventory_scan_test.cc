// Scans the fixture server with the real scanner and the demo machine
// profile served by hxmd, and checks the PCI, memory and processor sections.
#include <gtest/gtest.h>

#include <string>

#include "support/fixture_machine.h"
#include "support/hxmd_runner.h"
#include "support/pci_tree.h"
#include "support/program_runner.h"
#include "support/test_paths.h"
#include "xml/markup.h"

namespace {

int CountChildren(CMarkup& xml, const char* name) {
  int count = 0;
  xml.ResetChildPos();
  while (xml.FindChildElem(name)) ++count;
  xml.ResetChildPos();
  return count;
}

}  // namespace

TEST(InventoryScan, FixtureServerWithDemoProfileFillsPciMemoryAndProcessorSections) {
  TempDir root;
  root.WriteFile("var/log/hxagt/.keep", "");
  root.WriteFile("etc/hxagt/Adapter.ini", ServerAdapterIni());
  root.WriteFile("proc/meminfo", "MemTotal: 32768000 kB\nMemFree: 8192000 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n");
  CFixtureMachine().Write(root.path());
  ServerPciTree().Write(root.path());
  CHxmdRunner daemon(root.path(), ReadFile(SourceDir() + "/hxmd/profiles/demo-machine.xml"));

  ProgramResult result = RunProgram(ScannerBinary(), {"-xmlreport", root / "report.xml"},
                                    {{"HX_SYSROOT", root.path()},
                                     {"HX_HXMD_CONNECT_RETRIES", "1"},
                                     {"HX_LOG_NOHDR_TOSDTERR", "1"},
                                     {"HX_LOG_RINGBUF_WEIGHT", "1"}});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  CMarkup report;
  ASSERT_TRUE(report.Load(root / "report.xml"));

  ASSERT_TRUE(report.FindElem("Root") && report.IntoElem() && report.FindElem("System") && report.IntoElem());
  ASSERT_TRUE(report.FindElem("Processor"));
  EXPECT_EQ(CountChildren(report, "CPU"), 2);
  ASSERT_TRUE(report.FindChildElem("CPU"));
  EXPECT_EQ(report.GetChildAttrib("Boot"), "true");

  ASSERT_TRUE(report.FindElem("Memory"));
  EXPECT_EQ(report.GetAttrib("Schema"), "2");
  report.IntoElem();
  ASSERT_TRUE(report.FindElem("Installed"));
  EXPECT_GT(std::stoi(report.GetData()), 0);
  ASSERT_TRUE(report.FindElem("OSAvailable"));
  EXPECT_EQ(report.GetData(), "32000");
  ASSERT_TRUE(report.FindElem("Modules"));
  EXPECT_EQ(report.GetAttrib("Count"), "4");
  ASSERT_TRUE(report.FindChildElem("Module"));
  report.IntoElem();
  ASSERT_TRUE(report.FindChildElem("SPD"));
  EXPECT_EQ(report.GetChildAttrib("Checksum"), "true");
  report.IntoElem();
  ASSERT_TRUE(report.FindChildElem("ModulePartNumber"));
  EXPECT_EQ(report.GetChildData(), "HMA82GR7JJR4N-VK    ");
  report.OutOfElem();
  report.OutOfElem();
  report.OutOfElem();

  ASSERT_TRUE(report.FindElem("PCIDevices"));
  EXPECT_EQ(CountChildren(report, "Device"), 8);
  std::string devices = report.GetSubDoc();
  EXPECT_NE(devices.find("<SlotDesignation>PCIE2 x16 (CPU1)</SlotDesignation>"), std::string::npos) << devices;
  EXPECT_NE(devices.find("<DeviceName>MegaRAID SAS-3 3108 [Invader]</DeviceName>"), std::string::npos);

  // The fixture's routing table: three slots, then an unused entry, so its
  // last two records stay zero.
  EXPECT_EQ(ReadFile(root / "etc/hxagt/PciSlotMapping.bin"),
            std::string("\x00\x1C\x00\x00\x01\x00\x01\x00\x02\x00\x02\x00", 12) + std::string(8, '\0'));
}
