#include "firmware/spd_decoder.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "firmware/jep106_table.h"

namespace {

struct CodeText {
  uint32_t code;
  const char* text;
};

template <size_t N>
const char* Lookup(const CodeText (&table)[N], uint32_t code) {
  for (const CodeText& entry : table)
    if (entry.code == code) return entry.text;
  return SPD::Unknown;
}

struct CodeMap {
  uint32_t from;
  uint32_t to;
};

template <size_t N>
uint32_t Map(const CodeMap (&table)[N], uint32_t code, uint32_t otherwise) {
  for (const CodeMap& entry : table)
    if (entry.from == code) return entry.to;
  return otherwise;
}

template <size_t N>
uint32_t Translate(const uint32_t (&codes)[N], uint32_t index, uint32_t otherwise) {
  return index < N ? codes[index] : otherwise;
}

bool OneOf(uint32_t value, std::initializer_list<uint32_t> set) {
  for (uint32_t candidate : set)
    if (candidate == value) return true;
  return false;
}

constexpr uint32_t kUndefined = 0xFFFFFFFF;

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

constexpr CodeText kModuleWidths[] = {
    {1, "133.35 mm"}, {2, "133.35 mm"}, {11, "133.35 mm"}, {12, "133.35 mm"}, {3, "67.6 mm"},
    {7, "67.6 mm"},   {8, "67.6 mm"},   {9, "67.6 mm"},    {10, "67.6 mm"},   {13, "67.6 mm"},
    {14, "67.6 mm"},  {4, "54.0 mm"},   {5, "82.00 mm"},   {6, "82.00 mm"},
};

constexpr CodeText kDdr2Heights[] = {
    {0, "< 25.4 mm"}, {1, "25.4 mm"}, {2, "25.4 - 30.0 mm"}, {3, "30.0 mm"}, {4, "30.5 mm"}, {5, "> 30.5 mm"},
};
constexpr CodeText kFbdHeights[] = {
    {1, "15 - 20 mm"}, {2, "20 - 25 mm"}, {3, "25 - 30 mm"}, {4, "30 - 35 mm"}, {5, "35 - 40 mm"},
};

constexpr CodeText kFullSizeThickness[] = {
    {1, "<= 4.10 mm"}, {2, "4.10 - 6.75 mm"}, {3, "6.75 - 7.55 mm"}, {4, "> 7.55 mm"},
};
constexpr CodeText kSmallOutlineThickness[] = {{1, "<= 3.80 mm"}, {2, "> 3.80 mm"}};
constexpr CodeText kMiniThickness[] = {
    {1, "<= 3.85 mm"}, {2, "3.85 - 6.45 mm"}, {3, "6.45 - 7.25 mm"}, {4, "> 7.25 mm"},
};
constexpr CodeText kFullyBufferedThickness[] = {
    {1, "<= 6.0 mm"}, {2, "6.0 - 7.0 mm"}, {3, "7.0 - 8.0 mm"}, {4, "8.0 - 9.0 mm"}, {5, "> 9.0 mm"},
};

constexpr CodeText kDataConfigurations[] = {{1, "None"}, {2, "Parity"}, {3, "ECC"}};
constexpr CodeText kIncorporated[] = {{1, "NotIncorporated"}, {2, "Incorporated"}};
constexpr CodeText kYesNo[] = {{1, "NO"}, {2, "YES"}};

constexpr CodeText kSDRAMPackages[] = {
    {1, "SDP - Monolithic - 1 Die"},          {2, "DDP - Multi-load stack - 2 Die"},
    {3, "QDP - Multi-load stack - 4 Die"},    {4, "2H 3DS - Single load stack - 2 Die"},
    {5, "3H 3DS - Single load stack - 3 Die"}, {6, "4H 3DS - Single load stack - 4 Die"},
    {7, "5H 3DS - Single load stack - 5 Die"}, {8, "6H 3DS - Single load stack - 6 Die"},
    {9, "7H 3DS - Single load stack - 7 Die"}, {10, "8H 3DS - Single load stack - 8 Die"},
};

constexpr CodeText kInterfaceLevels[] = {
    {0, "5.0V/TTL"}, {1, "LVTTL"}, {2, "HSTL1.5"}, {3, "SSTL3.3"}, {4, "SSTL2.5"}, {5, "SSTL1.8"},
};
constexpr CodeText kFbdVoltages[] = {{0, "Undefined"}, {1, "1.8V"}, {2, "1.5V"}, {3, "1.2V"}};
constexpr CodeText kDdr3Voltages[] = {
    {0, "1.5V"}, {2, "1.35V/1.5V"}, {3, "1.35V"}, {4, "1.2xV/1.5V"}, {5, "1.2xV"}, {6, "1.2xV/1.35V/1.5V"},
    {7, "1.2xV/1.35V"},
};
constexpr CodeText kDdr4Voltages[] = {{0x01, "1.2V"}, {0x05, "1.2V"}, {0x15, "1.2V"},
                                      {0x04, ""},     {0x10, ""},     {0x14, ""}};

constexpr const char* kDdrCasLatencies[] = {"1", "1.5", "2", "2.5", "3", "3.5"};

// Fractions of a nanosecond in the low nibble of the SDRAM/DDR/DDR2 cycle time.
constexpr uint32_t kCycleFractions[] = {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 250, 333, 666, 750, 0, 0};

// Upper cycle-time limits (ps, exclusive) of each bus frequency, fastest first.
struct FrequencyStep {
  uint32_t cycleBelow;
  uint32_t frequency;
};
constexpr FrequencyStep kBusFrequencies[] = {
    {626, 1600}, {751, 1333}, {834, 1200}, {939, 1066}, {1073, 933}, {1251, 800}, {1501, 667}, {1876, 533},
    {2501, 400}, {3001, 333}, {3751, 266}, {5001, 200}, {6001, 166}, {7501, 133}, {10001, 100}, {15201, 66},
};
constexpr CodeText kDataRates[] = {
    {66, "133"},   {100, "200"},  {133, "266"},  {166, "333"},  {200, "400"},   {266, "533"},
    {333, "667"},  {400, "800"},  {533, "1066"}, {667, "1333"}, {800, "1600"},  {933, "1866"},
    {1066, "2133"}, {1200, "2400"}, {1333, "2666"}, {1600, "3200"},
};

// Where the generations keep their manufacturing data.
struct ManufacturingLayout {
  size_t location;
  size_t serial;
  size_t partNumber;
  size_t partNumberLength;
  size_t moduleBank;
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

bool IsRegisteredType(uint32_t moduleType) { return OneOf(moduleType, {1, 5, 9, 12}); }
bool IsUnbufferedType(uint32_t moduleType) { return OneOf(moduleType, {2, 3, 4, 6, 7, 8, 10, 13, 14}); }

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

template <class Result, class Compute>
Result SPD::Decode(Result absent, Compute compute) const {
  bool outerShort = m_bShort;
  m_bShort = false;
  Result result = compute();
  bool wasShort = m_bShort;
  m_bShort = outerShort || wasShort;
  return wasShort ? absent : result;
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

// Older modules name their maker by a JEP106 continuation sequence: one 0x7F
// per bank to skip, then the code.
const char* SPD::ContinuationManufacturer() const {
  return DecodeText([&]() -> const char* {
    for (uint32_t bank = 0; bank < 8; ++bank) {
      uint32_t code = Byte(64 + bank);
      if (code != 0x7F) return JEDECManufacturer(bank, code);
    }
    return Unknown;
  });
}

const char* SPD::sModuleManufacturer() const {
  uint32_t type = DeviceType();
  if (IsOlder()) return ContinuationManufacturer();
  if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return Manufacturer(117, 118);
  return type == SPD_TYPE_DDR4 ? Manufacturer(320, 321) : Unknown;
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

// ---- Organisation ---------------------------------------------------------

uint32_t SPD::PrimaryBusWidth() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    static constexpr uint32_t kWidths[] = {8, 16, 32, 64};
    switch (DeviceType()) {
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2:
      case SPD_TYPE_FBD_DDR2:
        return 64;
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 16;
      case SPD_TYPE_DDR3:
        return Translate(kWidths, Byte(8) & 7, kUndefined);
      case SPD_TYPE_DDR4:
        return Translate(kWidths, Byte(13) & 7, kUndefined);
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::DataWidth() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) return Word(6);
    switch (type) {
      case SPD_TYPE_DDR2:
        return Byte(6);
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return Byte(100);
      case SPD_TYPE_FBD_DDR2:
        return 72;
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        uint32_t primary = PrimaryBusWidth();
        uint32_t extension = (Byte(type == SPD_TYPE_DDR3 ? 8 : 13) >> 3) & 3;
        if (primary == kUndefined) return kUndefined;
        return extension == 0 ? primary : extension == 1 ? primary + 8 : kUndefined;
      }
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::DataConfiguration() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) {
      static constexpr uint32_t kByErrorDetection[] = {1, 2, 3};
      return Translate(kByErrorDetection, Byte(11), 0);
    }
    switch (type) {
      case SPD_TYPE_DDR2: {
        uint32_t detection = Byte(11);
        return (detection & 2) ? 3 : (detection & 1) ? 2 : 1;
      }
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO: {
        static constexpr CodeMap kByWidth[] = {{16, 1}, {18, 3}};
        return Map(kByWidth, DataWidth(), 0);
      }
      case SPD_TYPE_FBD_DDR2:
        return 3;
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        static constexpr CodeMap kByWidth[] = {{64, 1}, {72, 3}};
        return Map(kByWidth, DataWidth(), 0);
      }
      default:
        return 0;
    }
  });
}

