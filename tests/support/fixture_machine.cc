#include "support/fixture_machine.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

CSmbiosStructure ProcessorStructure(uint16_t handle, const std::string& socket, uint16_t firstCache,
                                    const std::string& serial) {
  return CSmbiosStructure(4, 42, handle)
      .str(4, socket)
      .u8(5, 3)
      .u8(6, 0xB3)
      .str(7, "Intel")
      .u32(8, 0x000306F2)
      .u32(12, 0xBFEBFBFF)
      .str(16, "Intel(R) Xeon(R) CPU E5-2680 v3 @ 2.50GHz")
      .u8(17, 0x8C)
      .u16(18, 100)
      .u16(20, 4000)
      .u16(22, 2500)
      .u8(24, 0x41)
      .u8(25, 0x2B)
      .u16(26, firstCache)
      .u16(28, static_cast<uint16_t>(firstCache + 1))
      .u16(30, static_cast<uint16_t>(firstCache + 2))
      .str(32, serial)
      .str(33, "Not Specified")
      .str(34, "CM8064401439612")
      .u8(35, 12)
      .u8(36, 12)
      .u8(37, 24)
      .u16(38, 0x00FC)
      .u16(40, 0xB3);
}

CSmbiosStructure MemoryArrayStructure(uint16_t handle, uint32_t capacityKb) {
  return CSmbiosStructure(16, 23, handle).u8(4, 3).u8(5, 3).u8(6, 6).u32(7, capacityKb).u16(11, 0xFFFE).u16(13, 2);
}

CSmbiosStructure MemoryDeviceStructure(uint16_t handle, uint16_t array, uint16_t size, const std::string& locator,
                              const std::string& bank, const std::string& serial) {
  bool installed = size != 0;
  return CSmbiosStructure(17, 34, handle)
      .u16(4, array)
      .u16(6, 0xFFFE)
      .u16(8, installed ? 72 : 0xFFFF)
      .u16(10, installed ? 64 : 0xFFFF)
      .u16(12, size)
      .u8(14, 9)
      .u8(15, 0)
      .str(16, locator)
      .str(17, bank)
      .u8(18, installed ? 0x1A : 0x02)
      .u16(19, installed ? 0x2080 : 0x0004)
      .u16(21, installed ? 2133 : 0)
      .str(23, installed ? "Micron" : "NO DIMM")
      .str(24, serial)
      .str(25, "Not Specified")
      .str(26, installed ? "18ASF1G72PZ-2G1A2" : "NO DIMM")
      .u8(27, installed ? 2 : 0)
      .u16(28, installed ? 2133 : 0);
}

