#include "firmware/spd_decoder.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "firmware/jep106_table.h"
#include "firmware/spd_tables.h"

using namespace spd_tables;

namespace {

constexpr CodeText kDeviceTypes[] = {
    {SPD_TYPE_FPM, "FPM"},          {SPD_TYPE_EDO, "EDO"},         {SPD_TYPE_SDRAM, "SDRAM"},
    {SPD_TYPE_DDR, "DDR_SDRAM"},    {SPD_TYPE_DDR2, "DDR2_SDRAM"}, {SPD_TYPE_RAMBUS, "RAMBUS"},
    {SPD_TYPE_RAMBUS_SO, "RAMBUS_SO"}, {SPD_TYPE_FBD_DDR2, "FBD_DDR2"}, {SPD_TYPE_DDR3, "DDR3_SDRAM"},
    {SPD_TYPE_DDR4, "DDR4"},
};

// Generation by fundamental memory type (byte 2).
constexpr uint32_t kFundamentalTypeCodes[] = {0, SPD_TYPE_FPM, SPD_TYPE_EDO, 0, SPD_TYPE_SDRAM, 0, 0,
                                              SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, 0,
                                              SPD_TYPE_DDR3, SPD_TYPE_DDR4};

constexpr CodeText kModuleTypes[] = {
    {1, "RDIMM"},      {2, "UDIMM"},       {3, "SO-DIMM"},  {4, "Micro-DIMM"},    {5, "Mini-RDIMM"},
    {6, "Mini-UDIMM"}, {7, "Mini-CDIMM"},  {8, "SO-UDIMM"}, {9, "SO-RDIMM"},      {10, "SO-CDIMM"},
    {11, "FB_DIMM"},   {12, "LRDIMM"},     {13, "SO-UDIMM-16b"}, {14, "SO-UDIMM-32b"},
};

// Where the generations keep their manufacturing data.
struct ManufacturingLayout {
  size_t location;
  size_t serial;
  size_t partNumber;
  size_t partNumberLength;
  size_t manufacturer;  // continuation sequence (older) or bank and code bytes
  size_t dateYear;
};
constexpr ManufacturingLayout kOlderLayout = {72, 95, 73, 18, 64, 93};
constexpr ManufacturingLayout kDdr3Layout = {119, 122, 128, 18, 117, 120};
constexpr ManufacturingLayout kDdr4Layout = {322, 325, 329, 20, 320, 323};

const ManufacturingLayout* LayoutOf(uint32_t type) {
  if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_RAMBUS_SO) return &kOlderLayout;
  if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return &kDdr3Layout;
  if (type == SPD_TYPE_DDR4) return &kDdr4Layout;
  return nullptr;
}

}  // namespace

const char* const SPD::Unknown = "Unknown";

bool SPD::IsValid(const char* text) { return text != nullptr && std::strcmp(text, Unknown) != 0; }

const char* SPD::JEDECManufacturer(uint32_t bank, uint32_t code) {
  code &= 0x7F;
  if (code == 0 || code > 126) return Unknown;
  size_t index = static_cast<size_t>(bank) * 126 + code - 1;
  return index < kJep106NameCount ? kJep106Names[index] : Unknown;
}

uint16_t SPD::Crc16(const uint8_t* data, size_t length) {
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
  }
  return static_cast<uint16_t>(crc);
}

bool SPD::Present(size_t offset, size_t count) const {
  if (m_Bytes.has(offset, count)) return true;
  m_bShort = true;
  return false;
}

uint32_t SPD::Byte(size_t offset) const { return Present(offset, 1) ? m_Bytes.u8(offset) : 0; }
uint32_t SPD::Word(size_t offset) const { return Present(offset, 2) ? m_Bytes.u16(offset) : 0; }
uint32_t SPD::Dword(size_t offset) const { return Present(offset, 4) ? m_Bytes.u32(offset) : 0; }

uint32_t SPD::Crc(size_t first, size_t last) const {
  return Present(first, last - first + 1) ? Crc16(m_Bytes.data() + first, last - first + 1) : 0;
}

const char* SPD::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(m_szText, sizeof m_szText, format, args);
  va_end(args);
  return m_szText;
}

void SPD::Append(const char* format, ...) {
  size_t used = std::strlen(m_szText);
  va_list args;
  va_start(args, format);
  std::vsnprintf(m_szText + used, sizeof m_szText - used, format, args);
  va_end(args);
}

bool SPD::IsOlder() const {
  uint32_t type = DeviceType();
  return type >= SPD_TYPE_FPM && type <= SPD_TYPE_RAMBUS_SO;
}

