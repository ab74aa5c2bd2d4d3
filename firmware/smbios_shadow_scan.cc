#include <cerrno>
#include <cstdio>
#include <cstring>

#include "firmware/device_bios.h"
#include "firmware/smbios_model.h"
#include "platform/debug.h"

// Finds the 32-bit SMBIOS entry point in the legacy BIOS shadow area and
// copies the structure table it points to.

namespace {

constexpr uint32_t kShadowStart = 0xE0000;
constexpr uint32_t kShadowLength = 0x20000;
// The last paragraph tried is 0xFFFE0, so a whole entry point window always
// lies inside the mapping.
constexpr size_t kSearchLength = 0x1FFF0;
constexpr uint32_t kAnchorWord = 0x5F4D535F;  // "_SM_" read as a little-endian word
constexpr size_t kEntryWindow = 32;

std::string FormatText(const char* format, uint32_t value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Offset of the first "_SM_" anchor at a paragraph boundary, or -1.
long ScanForSignature(const CByteReader& shadow) {
  HX_TRACE(5, "\nScanForSignature    : physical addr = 0x%05X, mapped addr = 0x%08X, size 0x%05X", kShadowStart,
           static_cast<unsigned>(reinterpret_cast<uintptr_t>(shadow.data())), static_cast<unsigned>(kSearchLength));
  for (size_t offset = 0; offset < kSearchLength; ++offset) {
    const void* found = std::memchr(shadow.data() + offset, '_', kSearchLength - offset);
    if (found == nullptr) break;
    offset = static_cast<size_t>(static_cast<const uint8_t*>(found) - shadow.data());
    uint32_t address = kShadowStart + static_cast<uint32_t>(offset);
    if (offset % 16 != 0) {
      HX_TRACE(6, "\nScanForSignature    :   '_' found at a non-paragraph address (0x%08X), continue searching",
               address);
      continue;
    }
    HX_TRACE(6, "\nScanForSignature    :   '_' found at address 0x%08X, value=0x%08X, check for valid signature...",
             address, shadow.u32(offset));
    if (shadow.u32(offset) == kAnchorWord) {
      HX_TRACE(3, "\nScanForSignature    : SMBIOS signature \"_SM_\" found (SM BIOS >= 2.1) at 0x%08X", address);
      return static_cast<long>(offset);
    }
    HX_TRACE(6, "\nScanForSignature    :   no valid SMBIOS signature, continue searching");
  }
  return -1;
}

void TraceHeader(const CByteReader& header) {
  if (!Debug.m_bEnabled) return;
  Debug.Print(5, "\nCheckSmbiosHeader   : Dump of SM BIOS header:");
  Debug.DumpHex(5, header.data(), header.size(), 1, 1);
  Debug.Print(5, "\nCheckSmbiosHeader   : ...");
  Debug.Print(2, "\nCheckSmbiosHeader   : SMBIOS header:");
  Debug.Print(3, "\nCheckSmbiosHeader   :   size:           %d", header.u8(5));
  Debug.Print(3, "\nCheckSmbiosHeader   :   anchor string:  %c%c%c%c", header.u8(0), header.u8(1), header.u8(2),
              header.u8(3));
  Debug.Print(2, "\nCheckSmbiosHeader   :   DMI Version:    %d.%d (BCD Rev: %02X)", header.u8(6), header.u8(7),
              header.u8(30));
  Debug.Print(3, "\nCheckSmbiosHeader   :   nr structures:  %d", header.u16(28));
  Debug.Print(3, "\nCheckSmbiosHeader   :   struct address: 0x%08X, size 0x%04X", header.u32(24), header.u16(22));
}

// The byte sum of the entry point's first length bytes must be 0; bytes past
// the mapped area count as a bad sum.
bool ChecksumIsValid(const CByteReader& anchor, size_t length) {
  if (!anchor.has(0, length)) return false;
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + anchor.u8(i));
  return sum == 0;
}

}  // namespace

bool CSMBios::GetSmbiosDataFromBiosShadowMemory(std::vector<uint8_t>& entry, std::vector<uint8_t>& table) {
  CDeviceBios bios;
  bios.ProbeInterface();

  HX_TRACE(2, "\nCSMBios (GetShadow) : Get SMBIOS data from BIOS shadow memory (E0000...FFFFF)");
  HX_TRACE(3, "\nCSMBios (GetShadow) :   map physical memory 0x%05X length 0x%04X", kShadowStart, kShadowLength);
  std::string error;
  if (const uint8_t* mapped = bios.MapPhysicalMemory(0, kShadowStart, kShadowLength); mapped == nullptr) {
    error = FormatText("Could not map SMBIOS physical memory (LastError = 0x%08X)!", static_cast<uint32_t>(errno));
  } else {
    HX_TRACE(3, "\nCSMBios (GetShadow) :   search for SMBIOS signature at mapped address 0x%08X...",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(mapped)));
    CByteReader shadow(mapped, kShadowLength);
    long found = ScanForSignature(shadow);
    bool valid = false;
    CByteReader anchor;
    if (found >= 0) {
      anchor = shadow.sub(static_cast<size_t>(found), kShadowLength);
      TraceHeader(anchor.sub(0, kEntryWindow));
      m_nStructureCount = anchor.u16(28);
      size_t length = anchor.u8(5);
      valid = length == 0 || ChecksumIsValid(anchor, length);
      if (valid) {
        HX_TRACE(2, "\nCheckSmbiosHeader   : Checksum OK, storing header");
        entry.assign(anchor.data(), anchor.data() + length);
      } else {
        HX_TRACE(1, "\n\nCheckSmbiosHeader   : ## CHECKSUM ERROR in DMI structure header!\n");
      }
    }
    HX_TRACE(3, "\nScanForSignature    : -> SMBIOS %sdetected", valid ? "" : "NOT ");
    if (!valid) {
      error = "No SMBIOS structures found!";
    } else {
      HX_TRACE(2, "\n\nCSMBios (GetShadow) : ## SMBIOS/DMI structures found ##\n");
      uint32_t address = anchor.u32(24);
      uint16_t length = anchor.u16(22);
      if (address == 0) {
        error = "No address for SMBIOS strucures detected!";
      } else {
        HX_TRACE(3, "\nCSMBios (GetShadow) : SMBIOS structure address found; map this physical address (0x%08X size %d)...",
                 address, length);
        bios.UnmapPhysicalMemory();
        const uint8_t* structures = bios.MapPhysicalMemory(0, address, length);
        if (structures == nullptr) {
          error = FormatText("Remapping of SMBIOS structure memory failed (LastError = 0x%08X)!",
                             static_cast<uint32_t>(errno));
        } else {
          HX_TRACE(3, "\nCSMBios (GetShadow) :   mapped address = 0x%08X",
                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(structures)));
          table.assign(structures, structures + length);
        }
      }
    }
  }
  bios.UnmapPhysicalMemory();
  bios.Close();
  if (!error.empty()) {
    m_strLastError = error;
    HX_TRACE(1, "\n\nCSMBios (GetShadow) : ## ERROR! %s", error.c_str());
    return false;
  }
  return true;
}