const char* SPD::sDataConfiguration() const { return Lookup(kDataConfigurations, DataConfiguration()); }

uint32_t SPD::ModuleThermalSensor() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_DDR3) return (Byte(32) & 0x80) ? 2 : 1;
    if (type == SPD_TYPE_DDR4) return (Byte(14) & 0x80) ? 2 : 1;
    return 0;
  });
}

const char* SPD::sModuleThermalSensor() const { return Lookup(kIncorporated, ModuleThermalSensor()); }

uint32_t SPD::HeatSpreaderSolution() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    uint32_t moduleType = ModuleType();
    size_t offset = 0;
    if (type == SPD_TYPE_DDR3 && OneOf(moduleType, {1, 5, 9})) offset = 64;
    if (type == SPD_TYPE_DDR3 && moduleType == 12) offset = 63;
    if (type == SPD_TYPE_DDR4 && (moduleType == 1 || moduleType == 12)) offset = 132;
    if (offset == 0) return 0;
    return (Byte(offset) & 0x80) ? 2 : 1;
  });
}

const char* SPD::sHeatSpreaderSolution() const { return Lookup(kIncorporated, HeatSpreaderSolution()); }

uint32_t SPD::SDRAMDeviceType() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type != SPD_TYPE_DDR3 && type != SPD_TYPE_DDR4) return 0;
    uint32_t package = Byte(type == SPD_TYPE_DDR3 ? 33 : 6);
    if (!(package & 0x80)) return 1;
    uint32_t dies = (package >> 4) & 7;
    uint32_t loading = package & 3;
    if (loading == 1) {
      if (dies == (type == SPD_TYPE_DDR3 ? 2u : 1u)) return 2;
      return dies == 3 ? 3 : 0;
    }
    if (loading == 2) {
      static constexpr CodeMap kDdr3Stacks[] = {{2, 4}, {3, 6}, {4, 10}};
      if (type == SPD_TYPE_DDR3) return Map(kDdr3Stacks, dies, 0);
      return dies >= 1 ? dies + 3 : 0;
    }
    return 0;
  });
}

