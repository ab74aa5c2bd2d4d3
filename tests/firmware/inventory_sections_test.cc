#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "support/channel_test.h"
#include "support/fixture_machine.h"
#include "support/pci_tree.h"
#include "support/smbios_builder.h"
#include "support/spd_samples.h"
#include "support/xml_query.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    text += digits;
  }
  return text;
}

// The Memory, Processor and PCIDevices sections written against a running
// hxmd with a test profile, in a fixture sysroot.
class InventorySectionTest : public HxmdSectionTest {
 protected:
  // Requests the daemon saw for one command and object.
  int Requests(uint32_t opCode, uint32_t object) {
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "OC=0x%04X OE=0x[0-9A-F]+ OI=0x%08X", opCode, object);
    std::string log = m_Daemon->RequestLog();
    std::regex request(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(log.begin(), log.end(), request), std::sregex_iterator()));
  }
};

}  // namespace

TEST_F(InventorySectionTest, MemoryModulesFollowTheirStatusAndSpdChecksum) {
  SpdSample good = LoadSpdSample("ddr4_rdimm_hynix_HMA82GR7JJR4N-VK");
  std::vector<uint8_t> corrupt = LoadSpdSample("ddr3_udimm_samsung_M378B5173DB0-CK0").image;
  corrupt[20] ^= 0x40;
  StartDaemon(
      // Slot 3: size and type requests fail, so the module record answers.
      "<Reply OpCode='0x070A' ObjectId='3' Status='10'/><Reply OpCode='0x070B' ObjectId='3' Status='10'/>"
      "<MemoryModules>"
      "<Module Name='DIMM-1A' Status='1' CSS='true' Approved='true' Size='16384' Bank='0' Type='DDR4'"
      " Frequency='1333' ConfigStatus='0'><SPD>" + Hex(good.image) + "</SPD></Module>"
      "<Module Name='DIMM-1B' Status='0'/>"
      "<Module Name='DIMM-2A' Status='7' Bank='65535' ConfigStatus='2'/>"
      "<Module Status='3' Size='8192' Bank='2' MemoryType='24'><SPD>" + Hex(corrupt) + "</SPD></Module>"
      "</MemoryModules>");
  std::string doc = Scan(&CDiagReport::ScanMemory);

  // Texts from decoding the module's SPD image.
  std::string first = CXmlQuery(doc).SubDoc("Memory/Modules/Module[0]");
  for (const char* expected : {"<SPD Size=\"512\" Revision=\"1.2\" Checksum=\"true\">", "AsString=\"3BCC9542\"",
                               "<DataWith>72</DataWith>"})
    EXPECT_NE(first.find(expected), std::string::npos) << expected << "\n" << first;

  // An empty slot gets its status only (no CSS: the profile gives none), and
  // nothing more is asked about it.
  EXPECT_EQ(CXmlQuery(doc).SubDoc("Memory/Modules/Module[1]"),
            "<Module Name=\"DIMM-1B\">\n<Status Description=\"empty\">0</Status>\n</Module>\n");
  EXPECT_EQ(Requests(0x0705, 1) + Requests(0x0703, 1) + Requests(0x0C10, 1) + Requests(0x0707, 1), 0);

  // Status 7 reads as empty but is asked further; bank 0xFFFF is no bank.
  std::string third = CXmlQuery(doc).SubDoc("Memory/Modules/Module[2]");
  EXPECT_NE(third.find("<Status Description=\"empty\">7</Status>"), std::string::npos) << third;
  EXPECT_NE(third.find("<ConfigStatus Description=\"Spare\">2</ConfigStatus>"), std::string::npos);
  EXPECT_EQ(third.find("<Bank>"), std::string::npos);
  EXPECT_EQ(third.find("<SPD"), std::string::npos);

  // Failed size and type requests fall back to the module record; the bad
  // checksum keeps the SPD element with the pair and nothing else.
  std::string fourth = CXmlQuery(doc).SubDoc("Memory/Modules/Module[3]");
  EXPECT_NE(fourth.find("<Module Name=\"\">"), std::string::npos) << fourth;
  EXPECT_NE(fourth.find("<Size>8192</Size>\n<Bank>2</Bank>\n<Type>DDR3</Type>"), std::string::npos) << fourth;
  std::string spd = CXmlQuery(doc).SubDoc("Memory/Modules/Module[3]/SPD");
  EXPECT_NE(spd.find("Checksum=\"false\""), std::string::npos) << spd;
  EXPECT_NE(spd.find("<Data>48805</Data>"), std::string::npos) << spd;
  EXPECT_EQ(spd.find("<ModuleManufacturer>"), std::string::npos);
}

