#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/diag_report.h"
#include "firmware/bios_section_writer.h"
#include "firmware/device_bios.h"
#include "platform/debug.h"

// The PCI IRQ routing tables ("$PIR") of the BIOS area 0xF0000-0xFFFFF.

namespace {

constexpr uint32_t kBiosAreaStart = 0xF0000;
constexpr uint32_t kBiosAreaLength = 0x10000;
constexpr size_t kHeaderSize = 32;
constexpr size_t kSlotEntrySize = 16;

int EntryCount(uint16_t size) { return size < kHeaderSize ? 0 : static_cast<int>((size - kHeaderSize) / kSlotEntrySize); }

void WriteDecodedSlots(CMarkup& xml, const CByteReader& table, int entries) {
  xml.AddChildElem("Decoded");
  xml.AddChildAttrib("Entries", entries);
  xml.IntoElem();
  for (size_t offset = kHeaderSize; table.has(offset, kSlotEntrySize); offset += kSlotEntrySize) {
    if (table.u8(offset + 1) == 0xFF) continue;  // unused entry
    xml.AddChildElem("Entry");
    xml.AddChildAttrib("Bus", table.u8(offset));
    xml.AddChildAttrib("Device", table.u8(offset + 1) >> 3);
    xml.IntoElem();
    xml.AddChildElem("Slot", table.u8(offset + 14));
    xml.OutOfElem();
  }
  xml.OutOfElem();
}

// Writes one table found at the offset of the area; true when its checksum
// is valid, which ends the search.
bool WriteRoutingTable(CDiagReport& report, CMarkup& xml, const CByteReader& area, size_t offset) {
  uint16_t version = area.u16(offset + 4);
  uint16_t size = area.u16(offset + 6);
  // The checksum and the dump never run past the mapped area.
  CByteReader table = area.sub(offset, size);
  uint8_t checksum = 0;
  for (size_t i = 0; i < table.size(); ++i) checksum = static_cast<uint8_t>(checksum + table.u8(i));
  int entries = EntryCount(size);
  char versionText[16];
  std::snprintf(versionText, sizeof versionText, "%d.%d", version >> 8, version & 0xFF);

  HX_TRACE(2, "\nCDiagReport         : ## PCI IRQ Routing table found");
  HX_TRACE(5, "\nCDiagReport         :      address:         0x%08X", kBiosAreaStart + static_cast<unsigned>(offset));
  HX_TRACE(3, "\nCDiagReport         :      version:         %s", versionText);
  HX_TRACE(3, "\nCDiagReport         :      checksum:        %d", checksum);
  HX_TRACE(3, "\nCDiagReport         :      table size:      0x%04X", size);
  HX_TRACE(2, "\nCDiagReport         :      number entries:  %d\n", entries);

  xml.AddElem("IRQRouting");
  xml.AddAttrib("Version", versionText);
  xml.AddAttrib("Checksum", checksum);
  xml.AddAttrib("Size", size);
  xml.AddAttrib("Entries", entries);
  xml.AddChildElem("Data");
  xml.AddChildAttrib("Size", size);
  xml.IntoElem();
  xml.AddChildSubDoc(CDiagReport::AddRawDataDump(table.data(), table.size(), 16, 1).GetDoc());
  if (checksum == 0) WriteDecodedSlots(xml, table, entries);
  xml.OutOfElem();

  if (checksum != 0) {
    HX_TRACE(1, "\nCDiagReport         : ## WARNING! Illegal checksum in PCI IRQ Routing Table!\n");
    report.AddSummaryEntry(report.m_Report, "SMBIOS", "Illegal checksum in PCI IRQ Routing Table!", "Errors");
  }
  return checksum == 0;
}

}  // namespace

void WriteIrqRoutingTables(CDiagReport& report, CMarkup& xml) {
  CDeviceBios bios;
  try {
    const uint8_t* mapped = bios.MapPhysicalMemory(0, kBiosAreaStart, kBiosAreaLength);
    if (mapped == nullptr) {
      HX_TRACE(1, "\nGetPciSlotMapping   : ERROR! Could not map physical memory at 0x%05X", kBiosAreaStart);
      return;
    }
    CByteReader area(mapped, kBiosAreaLength);
    for (size_t offset = 0; area.has(offset, 4); offset += 16) {
      if (std::memcmp(area.data() + offset, "$PIR", 4) == 0 && WriteRoutingTable(report, xml, area, offset)) break;
    }
  } catch (...) {
    HX_TRACE(1, "\n\nCDiagReport         :  ERROR! EXCEPTION during PCI slot mapping scan!\n");
  }
  bios.UnmapPhysicalMemory();
}