const char* SPD::sSDRAMDeviceType() const { return Lookup(kSDRAMPackages, SDRAMDeviceType()); }

uint32_t SPD::DRAMStepping() const {
  return Decode<uint32_t>(kUndefined, [&]() { return DeviceType() == SPD_TYPE_DDR4 ? Byte(352) : kUndefined; });
}

uint32_t SPD::SDRAMCapacity() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type != SPD_TYPE_DDR3 && type != SPD_TYPE_DDR4) return 0;
    uint32_t code = Byte(4) & 15;
    return code <= 7 ? 256u << code : 0;
  });
}

uint32_t SPD::SDRAMDeviceWidth() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    static constexpr uint32_t kWidths[] = {4, 8, 16, 32};
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR2) return Byte(13) & 0x7F;
    if (type == SPD_TYPE_FBD_DDR2 || type == SPD_TYPE_DDR3) return Translate(kWidths, Byte(7) & 7, kUndefined);
    if (type == SPD_TYPE_DDR4) return Translate(kWidths, Byte(12) & 7, kUndefined);
    return kUndefined;
  });
}

uint32_t SPD::NumberOfRanks() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) return Byte(5);
    switch (type) {
      case SPD_TYPE_DDR2:
        return (Byte(5) & 7) + 1;
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 1;
      case SPD_TYPE_FBD_DDR2:
        return (Byte(7) & 0x38) >> 3;
      case SPD_TYPE_DDR3: {
        static constexpr uint32_t kRanks[] = {1, 2, 3, 4, 8};
        return Translate(kRanks, (Byte(7) >> 3) & 7, kUndefined);
      }
      case SPD_TYPE_DDR4: {
        uint32_t packageRanks = (Byte(12) >> 3) & 7;
        if (packageRanks > 3) return kUndefined;
        // A 3DS stack shows as one rank per die to the address logic.
        uint32_t package = SDRAMDeviceType();
        uint32_t dies = package <= 3 ? 1 : package - 2;
        return dies * (packageRanks + 1);
      }
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::NumberOfBanks() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_FPM:
      case SPD_TYPE_EDO:
        return 1;
      case SPD_TYPE_SDRAM:
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2:
        return Byte(17);
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        return 1u << (Byte(5) & 7);
      case SPD_TYPE_FBD_DDR2:
        return 4u << (Byte(4) & 3);
      case SPD_TYPE_DDR3: {
        static constexpr uint32_t kBanks[] = {8, 16, 32, 64};
        return Translate(kBanks, (Byte(4) >> 4) & 7, kUndefined);
      }
      case SPD_TYPE_DDR4: {
        static constexpr uint32_t kGroups[] = {1, 2, 4, 0};
        static constexpr uint32_t kBanksPerGroup[] = {4, 8};
        uint32_t density = Byte(4);
        uint32_t perGroup = Translate(kBanksPerGroup, (density >> 4) & 3, kUndefined);
        return perGroup == kUndefined ? kUndefined : kGroups[density >> 6] * perGroup;
      }
      default:
        return kUndefined;
    }
  });
}