TEST_F(InventorySectionTest, MemoryTotalsComeFromSmbiosAndMeminfo) {
  m_Root.WriteFile("proc/meminfo",
                   "MemTotal:       16318404 kB\nMemFree:         1234567 kB\nBuffers: 1 kB\n"
                   "SwapTotal:       2097148 kB\nSwapFree:        2097148 kB\n");
  CSmbiosTable table;
  table.Add(CSmbiosStructure(17, 0x28, 0x1100).u16(12, 0x2000))
      .Add(CSmbiosStructure(17, 0x28, 0x1101).u16(12, 0xFFFF))
      .Add(CSmbiosStructure(17, 0x28, 0x1102).u16(12, 0x8400))
      .AddEndOfTable(0x7F);
  CDiagReport report;
  ASSERT_TRUE(report.m_SMBios.Connect(table.Bytes().data(), static_cast<uint32_t>(table.Bytes().size()), nullptr, 0));
  report.m_bSMBiosConnected = 1;
  CMarkup section;
  report.ScanMemory(section);
  EXPECT_EQ(section.GetDoc(),
            "<Memory Schema=\"2\">\n<Installed>9216</Installed>\n<OSAvailable>15935</OSAvailable>\n"
            "<OSUsed>14730</OSUsed>\n</Memory>\n");

  // Without a SwapFree line neither OS figure is written.
  m_Root.WriteFile("proc/meminfo", "MemTotal: 16318404 kB\nMemFree: 1234567 kB\nSwapTotal: 0 kB\n");
  m_Report.m_bHxmdAvailable = 0;
  EXPECT_EQ(Scan(&CDiagReport::ScanMemory), "<Memory Schema=\"2\"/>\n");
}

TEST_F(InventorySectionTest, MemoryToleratesRepliesOfUnexpectedLength) {
  // A 3-byte count reads as its first byte; a 15-byte module record is no
  // record.
  StartDaemon("<Reply OpCode='0x0700'><Hex>01 09 09</Hex></Reply>"
              "<Reply OpCode='0x0701' ObjectId='0' U8='1'/>"
              "<Reply OpCode='0x0703' ObjectId='0'><Fill Count='15' Byte='7'/></Reply>");
  std::string doc = Scan(&CDiagReport::ScanMemory);
  EXPECT_NE(doc.find("<Modules Count=\"1\">"), std::string::npos) << doc;
  EXPECT_NE(doc.find("<Size>0</Size>\n<Bank>0</Bank>"), std::string::npos) << doc;
}

TEST_F(InventorySectionTest, ProcessorsCarryBootMarkAndSkipMalformedSpeed) {
  StartDaemon(
      "<Reply OpCode='0x0603' ObjectId='1'><Hex>64 00 60 09 00 00</Hex></Reply>"
      "<Processors Boot='1'>"
      "<CPU Socket='CPU1' Manufacturer='Intel' Model='Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz' Speed='2400'"
      " Status='1' Cores='14' CoresEnabled='12' Threads='28' QPISpeed='9600' L1Cache='896' L2Cache='3584'"
      " L3Cache='35840'/>"
      "<CPU Socket='CPU2' Status='0'/>"
      "</Processors>");
  std::string doc = Scan(&CDiagReport::ScanCpu);
  EXPECT_EQ(CXmlQuery(doc).SubDoc("Processor/CPU[1]"),
            "<CPU Boot=\"true\">\n<SocketDesignation>CPU2</SocketDesignation>\n<Model>\n<Version/>\n<BrandName/>\n"
            "</Model>\n<Status Description=\"empty\">0</Status>\n</CPU>\n");
}

