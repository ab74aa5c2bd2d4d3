#include <gtest/gtest.h>

#include "app/diag_report.h"
#include "support/fixture_machine.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"
#include "support/xml_query.h"
#include "xml/xml_validator.h"

namespace {

using namespace fixture_layout;

// Runs the BIOS section in-process, with the model connected as the driver
// connects it.
class BiosSection : public ::testing::Test {
 protected:
  BiosSection() {
    m_Env.Set("HX_SYSROOT", m_Root.path());
    m_Report.m_Report.AddElem("Root");
  }

  CXmlQuery Scan(const CFixtureMachine& machine) {
    machine.Write(m_Root.path());
    m_Report.m_bSMBiosConnected = m_Report.m_SMBios.Connect(nullptr, 0, nullptr, 0);
    return Run();
  }
  // A table handed to the model directly; the BIOS area holds no routing table.
  CXmlQuery ScanTable(const CSmbiosTable& table) {
    CDevMemImage().Write(m_Root / "dev/mem");
    const std::vector<uint8_t>& bytes = table.Bytes();
    m_Report.m_bSMBiosConnected =
        m_Report.m_SMBios.Connect(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr, 0);
    return Run();
  }
  CXmlQuery Run() {
    EXPECT_EQ(m_Report.ScanBios(m_Section), ACTION_STATE_NOTHING);
    std::string text = m_Section.GetDoc();
    EXPECT_EQ(CXmlValidator::ValidateText(text), 0u) << "section text an XML parser would reject";
    return CXmlQuery(m_Section.GetDoc());
  }
  CXmlQuery Summary() { return CXmlQuery(m_Report.m_Report.GetDoc()); }

