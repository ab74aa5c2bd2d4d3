#include <fcntl.h>
#include <gtest/gtest.h>

#include "firmware/bios_tables.h"
#include "firmware/device_bios.h"
#include "firmware/smbios_model.h"
#include "support/fixture_machine.h"
#include "support/sysroot_override.h"
#include "support/test_paths.h"

namespace {

using namespace fixture_layout;

class SmbiosSources : public ::testing::Test {
 protected:
  SmbiosSources() : m_Sysroot(m_Root.path()) {}

  bool Connect(const CFixtureMachine& machine) {
    machine.Write(m_Root.path());
    return m_Model.Connect(nullptr, 0, nullptr, 0);
  }
  // A machine whose shadow area holds the given bytes and the server table.
  bool ConnectShadow(uint32_t address, const std::vector<uint8_t>& bytes) {
    CFixtureMachine machine;
    machine.SetRoute(SmbiosRoute::NoSmbios);
    machine.Memory().Place(kTableAddress, ServerStructureTable().Bytes());
    machine.Memory().Place(address, bytes);
    return Connect(machine);
  }
  static std::vector<uint8_t> ServerEntry() {
    CSmbiosTable table = ServerStructureTable();
    return MakeEntryPoint(kTableAddress, static_cast<uint16_t>(table.Bytes().size()), table.Count(), 2, 7);
  }

  TempDir m_Root;
  CSysrootOverride m_Sysroot;
  CSMBios m_Model;
};

TEST_F(SmbiosSources, ShadowScanFindsServerTable) {
  ASSERT_TRUE(Connect(CFixtureMachine()));
  EXPECT_EQ(m_Model.GetMajorVersion(), 2);
  EXPECT_EQ(m_Model.GetMinorVersion(), 7);
  EXPECT_EQ(m_Model.GetEntryPoint().size(), 31u);
  EXPECT_EQ(m_Model.GetTable(), ServerStructureTable().Bytes());
  EXPECT_EQ(m_Model.GetStructureCount(4), 2u);
}

TEST_F(SmbiosSources, EfiSystemTableRouteReadsEntryPointAndTable) {
  ASSERT_TRUE(Connect(CFixtureMachine().SetRoute(SmbiosRoute::EfiSystab).SetVersion(2, 8)));
  EXPECT_EQ(m_Model.GetEntryPoint().size(), 32u);
  EXPECT_EQ(m_Model.GetMinorVersion(), 8);
  EXPECT_EQ(m_Model.GetTable(), ServerStructureTable().Bytes());
}

TEST_F(SmbiosSources, EsxDeviceRouteReadsTableAfterEntryPoint) {
  ASSERT_TRUE(Connect(CFixtureMachine().SetRoute(SmbiosRoute::EsxDevice)));
  EXPECT_EQ(m_Model.GetEntryPoint().size(), 31u);
  EXPECT_EQ(m_Model.GetTable(), ServerStructureTable().Bytes());
}

TEST_F(SmbiosSources, FallsBackToShadowScanWhenSystabHasNoSmbiosKey) {
  m_Root.WriteFile("sys/firmware/efi/systab", "ACPI20=0x7f6fe014\nSMBIOS3=0x7f6f7000\n");
  EXPECT_TRUE(Connect(CFixtureMachine()));
}

TEST_F(SmbiosSources, SystabEntryWithTableLengthZeroFails) {
  std::vector<uint8_t> entry = MakeEntryPoint(kTableAddress, 0, 1, 2, 7);
  CDevMemImage memory;
  memory.Place(0x200000, entry);
  memory.Write(m_Root / "dev/mem");
  m_Root.WriteFile("sys/firmware/efi/systab", "SMBIOS=0x200000\n");
  std::vector<uint8_t> table;
  EXPECT_FALSE(CBiosTables::GetBiosTable(0, 0, table));
  EXPECT_TRUE(table.empty());
}

TEST_F(SmbiosSources, SystabAddressBeyondImageFailsWithoutFault) {
  CDevMemImage().Write(m_Root / "dev/mem");
  m_Root.WriteFile("proc/efi/systab", "SMBIOS=0x7f6f8000\n");
  std::vector<uint8_t> table;
  EXPECT_FALSE(CBiosTables::GetBiosTable(0, 0, table));
}

TEST_F(SmbiosSources, ShortEsxDeviceFailsAtHeader) {
  m_Root.WriteFile("vmfs/devices/char/mem/smbios", std::string(30, '\x01'));
  std::vector<uint8_t> entry, table;
  EXPECT_FALSE(CBiosTables::GetBiosTableESX(entry, table));
}

TEST_F(SmbiosSources, EsxDeviceShorterThanTableLengthFails) {
  std::vector<uint8_t> device = ServerEntry();
  device.resize(200);
  m_Root.WriteFile("vmfs/devices/char/mem/smbios", std::string(device.begin(), device.end()));
  std::vector<uint8_t> entry, table;
  EXPECT_FALSE(CBiosTables::GetBiosTableESX(entry, table));
}

TEST_F(SmbiosSources, BadEntryPointChecksumEndsTheSearch) {
  EXPECT_FALSE(Connect(CFixtureMachine().SetRoute(SmbiosRoute::BadEntryChecksum)));
  EXPECT_EQ(m_Model.GetLastError(), "No SMBIOS structures found!");
}

TEST_F(SmbiosSources, FirstParagraphAnchorWinsEvenWithBadChecksum) {
  std::vector<uint8_t> bad = ServerEntry();
  bad[4] ^= 0x55;
  std::vector<uint8_t> both = bad;
  both.resize(0x40, 0);
  std::vector<uint8_t> good = ServerEntry();
  std::copy(good.begin(), good.end(), both.begin() + 0x20);
  EXPECT_FALSE(ConnectShadow(0xF0000, both));
  EXPECT_EQ(m_Model.GetLastError(), "No SMBIOS structures found!");
}

TEST_F(SmbiosSources, AnchorOffParagraphIsSkipped) {
  std::vector<uint8_t> bytes(8, 0);
  std::vector<uint8_t> entry = ServerEntry();
  bytes.insert(bytes.end(), entry.begin(), entry.end());
  EXPECT_FALSE(ConnectShadow(0xF0000, bytes));
  EXPECT_EQ(m_Model.GetLastError(), "No SMBIOS structures found!");
}

TEST_F(SmbiosSources, EntryPointLengthZeroSkipsChecksumAndLeavesVersionUnknown) {
  std::vector<uint8_t> entry = ServerEntry();
  entry[5] = 0;
  entry[4] ^= 0x55;
  ASSERT_TRUE(ConnectShadow(0xF0000, entry));
  EXPECT_EQ(m_Model.GetMajorVersion(), 0);
  EXPECT_EQ(m_Model.GetStructureCount(4), 2u);
}

TEST_F(SmbiosSources, EntryPointLengthRunningPastShadowAreaIsRejected) {
  std::vector<uint8_t> entry = ServerEntry();
  entry[5] = 0xFF;
  FixEntryPointChecksums(entry);
  EXPECT_FALSE(ConnectShadow(0xFFFE0, entry));
  EXPECT_EQ(m_Model.GetLastError(), "No SMBIOS structures found!");
}

TEST_F(SmbiosSources, TableBeyondImageEndFailsToMap) {
  std::vector<uint8_t> entry = ServerEntry();
  PatchEntryPointAddress(entry, 0x40000000);
  EXPECT_FALSE(ConnectShadow(0xF0000, entry));
  EXPECT_EQ(m_Model.GetLastError(), "Remapping of SMBIOS structure memory failed (LastError = 0x00000006)!");
}

TEST_F(SmbiosSources, EntryPointWithoutTableAddress) {
  std::vector<uint8_t> entry = ServerEntry();
  PatchEntryPointAddress(entry, 0);
  EXPECT_FALSE(ConnectShadow(0xF0000, entry));
  EXPECT_EQ(m_Model.GetLastError(), "No address for SMBIOS strucures detected!");
}

TEST_F(SmbiosSources, NoSmbiosAnywhere) {
  EXPECT_FALSE(Connect(CFixtureMachine().SetRoute(SmbiosRoute::NoSmbios)));
  EXPECT_EQ(m_Model.GetLastError(), "No SMBIOS structures found!");
}

TEST_F(SmbiosSources, MissingDevMemCannotBeMapped) {
  EXPECT_FALSE(m_Model.Connect(nullptr, 0, nullptr, 0));
  EXPECT_EQ(m_Model.GetLastError(), "Could not map SMBIOS physical memory (LastError = 0x00000002)!");
}

TEST_F(SmbiosSources, BrokenTableReportsWalkFailure) {
  EXPECT_FALSE(Connect(CFixtureMachine().SetTable(BrokenServerTable())));
  EXPECT_NE(m_Model.GetLastError().find("while when string table end found"), std::string::npos);
}

class PhysicalMemory : public SmbiosSources {
 protected:
  void SetUp() override { CDevMemImage().Write(m_Root / "dev/mem"); }
  CDeviceBios m_Bios;
};

TEST_F(PhysicalMemory, AlignsWindowToFixedPages) {
  const uint8_t* p = m_Bios.MapPhysicalMemory(0, 0xF4A10, 0x120);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p - m_Bios.m_pMapped, 0xA10);
  EXPECT_EQ(m_Bios.m_dwMappedBase, 0xF4000u);
  EXPECT_EQ(m_Bios.m_dwMappedLength, 0xB30u);
  EXPECT_EQ(m_Bios.MapPhysicalMemory(0, 0xF0000, 0x10000), m_Bios.m_pMapped);
  EXPECT_EQ(m_Bios.m_dwMappedLength, 0x10000u);
}