TEST_F(InventorySectionTest, ProcessorsWithoutBootIndexOrDaemon) {
  StartDaemon("<Processors><CPU Socket='CPU1'/></Processors>");
  std::string doc = Scan(&CDiagReport::ScanCpu);
  EXPECT_NE(doc.find("<CPU>"), std::string::npos) << doc;
  m_Report.m_bHxmdAvailable = 0;
  EXPECT_EQ(Scan(&CDiagReport::ScanCpu), "<Processor Schema=\"1\"/>\n");
}

TEST_F(InventorySectionTest, PciDevicesWithResourcesSlotsDesignationsAndAdapterNames) {
  CFixtureMachine().Write(m_Root.path());
  ServerPciTree().Write(m_Root.path());
  m_Root.WriteFile("etc/hxagt/Adapter.ini", ServerAdapterIni());
  StartDaemon("<PciSlots><Slot Bus='1' Device='0' Designation='PCIE1 x8 (CPU1)'/></PciSlots>");
  std::string doc = Scan(&CDiagReport::ScanPci);
  ASSERT_EQ(doc.rfind("<PCIDevices Schema=\"1\">", 0), 0u) << doc;

  // Two-function adapter in slot 1: 64-bit BAR pair after an I/O BAR, the
  // subsystem-specific device name and the subsystem vendor's name.
  std::string adapter = CXmlQuery(doc).SubDoc("PCIDevices/Device[5]");
  for (const char* expected :
       {"<IO>\n<Address Index=\"0\">000000000000E020</Address>\n</IO>",
        "<Address Index=\"0\">00000001F7E00000</Address>\n<Address Index=\"1\">00000000F7C80000</Address>",
        "<SlotDesignation>PCIE1 x8 (CPU1)</SlotDesignation>", "<SubVendorName>Fixture Board Maker</SubVendorName>",
        "<DeviceName>I350 Gigabit Network Connection (fixture OEM)</DeviceName>"})
    EXPECT_NE(adapter.find(expected), std::string::npos) << expected << "\n" << adapter;

  // Bridge: no subsystem ids, only the first two BARs.
  std::string bridge = CXmlQuery(doc).SubDoc("PCIDevices/Device[6]");
  EXPECT_EQ(bridge.find("<SubVendorId>"), std::string::npos) << bridge;
  EXPECT_NE(bridge.find("<Memory>\n<Address Index=\"0\">00000000F7900000</Address>\n</Memory>"), std::string::npos);

  // SMBus controller: interrupt pin 0 gives no IRQ; the walk ends at BAR2.
  std::string smbus = CXmlQuery(doc).SubDoc("PCIDevices/Device[3]");
  EXPECT_EQ(smbus.find("<IRQ>"), std::string::npos) << smbus;
  EXPECT_EQ(smbus.find("<IO>"), std::string::npos);
  // SATA controller: five I/O BARs, no slot.
  std::string sata = CXmlQuery(doc).SubDoc("PCIDevices/Device[2]");
  EXPECT_NE(sata.find("<Address Index=\"4\">000000000000F020</Address>\n</IO>"), std::string::npos) << sata;
  EXPECT_EQ(sata.find("<Slot>"), std::string::npos);
}

TEST_F(InventorySectionTest, PciDevicesWithoutAdapterFileOrDaemonLeaveNamesOut) {
  ServerPciTree().Write(m_Root.path());
  m_Report.m_bHxmdAvailable = 0;
  std::string doc = Scan(&CDiagReport::ScanPci);
  EXPECT_NE(doc.find("<Device Segment=\"0\" Bus=\"3\" Device=\"0\" Function=\"0\">"), std::string::npos) << doc;
  EXPECT_EQ(doc.find("Name>"), std::string::npos);
  EXPECT_EQ(doc.find("<Slot"), std::string::npos) << "no routing table without physical memory";
}