// ---- Generation and module type -------------------------------------------

uint32_t SPD::DeviceType() const {
  if (m_Bytes.data() == nullptr) return SPD_TYPE_UNKNOWN;
  return Decode<uint32_t>(SPD_TYPE_UNKNOWN, [&]() -> uint32_t {
    uint32_t layout = Byte(0);
    // Rambus images keep their type in byte 111 (layout 1) or byte 3 (layout 2).
    if ((layout == 1 && Byte(111) == 1) || (layout == 2 && Byte(3) == 1)) return SPD_TYPE_RAMBUS;
    if ((layout == 1 && Byte(111) == 2) || (layout == 2 && Byte(3) == 2)) return SPD_TYPE_RAMBUS_SO;
    uint32_t fundamental = Byte(2);
    if (layout < 16 || fundamental > 12) return SPD_TYPE_UNKNOWN;
    return Translate(kFundamentalTypeCodes, fundamental, SPD_TYPE_UNKNOWN);
  });
}

const char* SPD::sDeviceType() const { return Lookup(kDeviceTypes, DeviceType()); }

uint32_t SPD::ModuleType() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_SDRAM:
      case SPD_TYPE_DDR: {
        static constexpr uint32_t kByAttributes[] = {2, 11, 1, 1};
        return kByAttributes[Byte(21) & 3];
      }
      case SPD_TYPE_DDR2: {
        static constexpr CodeMap kByDimmType[] = {{1, 1}, {2, 2}, {4, 3}, {8, 4}, {16, 5}, {32, 6}};
        return Map(kByDimmType, Byte(20) & 0x3F, 0);
      }
      case SPD_TYPE_FBD_DDR2: {
        uint32_t code = Byte(6) & 15;
        return code >= 1 && code <= 6 ? code : code == 7 ? 11 : 0;
      }
      case SPD_TYPE_DDR3: {
        uint32_t code = Byte(3) & 15;
        return code >= 1 && code <= 10 ? code : code <= 13 && code != 0 ? code + 1 : 0;
      }
      case SPD_TYPE_DDR4: {
        static constexpr uint32_t kByBaseModule[] = {0, 1, 2, 3, 12};
        return Translate(kByBaseModule, Byte(3) & 15, 0);
      }
      default:
        return 0;
    }
  });
}

const char* SPD::sModuleType() const { return Lookup(kModuleTypes, ModuleType()); }

// ---- Image layout and checksums -------------------------------------------

uint32_t SPD::SPDBytesTotal() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (IsOlder()) return 256;
    if (type < SPD_TYPE_FBD_DDR2) return 0;
    static constexpr uint32_t kTotals[] = {0, 256, 512};
    return Translate(kTotals, (Byte(0) >> 4) & 7, 0);
  });
}

uint32_t SPD::UtilizedSize() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_FPM:
      case SPD_TYPE_EDO:
      case SPD_TYPE_SDRAM:
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2:
        return Byte(0);
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 128;
      case SPD_TYPE_FBD_DDR2:
      case SPD_TYPE_DDR3: {
        static constexpr uint32_t kUsed[] = {0, 128, 176, 256};
        return Translate(kUsed, Byte(0) & 15, 0);
      }
      case SPD_TYPE_DDR4: {
        static constexpr uint32_t kUsed[] = {0, 128, 256, 384, 512};
        return Translate(kUsed, Byte(0) & 15, 0);
      }
      default:
        return 0;
    }
  });
}

uint32_t SPD::Checksum() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    if (IsOlder()) return Byte(63);
    return DeviceType() >= SPD_TYPE_FBD_DDR2 ? Word(126) : 0;
  });
}

uint32_t SPD::CalculatedChecksum() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (IsOlder()) {
      uint32_t sum = 0;
      for (size_t i = 0; i <= 62; ++i) sum += Byte(i);
      return sum & 0xFF;
    }
    // FB-DIMM and DDR3 images may exclude the manufacturing data (bit 7).
    if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return Crc(0, (Byte(0) & 0x80) ? 116 : 125);
    return type == SPD_TYPE_DDR4 ? Crc(0, 125) : 0;
  });
}

uint32_t SPD::ChecksumModuleSpecificSection() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t { return DeviceType() == SPD_TYPE_DDR4 ? Word(254) : 0; });
}

uint32_t SPD::CalculatedChecksumModuleSpecificSection() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t { return DeviceType() == SPD_TYPE_DDR4 ? Crc(128, 253) : 0; });
}