uint32_t SPD::NumberOfBankAddressBits() const {
  static constexpr CodeMap kBits[] = {{2, 1}, {4, 2}, {8, 3}, {16, 4}, {32, 5}, {64, 6}};
  return Map(kBits, NumberOfBanks(), 0);
}

// Rows and columns share their rules; only the bytes differ.
uint32_t SPD::AddressBits(uint32_t rank, bool rows) const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR) {
      // Low nibble rank 0, high nibble rank 1 (0 there: same as rank 0).
      if (rank >= 2) return 0;
      uint32_t value = Byte(rows ? 3 : 4);
      uint32_t nibble = (rank == 1 && (value >> 4) != 0) ? value >> 4 : value & 15;
      return nibble == 1 ? 16 : nibble == 2 ? 17 : nibble;
    }
    if ((type == SPD_TYPE_DDR2 || type >= SPD_TYPE_FBD_DDR2) && rank >= NumberOfRanks()) return 0;
    switch (type) {
      case SPD_TYPE_DDR2:
        return rows ? Byte(3) & 31 : Byte(4) & 15;
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO:
        if (Byte(0) == 1) return Byte(rows ? 3 : 4);
        return rows ? Byte(4) >> 4 : Byte(4) & 15;
      case SPD_TYPE_FBD_DDR2:
        return rows ? (Byte(4) >> 5) + 12 : ((Byte(4) & 0x1C) >> 2) + 9;
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        uint32_t addressing = Byte(5);
        uint32_t code = rows ? (addressing >> 3) & 7 : addressing & 7;
        if (code > (rows ? 6u : 3u)) return 0;
        return (rows ? 12 : 9) + code;
      }
      default:
        return 0;
    }
  });
}

uint32_t SPD::NumberOfRowAddressBits(uint32_t rank) const { return AddressBits(rank, true); }
uint32_t SPD::NumberOfColumnAddressBits(uint32_t rank) const { return AddressBits(rank, false); }

