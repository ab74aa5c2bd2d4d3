#include "firmware/pci_slot_mapping.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "firmware/byte_reader.h"
#include "firmware/device_bios.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

constexpr uint32_t kBiosAreaAddress = 0xF0000;
constexpr uint32_t kBiosAreaLength = 0x10000;
constexpr size_t kParagraph = 16;
constexpr size_t kHeaderLength = 32;
constexpr size_t kEntryLength = 16;
constexpr const char* kSlotMappingFile = "/etc/hxagt/PciSlotMapping.bin";

// Offset of the first "$PIR" paragraph in the BIOS area, or -1.
long FindRoutingTable(const CByteReader& area) {
  for (size_t offset = 0; offset + kParagraph <= area.size(); offset += kParagraph)
    if (std::memcmp(area.data() + offset, "$PIR", 4) == 0) return static_cast<long>(offset);
  return -1;
}

bool IsRoutingTableValid(const CByteReader& area, size_t offset) {
  uint32_t size = area.u16(offset + 6);
  uint32_t version = area.u16(offset + 4);
  if (size == 0 || offset + size + 32 > area.size()) {
    HX_TRACE(1, "\nGetPciSlotMapping   : ## ERROR! Illegal table size in PCI IRQ Routing Table (%d)\n", size);
    return false;
  }
  if (size % kEntryLength != 0) {
    HX_TRACE(1,
             "\nGetPciSlotMapping   : ## ERROR! PCI IRQ Routing Table size modulo sizeof (IRQ_ROUTING_TABLE_ENTRY) is "
             "not zero (%d)\n",
             size % static_cast<uint32_t>(kEntryLength));
    return false;
  }
  if ((version >> 8) > 10 || (version & 0xFF) > 20) {
    HX_TRACE(1, "\nGetPciSlotMapping   : ## ERROR! Illegal version number in PCI IRQ Routing Table (%d.%d)\n",
             version >> 8, version & 0xFF);
    return false;
  }
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + area.u8(offset + i));
  if (sum != 0) {
    HX_TRACE(1, "\nGetPciSlotMapping   : ## ERROR! Illegal checksum in PCI IRQ Routing Table (%02X)\n", sum);
    return false;
  }
  return true;
}

void DumpRoutingEntries(const CByteReader& table, uint32_t count) {
  if (!Debug.m_bEnabled) return;
  Debug.Print(5, "\nGetPciSlotMapping   : Dump of PCI slot mapping table:\n");
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = table.data() + kHeaderLength + kEntryLength * i;
    Debug.Print(5,
                "\n                    : [%02d] %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X "
                "%02X %02X",
                i + 1, e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8], e[9], e[10], e[11], e[12], e[13], e[14],
                e[15]);
  }
}

// Bus, device and slot of each routing entry, up to the first unused entry
// (device byte 0xFF); the records after it stay zero.
void FillSlotRecords(const CByteReader& table, CPciSlotMapping& mapping) {
  HX_TRACE(2, "\nAddSlotMapping      : Create PCI slot mapping table (%d entries):", mapping.Count());
  for (uint32_t i = 0; i < mapping.Count(); ++i) {
    size_t entry = kHeaderLength + kEntryLength * i;
    if (table.u8(entry + 1) == 0xFF) break;
    _PCI_SLOT_RECORD& record = mapping.Records()[i];
    record.bus = table.u8(entry);
    record.device = table.u8(entry + 1) >> 3;
    record.slot = table.u8(entry + 14);
    HX_TRACE(2, "\nAddSlotMapping      : [%02d]  bus %3d device %3d --> slot %d", i + 1, record.bus, record.device,
             record.slot);
  }
}

// Other components of the agents package read the slot table from this file.
void WriteSlotMappingFile(const CPciSlotMapping& mapping) {
  int fd = open(HxSysPath(kSlotMappingFile).c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    HX_TRACE(1, "\nAddSlotMapping      : ## ERROR! Failed to open PciSlotMapping.bin!\n");
    return;
  }
  bool written = true;
  for (uint32_t i = 0; i < mapping.Count() && written; ++i) {
    if (write(fd, &mapping.Records()[i], sizeof(_PCI_SLOT_RECORD)) != sizeof(_PCI_SLOT_RECORD)) {
      HX_TRACE(1, "\nAddSlotMapping      : ## ERROR! Failed to write PciSlotMapping.bin  (%d)!\n", i);
      written = false;
    }
  }
  close(fd);
  if (written) HX_TRACE(1, "\nAddSlotMapping      : ## File PciSlotMapping.bin successfully written !\n");
}

