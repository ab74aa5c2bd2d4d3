#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "firmware/device_bios.h"
#include "firmware/device_bus_io.h"
#include "firmware/pci_config_list.h"
#include "support/fixture_machine.h"
#include "support/pci_tree.h"
#include "support/smbios_builder.h"
#include "support/scoped_env.h"
#include "support/test_paths.h"

namespace {

constexpr uint32_t kNoSlot = CPciSlotData::kNoSlot;

// A fixture server with a /proc/bus/pci tree, a routing table in its BIOS
// area and the agents' configuration directory.
class PciScanTest : public ::testing::Test {
 protected:
  PciScanTest() { m_Env.Set("HX_SYSROOT", m_Root.path()); }
  void WriteMachine() {
    m_Machine.Write(m_Root.path());
    m_Tree.Write(m_Root.path());
    std::filesystem::create_directories(m_Root / "etc/hxagt");
  }
  void SetRoutingTable(const std::vector<uint8_t>& table) {
    m_Machine.Memory().Place(fixture_layout::kPirAddress, table);
  }
  std::string SlotMappingFile() const { return ReadFile(m_Root / "etc/hxagt/PciSlotMapping.bin"); }
  std::vector<CPciSlotData> Scan(int slotsWanted) {
    WriteMachine();
    CPciConfigList list;
    CPciConfigList::ScanPciSlots(list, slotsWanted);
    std::vector<CPciSlotData> devices(list.Count());
    for (int i = 0; i < list.Count(); ++i) list.GetDevice(i, devices[i]);
    return devices;
  }

  TempDir m_Root;
  CFixtureMachine m_Machine;
  CPciTree m_Tree = ServerPciTree();
  ScopedEnv m_Env;
};

std::string Address(const CPciAddress& a) {
  return std::to_string(a.segment) + ":" + std::to_string(a.bus) + ":" + std::to_string(a.device) + "." +
         std::to_string(a.function);
}

std::vector<uint8_t> WithChecksum(std::vector<uint8_t> table) {
  table[31] = 0;
  table[31] = static_cast<uint8_t>(-ByteSum(table.data(), table.size()));
  return table;
}

}  // namespace

TEST_F(PciScanTest, NameListAcceptsBothDirectoryFormsAndSkipsMalformedNames) {
  m_Tree.AddFile("0g/00.0", "x").AddFile("100/00.0", "x").AddFile("00/20.0", "x").AddFile("00/00.8", "x")
      .AddFile("00/0.00", "x").AddFile("00/1f.30", "x").AddFile("0000-05/00.0", "x").AddFile("00/07.0/nested", "x");
  WriteMachine();
  CDeviceBusIo busIo;
  CDeviceBusIo::DeviceNameList names;
  ASSERT_TRUE(busIo.BuildPciDeviceNameList(names));
  std::vector<std::string> listed;
  for (const auto& [address, path] : names) listed.push_back(Address(address));
  EXPECT_EQ(listed, (std::vector<std::string>{"0:0:0.0", "0:0:28.0", "0:0:31.2", "0:0:31.3", "0:1:0.0", "0:1:0.1",
                                              "0:2:0.0", "0:3:0.0", "0:4:0.0"}));
  EXPECT_EQ(names[(CPciAddress{0, 0, 31, 3})], m_Root / "proc/bus/pci/00/1f.3");
  EXPECT_EQ(names[(CPciAddress{0, 3, 0, 0})], m_Root / "proc/bus/pci/0000:03/00.0");
}

TEST_F(PciScanTest, AssignsRoutingTableSlotsAndBridgeSlotsToDevicesBehindBridges) {
  std::vector<CPciSlotData> devices = Scan(1);
  std::vector<std::pair<std::string, uint32_t>> slots;
  for (const CPciSlotData& device : devices) slots.emplace_back(Address(device.address), device.slot);
  // Bus 1 and bus 2 device 0 are in the routing table; bus 3 sits behind the
  // bridge in slot 2. The records after the unused routing entry are zero, so
  // they name bus 0 device 0. Vendor 0xFFFF at 0:4:0.0 is no device.
  EXPECT_EQ(slots, (std::vector<std::pair<std::string, uint32_t>>{{"0:0:0.0", 0},
                                                                   {"0:0:28.0", 0},
                                                                   {"0:0:31.2", kNoSlot},
                                                                   {"0:0:31.3", kNoSlot},
                                                                   {"0:1:0.0", 1},
                                                                   {"0:1:0.1", 1},
                                                                   {"0:2:0.0", 2},
                                                                   {"0:3:0.0", 2}}));
  EXPECT_EQ(devices[4].header[0x0E], 0x80) << "header kept as read";
}