TEST_F(PhysicalMemory, WindowPastImageEndFailsInsteadOfFaulting) {
  EXPECT_EQ(m_Bios.MapPhysicalMemory(0, 0xFF000, 0x2000), nullptr);
  EXPECT_EQ(m_Bios.m_hMem, -1);
  EXPECT_EQ(m_Bios.m_pMapped, nullptr);
}

TEST_F(PhysicalMemory, MissingDeviceLeavesDescriptorClosed) {
  std::remove((m_Root / "dev/mem").c_str());
  EXPECT_EQ(m_Bios.MapPhysicalMemory(0, 0xF0000, 0x10000), nullptr);
  EXPECT_EQ(m_Bios.m_hMem, -1);
}

TEST(CreateFileFlags, GenericReadWriteWithDispositionThreeAppends) {
  TempDir root;
  root.WriteFile("device", "x");
  int64_t fd = CSysBase::CreateFile((root / "device").c_str(), 0xC0000000u, 3, nullptr, 3, 128, 0);
  ASSERT_NE(fd, -1);
  int flags = fcntl(static_cast<int>(fd), F_GETFL);
  EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
  EXPECT_TRUE(flags & O_APPEND);
  close(static_cast<int>(fd));
  fd = CSysBase::CreateFile((root / "device").c_str(), 0x40000000u, 0, nullptr, 0, 0, 0);
  EXPECT_EQ(fcntl(static_cast<int>(fd), F_GETFL) & O_ACCMODE, O_WRONLY);
  close(static_cast<int>(fd));
}

}  // namespace
