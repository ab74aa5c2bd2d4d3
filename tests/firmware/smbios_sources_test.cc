#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "firmware/bios_tables.h"
#include "firmware/device_bios.h"
#include "firmware/smbios_model.h"
#include "support/fixture_machine.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"

namespace {

using namespace fixture_layout;

class SmbiosSources : public ::testing::Test {
 protected:
  SmbiosSources() { m_Env.Set("HX_SYSROOT", m_Root.path()); }

  bool Connect(const CFixtureMachine& machine) {
    machine.Write(m_Root.path());
    return m_Model.Connect(nullptr, 0, nullptr, 0);
  }
  static std::vector<uint8_t> ServerEntry() {
    CSmbiosTable table = ServerStructureTable();
    return MakeEntryPoint(kTableAddress, static_cast<uint16_t>(table.Bytes().size()), table.Count(), 2, 7);
  }

  TempDir m_Root;
  ScopedEnv m_Env;
  CSMBios m_Model;
};

TEST_F(SmbiosSources, EveryRouteFindsTheServerTable) {
  const struct {
    SmbiosRoute route;
    size_t entrySize;
    int minor;
  } routes[] = {{SmbiosRoute::ShadowScan, 31, 7}, {SmbiosRoute::EfiSystab, 32, 8}, {SmbiosRoute::EsxDevice, 31, 7}};
  for (const auto& [route, entrySize, minor] : routes) {
    SCOPED_TRACE(minor);
    CSMBios model;
    CFixtureMachine().SetRoute(route).SetVersion(2, static_cast<uint8_t>(minor)).Write(m_Root.path());
    ASSERT_TRUE(model.Connect(nullptr, 0, nullptr, 0));
    EXPECT_EQ(model.GetEntryPoint().size(), entrySize);
    EXPECT_EQ(model.GetMinorVersion(), minor);
    EXPECT_EQ(model.GetTable(), ServerStructureTable().Bytes());
  }
}

TEST_F(SmbiosSources, FallsBackToShadowScanWhenSystabHasNoSmbiosKey) {
  m_Root.WriteFile("sys/firmware/efi/systab", "ACPI20=0x7f6fe014\nSMBIOS3=0x7f6f7000\n");
  EXPECT_TRUE(Connect(CFixtureMachine()));
}

TEST_F(SmbiosSources, SystabAndEsxSourcesRejectEmptyCutOrUnreachableTables) {
  std::vector<uint8_t> entry, table;
  CDevMemImage memory;
  memory.Place(0x200000, MakeEntryPoint(kTableAddress, 0, 1, 2, 7));
  memory.Write(m_Root / "dev/mem");
  m_Root.WriteFile("sys/firmware/efi/systab", "SMBIOS=0x200000\n");
  EXPECT_FALSE(CBiosTables::GetBiosTable(0, 0, table)) << "table length zero";
  EXPECT_TRUE(table.empty());
  std::filesystem::remove(m_Root / "sys/firmware/efi/systab");
  m_Root.WriteFile("proc/efi/systab", "SMBIOS=0x7f6f8000\n");
  EXPECT_FALSE(CBiosTables::GetBiosTable(0, 0, table)) << "entry point beyond the image";

  m_Root.WriteFile("vmfs/devices/char/mem/smbios", std::string(30, '\x01'));
  EXPECT_FALSE(CBiosTables::GetBiosTableESX(entry, table)) << "device shorter than an entry point";
  std::vector<uint8_t> device = ServerEntry();
  device.resize(200);
  m_Root.WriteFile("vmfs/devices/char/mem/smbios", std::string(device.begin(), device.end()));
  EXPECT_FALSE(CBiosTables::GetBiosTableESX(entry, table)) << "device shorter than the table";
}

TEST_F(SmbiosSources, BrokenShadowEntryPointsFailWithTheirReason) {
  const std::string notFound = "No SMBIOS structures found!";
  const std::vector<uint8_t> good = ServerEntry();
  std::vector<uint8_t> badFirst = good;
  badFirst[4] ^= 0x55;
  badFirst.resize(0x20, 0);
  badFirst.insert(badFirst.end(), good.begin(), good.end());
  std::vector<uint8_t> offParagraph(8, 0);
  offParagraph.insert(offParagraph.end(), good.begin(), good.end());
  std::vector<uint8_t> overlong = good;
  overlong[5] = 0xFF;
  FixEntryPointChecksums(overlong);
  std::vector<uint8_t> farTable = good, noTable = good;
  PatchEntryPointAddress(farTable, 0x40000000);
  PatchEntryPointAddress(noTable, 0);
  const struct {
    const char* what;
    uint32_t address;
    std::vector<uint8_t> bytes;
    std::string error;
  } cases[] = {
      {"first paragraph anchor wins even with a bad checksum", 0xF0000, badFirst, notFound},
      {"anchor off a paragraph", 0xF0000, offParagraph, notFound},
      {"entry point running past the shadow area", 0xFFFE0, overlong, notFound},
      {"table beyond the image end", 0xF0000, farTable,
       "Remapping of SMBIOS structure memory failed (LastError = 0x00000006)!"},
      {"no table address", 0xF0000, noTable, "No address for SMBIOS strucures detected!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CFixtureMachine machine;
    machine.SetRoute(SmbiosRoute::NoSmbios);
    machine.Memory().Place(kTableAddress, ServerStructureTable().Bytes());
    machine.Memory().Place(c.address, c.bytes);
    machine.Write(m_Root.path());
    CSMBios model;
    EXPECT_FALSE(model.Connect(nullptr, 0, nullptr, 0));
    EXPECT_EQ(model.GetLastError(), c.error);
  }
}

TEST_F(SmbiosSources, EntryPointLengthZeroSkipsChecksumAndLeavesVersionUnknown) {
  std::vector<uint8_t> entry = ServerEntry();
  entry[5] = 0;
  entry[4] ^= 0x55;
  CFixtureMachine machine;
  machine.SetRoute(SmbiosRoute::NoSmbios);
  machine.Memory().Place(kTableAddress, ServerStructureTable().Bytes());
  machine.Memory().Place(0xF0000, entry);
  ASSERT_TRUE(Connect(machine));
  EXPECT_EQ(m_Model.GetMajorVersion(), 0);
  EXPECT_EQ(m_Model.GetStructureCount(4), 2u);
}

TEST_F(SmbiosSources, MachinesWithoutUsableTablesNameTheReason) {
  EXPECT_FALSE(m_Model.Connect(nullptr, 0, nullptr, 0));
  EXPECT_EQ(m_Model.GetLastError(), "Could not map SMBIOS physical memory (LastError = 0x00000002)!");
  EXPECT_FALSE(Connect(CFixtureMachine().SetTable(BrokenServerTable())));
  EXPECT_NE(m_Model.GetLastError().find("while when string table end found"), std::string::npos);
}

class PhysicalMemory : public SmbiosSources {
 protected:
  void SetUp() override { CDevMemImage().Write(m_Root / "dev/mem"); }
  CDeviceBios m_Bios;
};

TEST_F(PhysicalMemory, WindowPastImageEndFailsInsteadOfFaulting) {
  EXPECT_EQ(m_Bios.MapPhysicalMemory(0, 0xFF000, 0x2000), nullptr);
  EXPECT_EQ(m_Bios.m_hMem, -1);
  EXPECT_EQ(m_Bios.m_pMapped, nullptr);
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