namespace {

struct CacheLevel {
  const char* socket;
  uint16_t configurationBits;  // level and location; enabled and write-back are added
  uint16_t size;
  uint8_t systemType;
  uint8_t associativity;
};

constexpr CacheLevel kCacheLevels[] = {
    {"L1-Cache", 0x0000, 0x0180, 4, 7},
    {"L2-Cache", 0x0001, 0x0C00, 5, 7},
    {"L3-Cache", 0x0002, 0x8078, 5, 0x0E},
};

CSmbiosStructure Cache(uint16_t handle, const CacheLevel& level) {
  return CSmbiosStructure(7, 19, handle)
      .str(4, level.socket)
      .u16(5, static_cast<uint16_t>(0x0180 | level.configurationBits))
      .u16(7, level.size)
      .u16(9, level.size)
      .u16(11, 0x0020)
      .u16(13, 0x0020)
      .u8(15, 0)
      .u8(16, 5)
      .u8(17, level.systemType)
      .u8(18, level.associativity);
}

CSmbiosStructure ArrayRange(uint16_t handle, uint32_t startKb, uint32_t endKb, uint16_t array) {
  return CSmbiosStructure(19, 15, handle).u32(4, startKb).u32(8, endKb).u16(12, array).u8(14, 2);
}

CSmbiosStructure DeviceRange(uint16_t handle, uint32_t startKb, uint32_t endKb, uint16_t device, uint16_t array,
                             uint8_t row, uint8_t interleave, uint8_t depth) {
  return CSmbiosStructure(20, 19, handle)
      .u32(4, startKb)
      .u32(8, endKb)
      .u16(12, device)
      .u16(14, array)
      .u8(16, row)
      .u8(17, interleave)
      .u8(18, depth);
}

void AddServerStructures(CSmbiosTable& table) {
  table.Add(CSmbiosStructure(0, 24, 0x0000)
                .str(4, "Halvex Systems")
                .str(5, "V4.6.5.4 R1.12.0 for D3289-B1x  ")
                .u16(6, 0xE800)
                .str(8, "04/27/2016")
                .u8(9, 0xFF)
                .bytes(10, {0x80, 0x98, 0x8B, 0x3F, 0x00, 0x00, 0x00, 0x00})
                .bytes(18, {0x03, 0x0D})
                .bytes(20, {1, 12, 0xFF, 0xFF}));
  table.Add(CSmbiosStructure(1, 27, 0x0001)
                .str(4, "HALVEX")
                .str(5, "RX2800 S2")
                .str(6, "GS01")
                .str(7, "YLNT004321")
                .bytes(8, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
                           0xFF})
                .u8(24, 6)
                .str(25, "S26361-K1495-V101")
                .str(26, "Server"));
  table.Add(CSmbiosStructure(2, 15, 0x0002)
                .str(4, "HALVEX")
                .str(5, "D3289-B1")
                .str(6, "S26361-D3289-B13 WGS04 GS02")
                .str(7, "55081632")
                .str(8, "Board Asset")
                .u8(9, 0x09)
                .str(10, "Mainboard")
                .u16(11, 0x0004)
                .u8(13, 0x0A));
  // Unset fields of the second board are padded with 0xFF, as firmware does.
  table.Add(CSmbiosStructure(2, 15, 0x0003)
                .str(4, "HALVEX")
                .str(5, "D3290-A1")
                .str(6, "A1")
                .str(7, "55081700")
                .str(8, "\xFF\xFF\xFF\xFF")
                .u8(9, 0x01)
                .str(10, "Riser")
                .u16(11, 0x0004)
                .u8(13, 0x0A));
  table.Add(CSmbiosStructure(3, 21, 0x0004)
                .str(4, "HALVEX")
                .u8(5, 0x97)
                .str(6, "RX2800S2R2")
                .str(7, "YLNT004321")
                .str(8, "Rack\x07" "07")
                .bytes(9, {3, 3, 3, 2}));
  for (uint16_t socket = 0; socket < 2; ++socket) {
    uint16_t firstCache = static_cast<uint16_t>(0x0700 + socket * 3);
    for (uint16_t level = 0; level < 3; ++level)
      table.Add(Cache(static_cast<uint16_t>(firstCache + level), kCacheLevels[level]));
    table.Add(ProcessorStructure(static_cast<uint16_t>(0x0400 + socket), socket == 0 ? "CPU1" : "CPU2", firstCache,
                        socket == 0 ? "0A1B2C3D" : "0A1B2C3E"));
  }
  table.Add(MemoryArrayStructure(0x1000, 0x18000000));
  table.Add(MemoryArrayStructure(0x1001, 0x80000000));
  table.Add(MemoryDeviceStructure(0x1100, 0x1000, 0x4000, "DIMM-1A", "NODE 0 CHANNEL A", "1A2B3C4D"));
  table.Add(MemoryDeviceStructure(0x1101, 0x1000, 0x2000, "DIMM-1B", "NODE 0 CHANNEL B", "1A2B3C4E"));
  table.Add(MemoryDeviceStructure(0x1102, 0x1001, 0x4000, "DIMM-2A", "NODE 1 CHANNEL A", "1A2B3C4F"));
  table.Add(MemoryDeviceStructure(0x1103, 0x1001, 0x0000, "DIMM-2B", "NODE 1 CHANNEL B", "NO DIMM"));
  table.Add(ArrayRange(0x1300, 0x00000000, 0x017FFFFF, 0x1000));
  table.Add(ArrayRange(0x1301, 0x01800000, 0x027FFFFF, 0x1001));
  table.Add(DeviceRange(0x1400, 0x00000000, 0x00FFFFFF, 0x1100, 0x1300, 0xFF, 1, 2));
  table.Add(DeviceRange(0x1401, 0x01000000, 0x017FFFFF, 0x1101, 0x1300, 1, 0, 0xFF));
  table.Add(DeviceRange(0x1402, 0x01800000, 0x027FFFFF, 0x1102, 0x1301, 254, 255, 1));
  table.Add(CSmbiosStructure(38, 16, 0x2600).u8(4, 1).u8(5, 0x20).u8(6, 0x20).u8(7, 0xFF).u32(8, 0x0CA3).u8(15, 0));
  table.Add(CSmbiosStructure(176, 8, 0xB000).u16(4, 0).u16(6, 0x1A2B));
  table.Add(CSmbiosStructure(188, 8, 0xBC00).bytes(4, {'8', 'S', '2', 'D'}));
  // Memory add-ons: hot spares (3-byte records: handle, status), patrol
  // scrubbing (run count) and the processor-to-APIC map (APIC id, handle).
  table.Add(CSmbiosStructure(190, 18, 0xBE00)
                .u8(4, 0)
                .u8(5, 3)
                .bytes(6, {0x00, 0x11, 0, 0x01, 0x11, 1, 0x02, 0x11, 3, 0x03, 0x11, 9}));
  table.Add(CSmbiosStructure(190, 6, 0xBE01).u8(4, 1).u8(5, 4));
  table.Add(CSmbiosStructure(190, 12, 0xBE02).u8(4, 2).u8(5, 3).bytes(6, {0x00, 0x00, 0x04, 0x20, 0x01, 0x04}));
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

CSmbiosTable ServerStructureTable() {
  CSmbiosTable table;
  AddServerStructures(table);
  table.AddEndOfTable(0x7F00);
  return table;
}

CSmbiosTable BrokenServerTable() {
  CSmbiosTable table;
  AddServerStructures(table);
  std::vector<uint8_t> last = CSmbiosStructure(11, 5, 0x0B00).u8(4, 1).extra("OEM string").Bytes();
  last.pop_back();
  return table.AddRaw(last);
}

std::vector<uint8_t> MakePirTable(const std::vector<PirSlot>& slots, bool validChecksum) {
  std::vector<uint8_t> pir(32 + 16 * slots.size(), 0);
  pir[0] = '$', pir[1] = 'P', pir[2] = 'I', pir[3] = 'R';
  pir[4] = 0x00, pir[5] = 0x01;  // version 1.0
  pir[6] = static_cast<uint8_t>(pir.size()), pir[7] = static_cast<uint8_t>(pir.size() >> 8);
  pir[9] = 0x1F << 3;                                      // interrupt router 00:1f.0
  pir[12] = 0x86, pir[13] = 0x80, pir[14] = 0x2E, pir[15] = 0x12;  // compatible router
  for (size_t i = 0; i < slots.size(); ++i) {
    uint8_t* entry = &pir[32 + 16 * i];
    entry[0] = slots[i].bus;
    entry[1] = slots[i].device == 0xFF ? 0xFF : static_cast<uint8_t>(slots[i].device << 3);
    for (int pin = 0; pin < 4; ++pin) {
      entry[2 + 3 * pin] = static_cast<uint8_t>(0x60 + pin);
      entry[3 + 3 * pin] = 0xF8, entry[4 + 3 * pin] = 0xDE;
    }
    entry[14] = slots[i].slot;
  }
  pir[31] = static_cast<uint8_t>(-ByteSum(pir.data(), pir.size()) + (validChecksum ? 0 : 1));
  return pir;
}

std::vector<PirSlot> ServerPirSlots() { return {{0, 0x1C, 0}, {1, 0, 1}, {2, 0, 2}, {0x40, 0xFF, 0}, {0x81, 3, 5}}; }

CFixtureMachine::CFixtureMachine() : m_Table(ServerStructureTable()) {
  m_Memory.Place(fixture_layout::kPirAddress, MakePirTable(ServerPirSlots()));
}

CFixtureMachine& CFixtureMachine::SetRoute(SmbiosRoute route) {
  m_Route = route;
  return *this;
}

CFixtureMachine& CFixtureMachine::SetTable(const CSmbiosTable& table) {
  m_Table = table;
  return *this;
}

CFixtureMachine& CFixtureMachine::SetVersion(uint8_t major, uint8_t minor) {
  m_nMajor = major;
  m_nMinor = minor;
  return *this;
}

void CFixtureMachine::Write(const std::string& root) const {
  using namespace fixture_layout;
  CDevMemImage memory = m_Memory;
  const std::vector<uint8_t>& table = m_Table.Bytes();
  std::vector<uint8_t> entry = MakeEntryPoint(kTableAddress, static_cast<uint16_t>(table.size()), m_Table.Count(),
                                              m_nMajor, m_nMinor);
  switch (m_Route) {
    case SmbiosRoute::ShadowScan:
      memory.Place(kShadowEntryPoint, entry);
      memory.Place(kTableAddress, table);
      break;
    case SmbiosRoute::EfiSystab: {
      memory.Place(kEfiEntryPoint, entry);
      memory.Place(kTableAddress, table);
      char line[64];
      std::snprintf(line, sizeof line, "ACPI20=0x7f6fe014\nSMBIOS=0x%x\nSMBIOS3=0x7f6f7000\n", kEfiEntryPoint);
      WriteBytes(root + "/sys/firmware/efi/systab", std::vector<uint8_t>(line, line + std::strlen(line)));
      break;
    }
    case SmbiosRoute::EsxDevice: {
      std::vector<uint8_t> device = entry;
      device.insert(device.end(), table.begin(), table.end());
      WriteBytes(root + "/vmfs/devices/char/mem/smbios", device);
      break;
    }
    case SmbiosRoute::NoSmbios:
      break;
  }
  memory.Write(root + "/dev/mem");
}
