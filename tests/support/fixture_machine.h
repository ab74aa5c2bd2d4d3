#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/dev_mem_image.h"
#include "support/smbios_builder.h"

// Where the fixture machine keeps its firmware tables in physical memory.
namespace fixture_layout {
constexpr uint32_t kShadowEntryPoint = 0xF6A50;  // a paragraph in the BIOS shadow area
constexpr uint32_t kEfiEntryPoint = 0x7F6F8000;  // published through the EFI system table
constexpr uint32_t kTableAddress = 0x104A10;     // deliberately not page aligned
constexpr uint32_t kPirAddress = 0xFDF30;
}  // namespace fixture_layout

// How the machine publishes its SMBIOS data.
enum class SmbiosRoute {
  ShadowScan,  // "_SM_" anchor in the BIOS shadow area
  EfiSystab,   // /sys/firmware/efi/systab names the entry point
  EsxDevice,   // the ESX SMBIOS device, no anchor in memory
  NoSmbios,    // nothing anywhere
};

// A processor (type 4) whose three caches have consecutive handles.
CSmbiosStructure ProcessorStructure(uint16_t handle, const std::string& socket, uint16_t firstCache,
                                    const std::string& serial);
// A physical memory array (type 16) and one of its devices (type 17); a
// size of 0 marks an empty slot.
CSmbiosStructure MemoryArrayStructure(uint16_t handle, uint32_t capacityKb);
CSmbiosStructure MemoryDeviceStructure(uint16_t handle, uint16_t array, uint16_t size, const std::string& locator,
                              const std::string& bank, const std::string& serial);

// The structure table of a two-socket rack server with every type the
// scanner decodes: several processors, caches, memory devices and mapped
// address ranges, and one memory add-on structure in each mode.
CSmbiosTable ServerStructureTable();
// The same table whose last structure lacks its string set terminator.
CSmbiosTable BrokenServerTable();

// One slot entry of a PCI IRQ routing table.
struct PirSlot {
  uint8_t bus;
  uint8_t device;  // device number; 0xFF marks an unused entry
  uint8_t slot;
};
// A "$PIR" table with one 16-byte entry per slot; a wrong checksum on request.
std::vector<uint8_t> MakePirTable(const std::vector<PirSlot>& slots, bool validChecksum = true);
// The routing table of the fixture machine: four slots and one unused entry.
std::vector<PirSlot> ServerPirSlots();

// A fixture machine tree: dev/mem image and the files of the chosen route.
class CFixtureMachine {
 public:
  CFixtureMachine();

  CFixtureMachine& SetRoute(SmbiosRoute route);
  CFixtureMachine& SetTable(const CSmbiosTable& table);
  CFixtureMachine& SetVersion(uint8_t major, uint8_t minor);
  // The physical memory beyond the SMBIOS data, for further tables.
  CDevMemImage& Memory() { return m_Memory; }

  // Writes dev/mem and, per route, the systab or the ESX device below root.
  void Write(const std::string& root) const;

 private:
  SmbiosRoute m_Route = SmbiosRoute::ShadowScan;
  CSmbiosTable m_Table;
  uint8_t m_nMajor = 2;
  uint8_t m_nMinor = 7;
  CDevMemImage m_Memory;
};