uint32_t SPD::MemorySize() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if ((type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR2) || type == SPD_TYPE_FBD_DDR2) {
      // 64 data bits per address: banks x 2^(rows + columns) x 8 bytes, in MB.
      uint64_t total = 0;
      uint32_t ranks = NumberOfRanks();
      uint64_t banks = NumberOfBanks();
      for (uint32_t rank = 0; rank < ranks; ++rank) {
        uint32_t bits = NumberOfRowAddressBits(rank) + NumberOfColumnAddressBits(rank);
        if (bits > 40) return 0;
        total += (banks << bits) >> 17;
      }
      return total > 0xFFFFFFFF ? 0 : static_cast<uint32_t>(total);
    }
    if (type == SPD_TYPE_DDR3 || type == SPD_TYPE_DDR4) {
      uint32_t width = PrimaryBusWidth();
      uint32_t deviceWidth = SDRAMDeviceWidth();
      uint32_t ranks = NumberOfRanks();
      if (width == kUndefined || deviceWidth == kUndefined || ranks == kUndefined) return 0;
      return width * (SDRAMCapacity() / 8) / deviceWidth * ranks;
    }
    if (type == SPD_TYPE_RAMBUS || type == SPD_TYPE_RAMBUS_SO) {
      uint32_t bits = NumberOfRowAddressBits(0) + NumberOfColumnAddressBits(0);
      if (bits > 40) return 0;
      uint64_t size = (uint64_t{1} << bits) * (Byte(99) & 63) * NumberOfBanks() / 65536;
      return size > 0xFFFFFFFF ? 0 : static_cast<uint32_t>(size);
    }
    return 0;
  });
}

// ---- Timing ---------------------------------------------------------------

uint32_t SPD::SDRAMCycleTime() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_SDRAM:
        // Modules marked 0x66 in byte 126 run at 66 MHz whatever byte 9 says.
        if (Byte(126) == 0x66) return 15152;
        [[fallthrough]];
      case SPD_TYPE_DDR:
      case SPD_TYPE_DDR2: {
        uint32_t cycle = Byte(9);
        return (cycle >> 4) * 1000 + kCycleFractions[cycle & 15];
      }
      case SPD_TYPE_FBD_DDR2: {
        uint32_t divisor = Byte(10);
        return divisor ? Byte(9) * Byte(11) * 1000 / divisor : 0;
      }
      case SPD_TYPE_DDR3: {
        // Medium time base (bytes 10/11, ns) units plus signed fine time base
        // (byte 9, ps) units.
        uint32_t fineBase = Byte(9);
        uint32_t mediumDivisor = Byte(11);
        if ((fineBase & 15) == 0 || mediumDivisor == 0) return 0;
        int32_t fine = static_cast<int8_t>(Byte(34)) * static_cast<int32_t>(fineBase >> 4) /
                       static_cast<int32_t>(fineBase & 15);
        int32_t medium = static_cast<int32_t>(Byte(10) * Byte(12) * 1000 / mediumDivisor);
        return static_cast<uint32_t>(medium + fine);
      }
      case SPD_TYPE_DDR4: {
        // Only the standard time bases (125 ps / 1 ps) are defined.
        if (Byte(17) & 15) return 0;
        return static_cast<uint32_t>(static_cast<int32_t>(Byte(18)) * 125 + static_cast<int8_t>(Byte(125)));
      }
      default:
        return 0;
    }
  });
}

uint32_t SPD::BusFrequency() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_RAMBUS || type == SPD_TYPE_RAMBUS_SO)
      return Byte(0) == 2 ? Byte(37) + ((Byte(35) & 15) << 8) : 400;
    if (!OneOf(type, {SPD_TYPE_SDRAM, SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3, SPD_TYPE_DDR4}))
      return kUndefined;
    uint32_t cycle = SDRAMCycleTime();
    for (const FrequencyStep& step : kBusFrequencies)
      if (cycle < step.cycleBelow) return step.frequency;
    return 0;
  });
}

uint32_t SPD::DDRFrequencyType() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    if (!OneOf(DeviceType(), {SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3, SPD_TYPE_DDR4})) return 0;
    // Double data rate: twice the bus clock, with the marketing roundings.
    const char* rate = Lookup(kDataRates, BusFrequency());
    return IsValid(rate) ? static_cast<uint32_t>(std::strtoul(rate, nullptr, 10)) : 0;
  });
}

const char* SPD::sDDRFrequencyType() {
  uint32_t rate = DDRFrequencyType();
  return rate ? Format("DDR%u", rate) : Unknown;
}