void AddSlotMapping(const CByteReader& table, CPciSlotMapping& mapping) {
  if (mapping.Exists()) {
    HX_TRACE(1, "\nAddSlotMapping      : ## WARNING! PCI slot mapping table already allocated (maybe called twice) !");
    mapping.Release();
  }
  if (table.size() < kHeaderLength + kEntryLength) {
    HX_TRACE(2, "\nAddSlotMapping      : WARNING! Empty PCI slot mapping table!");
    return;
  }
  HX_TRACE(4, "\nAddSlotMapping      :   creating PCI slot table");
  if (!mapping.Allocate(static_cast<uint32_t>((table.size() - kHeaderLength) / kEntryLength))) {
    HX_TRACE(1, "\nAddSlotMapping      : ## ERROR! Failed to allocate PCI slot numbers table!\n");
    return;
  }
  FillSlotRecords(table, mapping);
  WriteSlotMappingFile(mapping);
}

}  // namespace

bool CPciSlotMapping::Allocate(uint32_t count) {
  m_pRecords.reset(new (std::nothrow) _PCI_SLOT_RECORD[count]());
  m_nCount = m_pRecords ? count : 0;
  return m_pRecords != nullptr;
}

void CPciSlotMapping::Release() {
  m_pRecords.reset();
  m_nCount = 0;
}

bool CPciSlotMapping::GetSlotNumber(int bus, int device, uint32_t& slot) const {
  HX_TRACE(5, "\nGetSlotNumber       : searching PCI slot table for bus %d device %d...", bus, device);
  for (uint32_t i = 0; i < m_nCount; ++i) {
    const _PCI_SLOT_RECORD& record = m_pRecords[i];
    HX_TRACE(5, "\nGetSlotNumber       :    checking bus %02d device %02d...", record.bus, record.device);
    if (record.bus == bus && record.device == device) {
      slot = record.slot;
      HX_TRACE(4, "\nGetSlotNumber       :   PCI bus %d device %03d --> slot %d", bus, device, record.slot);
      return true;
    }
  }
  return false;
}

bool CDeviceBiosBase::GetPciSlotMapping() {
  HX_TRACE(3, "\nGetPciSlotMapping   : Get PCI slot mapping table");
  HX_TRACE(4, "\nGetPciSlotMapping   : First try with (new) memory struct interface...");
  HX_TRACE(5, "\nGetPciSlotMapping   :   map physical memory address 0x%05X size 0x%05X to virtual address space",
           kBiosAreaAddress, kBiosAreaLength);
  const uint8_t* mapped = MapPhysicalMemory(0, kBiosAreaAddress, kBiosAreaLength);
  if (mapped == nullptr) {
    HX_TRACE(1, "\nGetPciSlotMapping   : ERROR! Could not map physical memory at 0x%05X", kBiosAreaAddress);
    return m_PciSlotMapping.Exists();
  }
  CByteReader area(mapped, kBiosAreaLength);
  HX_TRACE(5, "\nCDevScan            : Search for slot mapping table (mapped address = 0x%p)", mapped);
  long found = FindRoutingTable(area);
  if (found >= 0) {
    size_t offset = static_cast<size_t>(found);
    uint32_t size = area.u16(offset + 6);
    uint32_t version = area.u16(offset + 4);
    HX_TRACE(2, "\nGetPciSlotMapping   : ## PCI IRQ Routing table found");
    HX_TRACE(5, "\nGetPciSlotMapping   :      address:         0x%p", mapped + offset);
    HX_TRACE(3, "\nGetPciSlotMapping   :      version:         %d.%d", version >> 8, version & 0xFF);
    HX_TRACE(3, "\nGetPciSlotMapping   :      table size:      %d", size);
    HX_TRACE(2, "\nGetPciSlotMapping   :      number entries:  %d", (static_cast<int>(size) - 32) / 16);
    HX_TRACE(3, "\nGetPciSlotMapping   :      checksum value : %02X\n", area.u8(offset + 31));
    if (IsRoutingTableValid(area, offset)) {
      CByteReader table = area.sub(offset, size);
      uint32_t entries = size >= kHeaderLength ? static_cast<uint32_t>((size - kHeaderLength) / kEntryLength) : 0;
      DumpRoutingEntries(table, entries);
      AddSlotMapping(table, m_PciSlotMapping);
    }
  }
  UnmapPhysicalMemory();
  return m_PciSlotMapping.Count() > 0 && m_PciSlotMapping.Exists();
}
