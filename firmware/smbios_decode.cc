#include <cstring>
#include <span>

#include "firmware/smbios_model.h"

// The program's own texts for structure types and enumerated fields.

namespace {

struct CodeText {
  uint16_t code;
  const char* text;
};

const char* Lookup(std::span<const CodeText> table, uint32_t code, const char* otherwise = "") {
  for (const CodeText& row : table)
    if (row.code == code) return row.text;
  return otherwise;
}

constexpr CodeText kTypeNames[] = {
    {0, "BIOS Information"}, {1, "System Information"}, {2, "Baseboard Information"}, {3, "System Enclosure"},
    {4, "Processor Information"}, {5, "Memory Controller"}, {6, "Memory Module"}, {7, "Cache Information"},
    {8, "Port Connector"}, {9, "System Slots"}, {10, "On Board Devices"}, {11, "OEM Strings"},
    {12, "System Configuration"}, {13, "BIOS Language"}, {14, "Group Associations"}, {15, "System Event Log"},
    {16, "Physical Memory Array"}, {17, "Memory Device"}, {18, "32-bit Memory Error Information"},
    {19, "Memory Array Mapped Address"}, {20, "Memory Device Mapped Address"}, {21, "Built-in Pointing Device"},
    {22, "Portable Battery"}, {23, "System Reset"}, {24, "Hardware Security"}, {25, "System Power Control"},
    {26, "Voltage Probe"}, {27, "Cooling Device"}, {28, "Temperature Probe"}, {29, "Electrical Current Probe"},
    {30, "Out-of-band Remote Access"}, {31, "BIS Entry Point"}, {32, "System Boot Information"},
    {33, "64-bit Memory Error Information"}, {34, "Management Device"}, {35, "Management Device Component"},
    {36, "Management Device Threshold"}, {37, "Memory Channel"}, {38, "IPMI Information"},
    {39, "System Power Supply"}, {126, "Inactive"}, {127, "End Of Table"}, {129, "OMF Intel 129"},
    {176, "OMF Board ID"}, {177, "OMF BIOS ID"}, {178, "Hard Disk User Type"}, {179, "Port Config"},
    {185, "System Monitoring"}, {188, "BIOS Identification"}, {190, "Memory Device Add-ons"},
    {208, "System Board Config"},
};

constexpr const char* kMemoryDeviceTypes[] = {
    "Invalid (0)", "Other", "Unknown", "DRAM", "EDRAM", "VRAM", "SRAM", "RAM", "ROM",
    "FLASH", "EEPROM", "FEPROM", "EPROM", "CDRAM", "3DRAM", "SDRAM", "SGRAM", "RDRAM",
    "DDR", "DDR2", "DDR2 FB-DIMM", "Type 0x15", "Type 0x16", "Type 0x17", "DDR3", "FBD2",
};

constexpr CodeText kChassisTypes[] = {
    {2, "Unknown"}, {3, "Desktop"}, {4, "Low Profile Desktop"}, {5, "Pizza Box"}, {6, "Mini Tower"},
    {7, "Tower"}, {8, "Portable"}, {9, "Laptop"}, {10, "Notebook"}, {11, "Handheld"}, {12, "Docking Station"},
    {13, "All in One"}, {14, "Sub Notebook"}, {15, "Space-saving"}, {16, "Lunch Box"},
    {17, "Main Server Chassis"}, {18, "Expansion Chassis"}, {19, "SubChassis"}, {20, "Bus Expansion Chassis"},
    {21, "Pheripheral Chassis"}, {22, "RAID Chassis"}, {23, "Rack Mount Chassis"}, {24, "Sealed-case PC"},
    {25, "Multi-system Chassis"}, {26, "CompactPCI"}, {27, "AdvancedTCA"},
};

constexpr const char* kProcessorStatus[] = {"Unknown", "Enabled", "User disabled", "BIOS disabled",
                                            "Idle",    "Unknown", "Unknown",       "Unknown"};

// Indexed by (level - 1) * 2 + external.
constexpr const char* kCacheLevels[] = {
    "Level 1 Chache (internal)", "Level 1 Chache (external)", "Level 2 Chache (internal)",
    "Level 2 Chache (external)", "Level 3 Chache (internal)", "Level 3 Chache (external)",
    "Level 4 Chache (internal)", "Level 4 Chache (external)",
};

// Indexed by burst kind (non-burst, burst, pipeline burst), then by timing
// (synchronous, asynchronous, neither).
constexpr const char* kSramBurstTypes[3][3] = {
    {"Non-Burst (synchronous)", "Non-Burst (asynchronous)", "Non-Burst"},
    {"Burst (synchronous)", "Burst (asynchronous)", "Burst"},
    {"Pipeline Burst (synchronous)", "Pipeline Burst (asynchronous)", "Pipeline Burst"},
};

constexpr CodeText kErrorCorrection[] = {
    {1, "Other"}, {2, "Unknown"}, {3, "None"}, {4, "Parity"}, {5, "Single-bit ECC"}, {6, "Multi-bit ECC"}, {7, "CRC"},
};
// Caches know no CRC.
constexpr std::span<const CodeText> kCacheErrorCorrection(kErrorCorrection, 6);

constexpr CodeText kSystemCacheTypes[] = {
    {1, "Other"}, {2, "Unknown"}, {3, "Instruction"}, {4, "Data"}, {5, "Unified"},
};

constexpr CodeText kAssociativity[] = {
    {1, "Other"}, {2, "Unknown"}, {3, "Direct Mapped"}, {4, "2-way Set Associative"},
    {5, "4-way Set Associative"}, {6, "Fully Associative"}, {7, "8-way Set Associative"},
    {8, "16-way Set Associative"}, {9, "12-way Set Associative"}, {10, "24-way Set Associative"},
    {11, "32-way Set Associative"}, {12, "48-way Set Associative"}, {13, "64-way Set Associative"},
    {14, "20-way Set Associative"},
};

constexpr CodeText kArrayLocations[] = {
    {1, "Other"}, {2, "Unknown"}, {3, "System board or motherboard"}, {4, "ISA add-on card"},
    {5, "EISA add-on card"}, {6, "PCI add-on card"}, {7, "MCA add-on card"}, {8, "PCMCIA add-on card"},
    {9, "Proprietary add-on card"}, {10, "NuBus"}, {160, "PC-98/C20 add-on card"}, {161, "PC-98/C24 add-on card"},
    {162, "PC-98/E add-on card"}, {163, "PC-98/Local bus add-on card"},
};

constexpr CodeText kArrayUses[] = {
    {1, "Other"}, {2, "Unknown"}, {3, "System memory"}, {4, "Video memory"},
    {5, "Flash memory"}, {6, "Non-volatile memory"}, {7, "Cache memory"},
};

constexpr CodeText kFormFactors[] = {
    {0, "Invalid (0)"}, {1, "Other"}, {2, "Unknown"}, {3, "SIMM"}, {4, "SIP"}, {5, "Chip"},
    {6, "DIP"}, {7, "ZIP"}, {8, "Proprietary Card"}, {9, "DIMM"}, {10, "TSOP"}, {11, "Row of chips"},
    {12, "RIMM"}, {13, "SO-DIMM"}, {14, "SRIMM"}, {15, "FB-DIMM"},
};

// Type detail words from bit 3 up, each with its trailing blank.
constexpr const char* kTypeDetailWords[] = {
    "Fast-paged ", "Static column ", "Pseudo-static ", "RAMBUS ", "Synchronous ", "CMOS ", "EDO ",
    "Window DRAM ", "Cache DRAM ", "Non-volatile ", "Registered (Buffered) ", "Unregistered (Unbuffered) ",
    "LRDIMM ",
};

constexpr CodeText kIpmiInterfaces[] = {
    {0, "Unknown"}, {1, "Keyboard Controller Style (KCS)"}, {2, "Server Management Interface Chip (SMIC)"},
    {3, "Block Transfer (BT)"},
};

constexpr CodeText kAddOnModes[] = {{0, "Hotspare"}, {1, "Scrubbing"}, {2, "CPU-PDA"}};

const char* ChassisType(uint32_t value) { return Lookup(kChassisTypes, value & 0x7F, "Other"); }

const char* ProcessorStatus(uint32_t value) {
  return (value & 0x40) == 0 ? "Empty Socket" : kProcessorStatus[value & 7];
}

const char* CacheConfiguration(uint32_t value) {
  bool external = (value & 0x60) != 0;
  return kCacheLevels[(value & 3) * 2 + (external ? 1 : 0)];
}

const char* SramType(uint32_t value) {
  if (value & 0x01) return "Other";
  if (value & 0x02) return "Unknown";
  int timing = (value & 0x20) ? 0 : (value & 0x40) ? 1 : 2;
  for (int burst = 0; burst < 3; ++burst)
    if (value & (0x04u << burst)) return kSramBurstTypes[burst][timing];
  return (value & 0x20) ? "Synchronous" : (value & 0x40) ? "Asynchronous" : "";
}

const char* CacheErrorCorrection(uint32_t value) { return Lookup(kCacheErrorCorrection, value); }
const char* SystemCacheType(uint32_t value) { return Lookup(kSystemCacheTypes, value); }
const char* Associativity(uint32_t value) { return Lookup(kAssociativity, value); }
const char* ArrayLocation(uint32_t value) { return Lookup(kArrayLocations, value); }
const char* ArrayUse(uint32_t value) { return Lookup(kArrayUses, value); }
const char* ArrayErrorCorrection(uint32_t value) { return Lookup(kErrorCorrection, value); }
const char* FormFactor(uint32_t value) { return Lookup(kFormFactors, value); }
const char* MemoryType(uint32_t value) { return CSMBios::DecodeMemoryDeviceType(static_cast<uint8_t>(value)); }

const char* TypeDetail(uint32_t value) {
  if (value & 0x01) return "Reserved";
  if (value & 0x02) return "Other";
  if (value & 0x04) return "Unknown";
  static char text[200];
  text[0] = '\0';
  for (size_t bit = 0; bit < std::size(kTypeDetailWords); ++bit)
    if (value & (0x08u << bit)) std::strcat(text, kTypeDetailWords[bit]);
  size_t length = std::strlen(text);
  if (length != 0) text[length - 1] = '\0';
  return text;
}

const char* IpmiInterface(uint32_t value) { return Lookup(kIpmiInterfaces, value, "other"); }
const char* AddOnMode(uint32_t value) { return Lookup(kAddOnModes, value, "Unknown"); }

struct FieldDecoder {
  uint8_t type;
  uint8_t offset;
  uint8_t width;
  const char* (*decode)(uint32_t value);
};

constexpr FieldDecoder kFieldDecoders[] = {
    {3, 5, 1, ChassisType},
    {4, 24, 1, ProcessorStatus},
    {7, 5, 2, CacheConfiguration},
    {7, 11, 2, SramType},
    {7, 13, 2, SramType},
    {7, 16, 1, CacheErrorCorrection},
    {7, 17, 1, SystemCacheType},
    {7, 18, 1, Associativity},
    {16, 4, 1, ArrayLocation},
    {16, 5, 1, ArrayUse},
    {16, 6, 1, ArrayErrorCorrection},
    {17, 14, 1, FormFactor},
    {17, 18, 1, MemoryType},
    {17, 19, 2, TypeDetail},
    {38, 4, 1, IpmiInterface},
    {190, 4, 1, AddOnMode},
};

}  // namespace

const char* CSMBios::DecodeType(uint8_t type) { return Lookup(kTypeNames, type); }

const char* CSMBios::DecodeMemoryDeviceType(uint8_t code) {
  return code < std::size(kMemoryDeviceTypes) ? kMemoryDeviceTypes[code] : "";
}

const char* CSMBios::DecodeEntry(const _DMI_20_HEADER* header, int offset) const {
  CByteReader area = GetFormattedArea(header);
  if (offset < 0 || static_cast<size_t>(offset) >= area.size()) return "";
  for (const FieldDecoder& field : kFieldDecoders) {
    if (field.type != header->type || field.offset != offset) continue;
    return field.decode(field.width == 2 ? area.u16(offset) : area.u8(offset));
  }
  return "";
}