uint32_t SPD::MemoryMarkOffset() const {
  uint32_t type = DeviceType();
  if (IsOlder()) return 128;
  if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return 208;
  return type == SPD_TYPE_DDR4 ? 480 : kUndefined;
}

// ---- Manufacturing data ---------------------------------------------------

uint32_t SPD::ModuleManufacturingLocation() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    const ManufacturingLayout* layout = LayoutOf(DeviceType());
    return layout ? Byte(layout->location) : kUndefined;
  });
}

uint32_t SPD::ModuleSerialNumber() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    const ManufacturingLayout* layout = LayoutOf(DeviceType());
    return layout ? Dword(layout->serial) : 0;
  });
}

uint32_t SPD::ModuleRevisionCode() const {
  return Decode<uint32_t>(0xFFFF, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (IsOlder()) return Word(91);
    if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return Word(146);
    return type == SPD_TYPE_DDR4 ? Byte(349) : 0xFFFF;
  });
}

const char* SPD::sModulePartNumber() {
  return DecodeText([&]() -> const char* {
    const ManufacturingLayout* layout = LayoutOf(DeviceType());
    if (layout == nullptr) return Unknown;
    size_t length = 0;
    for (; length < layout->partNumberLength; ++length) {
      uint32_t c = Byte(layout->partNumber + length);
      if (c == 0) break;
      m_szText[length] = (c < 32 || c == '"' || c >= 127) ? ' ' : static_cast<char>(c);
    }
    m_szText[length] = '\0';
    return m_szText;
  });
}

const char* SPD::sModuleManufacturingDate() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    const ManufacturingLayout* layout = LayoutOf(type);
    if (layout == nullptr) return Unknown;
    uint32_t year = Byte(layout->dateYear);
    uint32_t week = Byte(layout->dateYear + 1);
    if (type == SPD_TYPE_RAMBUS || type == SPD_TYPE_RAMBUS_SO) return Format("%u,%u", 1900 + year, week);
    if (IsOlder()) return Format("%u,%u", year + (year < 91 ? 2000 : 1900), week);
    // The newer generations store year and week in BCD.
    return Format("%X,%X", 0x2000 + year, week);
  });
}

const char* SPD::Manufacturer(size_t bankOffset, size_t codeOffset) const {
  return DecodeText([&]() { return JEDECManufacturer(Byte(bankOffset) & 0x7F, Byte(codeOffset)); });
}

// Older modules name their maker by a JEP106 continuation sequence of up to
// eight bytes: one 0x7F per bank to skip, then the code.
const char* SPD::ContinuationManufacturer(size_t offset) const {
  return DecodeText([&]() -> const char* {
    for (uint32_t bank = 0; bank < 8; ++bank) {
      uint32_t code = Byte(offset + bank);
      if (code != 0x7F) return JEDECManufacturer(bank, code);
    }
    return Unknown;
  });
}

const char* SPD::sModuleManufacturer() const {
  const ManufacturingLayout* layout = LayoutOf(DeviceType());
  if (layout == nullptr) return Unknown;
  if (IsOlder()) return ContinuationManufacturer(layout->manufacturer);
  return Manufacturer(layout->manufacturer, layout->manufacturer + 1);
}

const char* SPD::sDeviceManufacturer() const {
  uint32_t type = DeviceType();
  if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return Manufacturer(148, 149);
  return type == SPD_TYPE_DDR4 ? Manufacturer(350, 351) : Unknown;
}

const char* SPD::sRegisterManufacturer() const {
  uint32_t type = DeviceType();
  uint32_t moduleType = ModuleType();
  if (type == SPD_TYPE_FBD_DDR2) return Manufacturer(115, 116);
  if (type == SPD_TYPE_DDR3 && IsRegisteredType(moduleType)) return Manufacturer(65, 66);
  if (type == SPD_TYPE_DDR4 && (moduleType == 1 || moduleType == 12)) return Manufacturer(133, 134);
  return Unknown;
}

const char* SPD::sSPDRevision() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FBD_DDR2) return Format("%X.%X", Byte(1) >> 4, Byte(1) & 15);
    if (type == SPD_TYPE_RAMBUS || type == SPD_TYPE_RAMBUS_SO) {
      uint32_t layout = Byte(0);
      return layout == 1 ? "0.7" : layout == 2 ? "1.0" : Unknown;
    }
    if (type != SPD_TYPE_UNKNOWN) return Format("%u.%u", Byte(62) >> 4, Byte(62) & 15);
    return Unknown;
  });
}