TEST_F(PciScanTest, SecondSlotMappingBuildReplacesTableAndRewritesFile) {
  SetRoutingTable(MakePirTable({{0, 3, 2}, {0, 0xFF, 0}, {1, 0, 1}, {5, 0, 7}}));
  WriteMachine();
  CDeviceBios bios;
  ASSERT_TRUE(bios.GetPciSlotMapping());
  SetRoutingTable(MakePirTable({{0, 0x1C, 9}}));
  WriteMachine();
  ASSERT_TRUE(bios.GetPciSlotMapping());
  EXPECT_EQ(SlotMappingFile(), std::string("\x00\x1C\x09\x00", 4));
}

TEST_F(PciScanTest, RejectsRoutingTableWithBadChecksumVersionOrSize) {
  std::vector<uint8_t> badVersion = MakePirTable({{0, 3, 2}});
  badVersion[5] = 11;
  std::vector<uint8_t> badSize = MakePirTable({{0, 3, 2}});
  badSize[6] = 0x28;
  std::vector<uint8_t> headerOnly = MakePirTable({});
  for (const auto& table : {MakePirTable({{0, 3, 2}}, false), WithChecksum(badVersion), WithChecksum(badSize),
                            WithChecksum(headerOnly)}) {
    SetRoutingTable(table);
    WriteMachine();
    CDeviceBios bios;
    EXPECT_FALSE(bios.GetPciSlotMapping());
    EXPECT_FALSE(bios.m_PciSlotMapping.Exists());
    EXPECT_FALSE(std::filesystem::exists(m_Root / "etc/hxagt/PciSlotMapping.bin"));
  }
}

TEST(PciConfigHeader, BarWalkKeepsToExaminedRangeAndSkipsReservedType) {
  CPhysicalAddress address;
  // A 64-bit BAR at the end of the examined range has no high half, and a
  // high half with bit 0 set is no I/O BAR.
  const uint32_t pair[] = {0xF7E0000C, 0x00000001};
  ASSERT_TRUE(CPciCommonConfigHeader::GetMemoryAddress(address, pair, 2, 0));
  EXPECT_EQ(address.high, 1u);
  EXPECT_FALSE(CPciCommonConfigHeader::GetIoAddress(address, pair, 2, 0));
  ASSERT_TRUE(CPciCommonConfigHeader::GetMemoryAddress(address, pair, 1, 0));
  EXPECT_EQ(address.high, 0u);

  const uint32_t reserved[] = {0xF7000002, 0xF7100000, 0, 0xF7200000};
  ASSERT_TRUE(CPciCommonConfigHeader::GetMemoryAddress(address, reserved, 4, 0));
  EXPECT_EQ(address.low, 0xF7100000u) << "type 01 is skipped";
  EXPECT_FALSE(CPciCommonConfigHeader::GetMemoryAddress(address, reserved, 4, 1)) << "walk ends at the zero BAR";
}

TEST_F(PciScanTest, ConfigurationLinkToAPipeEndsTheScanInsteadOfBlocking) {
  // A link passes the file check whatever it points to; opening a pipe that
  // has no writer must not wait for one.
  WriteMachine();
  std::string pipe = m_Root / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::remove(m_Root / "proc/bus/pci/01/00.1");
  std::filesystem::create_symlink(pipe, m_Root / "proc/bus/pci/01/00.1");
  auto scan = std::async(std::launch::async, [] {
    CPciConfigList list;
    CPciConfigList::ScanPciSlots(list, 0);
    return list.Count();
  });
  if (scan.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    close(open(pipe.c_str(), O_WRONLY));  // lets the blocked scan go on
    FAIL() << "scan blocked on the pipe";
  }
  EXPECT_EQ(scan.get(), 5);
}