uint32_t SPD::TCaseMax() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    switch (DeviceType()) {
      case SPD_TYPE_FBD_DDR2:
        return 85 + 2 * (Byte(33) >> 4);
      case SPD_TYPE_DDR2:
        return 85 + 2 * (Byte(47) >> 4);
      case SPD_TYPE_DDR3:
        return (Byte(31) & 1) ? 95 : 85;
      default:
        return kUndefined;
    }
  });
}

// ---- Registers, buffers and parity ----------------------------------------

uint32_t SPD::RegisterRevisionNumber() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    uint32_t moduleType = ModuleType();
    if (type == SPD_TYPE_DDR3 && OneOf(moduleType, {1, 5, 9})) return Byte(67);
    if (type == SPD_TYPE_DDR3 && moduleType == 12) return Byte(64);
    if (type == SPD_TYPE_DDR4 && (moduleType == 1 || moduleType == 12)) return Byte(135);
    return kUndefined;
  });
}

uint32_t SPD::DataBufferRevisionNumber() const {
  return Decode<uint32_t>(kUndefined, [&]() -> uint32_t {
    return DeviceType() == SPD_TYPE_DDR4 && ModuleType() == 12 ? Byte(139) : kUndefined;
  });
}

uint32_t SPD::AddressCommandParity() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (OneOf(type, {SPD_TYPE_FPM, SPD_TYPE_EDO, SPD_TYPE_SDRAM, SPD_TYPE_DDR, SPD_TYPE_RAMBUS, SPD_TYPE_RAMBUS_SO,
                     SPD_TYPE_FBD_DDR2}))
      return 1;
    if (type == SPD_TYPE_DDR2) return (Byte(11) & 4) ? 2 : 1;
    if (type == SPD_TYPE_DDR3) {
      uint32_t moduleType = ModuleType();
      return IsRegisteredType(moduleType) ? 2 : IsUnbufferedType(moduleType) ? 1 : 0;
    }
    return type == SPD_TYPE_DDR4 ? 2 : 0;
  });
}

const char* SPD::sAddressCommandParity() const { return Lookup(kYesNo, AddressCommandParity()); }

uint32_t SPD::BufferedRegistered() const {
  return Decode<uint32_t>(0, [&]() -> uint32_t {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_SDRAM || type == SPD_TYPE_DDR) {
      static constexpr uint32_t kByAttributes[] = {1, 2, 3, 3};
      return kByAttributes[Byte(21) & 3];
    }
    if (!OneOf(type, {SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3, SPD_TYPE_DDR4})) return 0;
    uint32_t moduleType = ModuleType();
    if (IsRegisteredType(moduleType)) return 3;
    if (IsUnbufferedType(moduleType)) return 1;
    return moduleType == 11 ? 2 : 0;
  });
}

// ---- Physical and electrical texts ----------------------------------------

const char* SPD::sModuleWidth() const { return Lookup(kModuleWidths, ModuleType()); }

const char* SPD::sModuleHeigth() {
  return DecodeText([&]() -> const char* {
    switch (DeviceType()) {
      case SPD_TYPE_DDR2:
        return Lookup(kDdr2Heights, Byte(5) >> 5);
      case SPD_TYPE_FBD_DDR2:
        return Lookup(kFbdHeights, (Byte(5) >> 3) & 7);
      case SPD_TYPE_DDR3:
      case SPD_TYPE_DDR4: {
        uint32_t height = Byte(DeviceType() == SPD_TYPE_DDR3 ? 60 : 128) & 31;
        if (height == 0) return "<= 15 mm";
        if (height == 31) return "> 45 mm";
        return Format("%u - %u mm", height + 14, height + 15);
      }
      default:
        return Unknown;
    }
  });
}

const char* SPD::sModuleThickness() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_DDR3 || type == SPD_TYPE_DDR4) {
      uint32_t thickness = Byte(type == SPD_TYPE_DDR3 ? 61 : 129);
      uint32_t sum = (thickness >> 4) + (thickness & 15);
      return Format("%u - %u mm", sum, sum + 2);
    }
    if (type != SPD_TYPE_DDR2 && type != SPD_TYPE_FBD_DDR2) return Unknown;
    uint32_t code = Byte(type == SPD_TYPE_DDR2 ? 19 : 5) & 7;
    switch (ModuleType()) {
      case 1:
      case 2:
        return Lookup(kFullSizeThickness, code);
      case 3:
      case 4:
        return Lookup(kSmallOutlineThickness, code);
      case 5:
      case 6:
        return Lookup(kMiniThickness, code);
      case 11:
        return Lookup(kFullyBufferedThickness, code);
      default:
        return Unknown;
    }
  });
}