  TempDir m_Root;
  ScopedEnv m_Env;
  CDiagReport m_Report;
  CMarkup m_Section;
};

constexpr const char* kSmbios = "BIOS/SMBIOS/";

std::string At(const std::string& path) { return kSmbios + path; }

// Fixed element order, the fields left out when a structure marks them
// unknown or extended, and the vendor types.
TEST_F(BiosSection, FixtureServerTypesInFixedOrderWithUnknownFieldsLeftOut) {
  CXmlQuery bios = Scan(CFixtureMachine());
  EXPECT_EQ(bios.Attrib("BIOS/SMBIOS", "Version"), "2.7");
  EXPECT_EQ(bios.ChildNames("BIOS/SMBIOS"),
            "Type0,Type1,Type2,Type3,Type4,Type7,Type16,Type17,Type19,Type20,Type38,Type176,Type188,Type190,"
            "IRQRouting");
  EXPECT_FALSE(bios.Exists(At("Type16/Entry[1]/MaxCapacity")));
  const std::string empty = At("Type17/Entry[3]/");
  EXPECT_FALSE(bios.Exists(empty + "TotalWidth"));
  EXPECT_FALSE(bios.Exists(empty + "DataWidth"));
  EXPECT_EQ(bios.Text(empty + "Size"), "0");
  EXPECT_EQ(bios.ChildNames(At("Type20/Entry[0]")),
            "StartAddress,EndAddress,MemDeviceHandle,MemArrayHandle,InterleavePosition,InterleaveDataDepth");
  EXPECT_EQ(bios.ChildNames(At("Type20/Entry[1]")),
            "StartAddress,EndAddress,MemDeviceHandle,MemArrayHandle,PartitionRowPosition");

  EXPECT_EQ(bios.Text(At("Type176/BoardId")), "1a2b");
  EXPECT_EQ(bios.Text(At("Type188/Identifier")), "D2S8");
  ASSERT_EQ(bios.Count(At("Type190/Entry")), 3);
  EXPECT_EQ(bios.Count(At("Type190/Entry[0]/Hotspare/Entry")), 4);
  EXPECT_EQ(bios.Text(At("Type190/Entry[0]/Hotspare/Entry[2]/Status")), "Mirror");
  EXPECT_EQ(bios.Text(At("Type190/Entry[0]/Hotspare/Entry[3]/Status")), "Unknonw");
  EXPECT_EQ(bios.ChildNames(At("Type190/Entry[1]/Scrubbing")), "Runs");
  EXPECT_EQ(bios.Text(At("Type190/Entry[2]/CPU-PDA/Entry[1]/APICId")), "32");
}

TEST_F(BiosSection, ValidRoutingTableIsDumpedAndDecoded) {
  CXmlQuery bios = Scan(CFixtureMachine());
  const std::string pir = At("IRQRouting");
  EXPECT_EQ(bios.Attrib(pir, "Checksum"), "0");
  EXPECT_EQ(bios.Attrib(pir, "Size"), "112");
  EXPECT_EQ(bios.Attrib(pir, "Entries"), "5");
  EXPECT_EQ(bios.Attrib(pir + "/Data/HexDump", "Lines"), "7");
  ASSERT_EQ(bios.Count(pir + "/Data/Decoded/Entry"), 4) << "the unused entry is left out";
  EXPECT_EQ(bios.Text(pir + "/Data/Decoded/Entry[3]/Slot"), "5");
  EXPECT_FALSE(Summary().Exists("Root/Summary/Errors"));
}

TEST_F(BiosSection, BadRoutingTableStaysDumpedAndSearchGoesOn) {
  CFixtureMachine machine;
  machine.Memory().Place(0xF0010, MakePirTable({{0, 2, 1}}, false));
  CXmlQuery bios = Scan(machine);
  ASSERT_EQ(bios.Count(At("IRQRouting")), 2);
  EXPECT_EQ(bios.Attrib(At("IRQRouting[0]"), "Checksum"), "1");
  EXPECT_TRUE(bios.Exists(At("IRQRouting[0]/Data/HexDump")));
  EXPECT_FALSE(bios.Exists(At("IRQRouting[0]/Data/Decoded")));
  EXPECT_TRUE(bios.Exists(At("IRQRouting[1]/Data/Decoded")));
  CXmlQuery summary = Summary();
  EXPECT_EQ(summary.Attrib("Root/Summary/Errors", "Count"), "1");
  EXPECT_EQ(summary.Text("Root/Summary/Errors/SMBIOS/Message"), "Illegal checksum in PCI IRQ Routing Table!");
}

TEST_F(BiosSection, RoutingTableRunningPastBiosAreaIsCutAtItsEnd) {
  CFixtureMachine machine;
  std::vector<uint8_t> pir = MakePirTable(ServerPirSlots());
  pir[6] = 0x00, pir[7] = 0x10;  // 4 KiB claimed, 32 bytes left in the area
  machine.Memory().Place(0xFFFE0, std::vector<uint8_t>(pir.begin(), pir.begin() + 32));
  machine.Memory().Place(kPirAddress, std::vector<uint8_t>(16, 0));
  CXmlQuery bios = Scan(machine);
  EXPECT_EQ(bios.Attrib(At("IRQRouting"), "Size"), "4096");
  EXPECT_EQ(bios.Attrib(At("IRQRouting"), "Entries"), "254");
  EXPECT_EQ(bios.Attrib(At("IRQRouting/Data/HexDump"), "Lines"), "2");
}

TEST_F(BiosSection, TypeWithoutStructuresHasNoElement) {
  CXmlQuery bios = ScanTable(CSmbiosTable().Add(CSmbiosStructure(0, 18, 0).str(4, "Vendor")).AddEndOfTable(1));
  EXPECT_EQ(bios.ChildNames("BIOS/SMBIOS"), "Type0");
  EXPECT_EQ(bios.Attrib("BIOS/SMBIOS", "Version"), "0.0");
  EXPECT_EQ(bios.ChildNames(At("Type0")),
            "Vendor,BiosStartingAddressSegment,BiosROMSize,BiosCharacteristics");
}

TEST_F(BiosSection, BiosVersionIsCutAtFirstNonPrintableAndAt260Characters) {
  CXmlQuery cut = ScanTable(CSmbiosTable().Add(CSmbiosStructure(0, 18, 0).str(5, "  1.02\x01rest")));
  EXPECT_EQ(cut.Text(At("Type0/BiosVersion")), "1.02");
  m_Section = CMarkup();
  CXmlQuery longVersion = ScanTable(CSmbiosTable().Add(CSmbiosStructure(0, 18, 0).str(5, std::string(300, 'A'))));
  EXPECT_EQ(longVersion.Text(At("Type0/BiosVersion")), std::string(260, 'A'));
}

TEST_F(BiosSection, ShortSystemStructureHasNoUuid) {
  CXmlQuery bios = ScanTable(CSmbiosTable().Add(CSmbiosStructure(1, 8, 0).str(4, "Maker").str(5, "Model")));
  EXPECT_EQ(bios.ChildNames(At("Type1")), "Name,Vendor,Entry");
}

TEST_F(BiosSection, MemoryDeviceSizeUnitsAndUnknownSize) {
  CXmlQuery bios = ScanTable(CSmbiosTable()
                                 .Add(CSmbiosStructure(17, 21, 1).u16(12, 0x8200))
                                 .Add(CSmbiosStructure(17, 21, 2).u16(12, 0x0400))
                                 .Add(CSmbiosStructure(17, 21, 3).u16(12, 0xFFFF)));
  EXPECT_EQ(bios.Text(At("Type17/Entry[0]/Size")), "512");
  EXPECT_EQ(bios.Attrib(At("Type17/Entry[0]/Size"), "Unit"), "KByte");
  EXPECT_EQ(bios.Text(At("Type17/Entry[1]/Size")), "1024");
  EXPECT_EQ(bios.Attrib(At("Type17/Entry[1]/Size"), "Unit"), "MByte");
  EXPECT_FALSE(bios.Exists(At("Type17/Entry[2]/Size")));
  EXPECT_FALSE(bios.Exists(At("Type17/Entry[2]/Speed")));
}

TEST_F(BiosSection, ProcessorSignatureOfWideFamiliesUsesUpperBytes) {
  CXmlQuery bios = ScanTable(CSmbiosTable().Add(CSmbiosStructure(4, 26, 1).u8(6, 0xB8).u32(8, 0x1F020700)));
  EXPECT_EQ(bios.Text(At("Type4/Entry/Family")), "31");
  EXPECT_EQ(bios.Text(At("Type4/Entry/Model")), "2");
  EXPECT_EQ(bios.Text(At("Type4/Entry/Step")), "7");
  EXPECT_EQ(bios.Text(At("Type4/Entry/Status")), "Empty Socket");
}

TEST_F(BiosSection, AddOnRecordsMustFillTheStructure) {
  CXmlQuery bios = ScanTable(CSmbiosTable()
                                 .Add(CSmbiosStructure(190, 6, 1).u8(4, 0).u8(5, 3))
                                 .Add(CSmbiosStructure(190, 10, 2).u8(4, 0).u8(5, 3))
                                 .Add(CSmbiosStructure(190, 9, 3).u8(4, 2).u8(5, 0))
                                 .Add(CSmbiosStructure(190, 6, 4).u8(4, 9)));
  EXPECT_TRUE(bios.Exists(At("Type190/Entry[0]/Hotspare")));
  EXPECT_EQ(bios.ChildNames(At("Type190/Entry[0]/Hotspare")), "");
  EXPECT_EQ(bios.ChildNames(At("Type190/Entry[1]/Hotspare")), "");
  EXPECT_EQ(bios.ChildNames(At("Type190/Entry[2]/CPU-PDA")), "");
  EXPECT_TRUE(bios.Exists(At("Type190/Entry[3]/Unknown")));
}

TEST_F(BiosSection, FirmwareBytesAnXmlParserRejectsAreReplaced) {
  CXmlQuery bios = ScanTable(CSmbiosTable().Add(
      CSmbiosStructure(2, 9, 1).str(4, "Ma\x01ker\x1F").str(5, "\xC3\xA9t\xE9").str(6, "\xEF\xBF\xBE").str(7, "ok")));
  EXPECT_EQ(bios.Text(At("Type2/Vendor")), "Ma?ker?");
  EXPECT_EQ(bios.Text(At("Type2/Name")), "\xC3\xA9t?");
  EXPECT_EQ(bios.Text(At("Type2/Version")), "???");
  EXPECT_EQ(bios.Text(At("Type2/SerialNr")), "ok");
}

}  // namespace