const char* SPD::sVoltageInterface() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_DDR2) return Lookup(kInterfaceLevels, Byte(8));
    switch (type) {
      case SPD_TYPE_RAMBUS:
      case SPD_TYPE_RAMBUS_SO: {
        uint32_t layout = Byte(0);
        bool lowVoltage = (layout == 1 && Byte(110) == 0) || (layout == 2 && (Byte(105) & 15) == 0);
        return lowVoltage ? "1.8V" : Unknown;
      }
      case SPD_TYPE_FBD_DDR2: {
        uint32_t levels = Byte(3);
        return Format("CHAN=%s/DRAM=%s", Lookup(kFbdVoltages, levels & 15), Lookup(kFbdVoltages, levels >> 4));
      }
      case SPD_TYPE_DDR3:
        return Lookup(kDdr3Voltages, Byte(6) & 7);
      case SPD_TYPE_DDR4:
        return Lookup(kDdr4Voltages, Byte(11) & 0x15);
      default:
        return Unknown;
    }
  });
}

// ---- Lists and technology -------------------------------------------------

const char* SPD::sSupportedCASLatencies() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    m_szText[0] = '\0';
    if (type == SPD_TYPE_DDR) {
      uint32_t mask = Byte(18);
      for (uint32_t bit = 0; bit < 6; ++bit)
        if (mask & (1u << bit)) Append("%s;", kDdrCasLatencies[bit]);
      return m_szText;
    }
    // Each set bit stands for one latency: bit number plus the first value.
    uint32_t mask, bits, first;
    if (type >= SPD_TYPE_FPM && type <= SPD_TYPE_SDRAM) {
      mask = Byte(18), bits = 7, first = 1;
    } else if (type == SPD_TYPE_DDR2) {
      mask = Byte(18), bits = 6, first = 0;
    } else if (type == SPD_TYPE_DDR3) {
      mask = Word(14), bits = 15, first = 4;
    } else if (type == SPD_TYPE_DDR4) {
      mask = Dword(20), bits = 18, first = 7;
    } else {
      return Unknown;
    }
    for (uint32_t bit = 0; bit < bits; ++bit)
      if (mask & (1u << bit)) Append("%u;", bit + first);
    return m_szText;
  });
}

const char* SPD::sSupportedBurstLengths() {
  return DecodeText([&]() -> const char* {
    uint32_t type = DeviceType();
    if (type == SPD_TYPE_DDR3 || type == SPD_TYPE_DDR4) return "8;(4);";
    if (type < SPD_TYPE_FPM || type > SPD_TYPE_DDR2) return "";
    uint32_t mask = Byte(16);
    m_szText[0] = '\0';
    for (uint32_t bit = 0; bit < 4; ++bit)
      if (mask & (1u << bit)) Append("%u;", 1u << bit);
    return m_szText;
  });
}

const char* SPD::sDeviceTechnology() {
  return DecodeText([&]() -> const char* {
    if (!OneOf(DeviceType(), {SPD_TYPE_SDRAM, SPD_TYPE_DDR, SPD_TYPE_DDR2, SPD_TYPE_FBD_DDR2, SPD_TYPE_DDR3,
                              SPD_TYPE_DDR4}))
      return Unknown;
    uint32_t rows = NumberOfRowAddressBits(0);
    uint32_t columns = NumberOfColumnAddressBits(0);
    uint32_t bankBits = NumberOfBankAddressBits();
    uint32_t bits = rows + columns + bankBits;
    // Addresses per device in k, M or G; anything beyond 2^31 G is garbage.
    if (bits < 10 || bits > 61) return Unknown;
    if (bits < 20)
      Format("%uk", 1u << (bits - 10));
    else if (bits > 29)
      Format("%uG", 1u << (bits - 30));
    else
      Format("%uM", 1u << (bits - 20));
    Append("x%u/%ux%ux%u", SDRAMDeviceWidth(), rows, columns, bankBits);
    return m_szText;
  });
}
