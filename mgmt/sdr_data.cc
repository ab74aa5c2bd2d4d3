#include "mgmt/sdr_data.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

struct CodeText {
  uint8_t code;
  const char* text;
};

const char* LookUp(std::span<const CodeText> table, uint8_t code, const char* fallback) {
  for (const CodeText& row : table)
    if (row.code == code) return row.text;
  return fallback;
}

constexpr CodeText kRecordTypeNames[] = {
    {0x01, "Full SDR"},
    {0x02, "Compact SDR"},
    {0x08, "Entity Association SDR"},
    {0x10, "Device Locator SDR"},
    {0x11, "FRU Locator SDR"},
    {0x12, "Managment Controller SDR"},
    {0x13, "Managment Controller Confirm. SDR"},
    {0x14, "BMC Message Channel SDR"},
};

// Sensor unit names by unit code; the IPMI wording except for the first
// three temperature units, which this program has always spelled its own way.
constexpr const char* kUnitNames[] = {
    "N/A", "degree C", "degree F", "degree K", "Volts", "Amps", "Watts", "Joules",
    "Coulombs", "VA", "Nits", "lumen", "lux", "Candela", "kPa", "PSI",
    "Newton", "CFM", "RPM", "Hz", "microsecond", "millisecond", "second", "minute",
    "hour", "day", "week", "mil", "inches", "feet", "cu in", "cu feet",
    "mm", "cm", "m", "cu cm", "cu m", "liters", "fluid ounce", "radians",
    "steradians", "revolutions", "cycles", "gravities", "ounce", "pound", "ft-lb", "oz-in",
    "gauss", "gilberts", "henry", "millihenry", "farad", "microfarad", "ohms", "siemens",
    "mole", "becquerel", "PPM (parts/million)", "", "Decibels", "Dba", "DbC", "gray",
    "sievert", "color temp deg K", "bit", "kilobit", "megabit", "gigabit", "byte", "kilobyte",
    "megabyte", "gigabyte", "word (data)", "dword", "qword", "line (re. mem. line)", "hit", "miss",
    "retry", "reset", "overrun / overflow", "underrun", "collision", "packets", "messages", "characters",
    "error", "correctable error", "uncorrectable erreor",
};

constexpr CodeText kSensorTypeNames[] = {
    {0x00, "reserved"},
    {0x01, "Temperature"},
    {0x02, "Voltage"},
    {0x03, "Current"},
    {0x04, "Fan"},
    {0x05, "Physical Security (Chassis Intrusion)"},
    {0x06, "Platform Security Violation Attempt"},
    {0x07, "Processor"},
    {0x08, "Power Supply"},
    {0x09, "Power Unit"},
    {0x0A, "Cooling Device"},
    {0x0B, "Other Units-based Sensor (per units given in SDR)"},
    {0x0C, "Memory"},
    {0x0D, "Drive Slot (Bay)"},
    {0x0E, "POST Memory Resize"},
    {0x0F, "System Firmware Progress (formerly POST Error)"},
    {0x10, "Event Logging Disabled"},
    {0x11, "Watchdog 1"},
    {0x12, "System Event"},
    {0x13, "Critical Interrupt"},
    {0x14, "Button / Switch"},
    {0x15, "Module / Board"},
    {0x16, "Microcontroller / Coprocessor"},
    {0x17, "Add-in Card"},
    {0x18, "Chassis"},
    {0x19, "Chip Set"},
    {0x1A, "Other FRU"},
    {0x1B, "Cable / Interconnect"},
    {0x1C, "Terminator"},
    {0x1D, "System Boot / Restart Initiated"},
    {0x1E, "Boot Error"},
    {0x1F, "Base OS Boot / Installation Status"},
    {0x20, "OS Stop / Shutdown"},
    {0x21, "Slot / Connector"},
    {0x22, "System ACPI Power State"},
    {0x23, "Watchdog 2"},
    {0x24, "Platform Alert"},
    {0x25, "Entity Presence"},
    {0x26, "Monitor ASIC / IC"},
    {0x27, "LAN"},
    {0x28, "Management Subsystem Health"},
    {0x29, "Battery"},
    {0x2A, "Session Audit"},
    {0x2B, "Version Change"},
    {0x2C, "FRU State"},
    // The controller's own sensor types.
    {0xC0, "I2C Bus"},
    {0xC8, "Accounting"},
    {0xC9, "Remote Power"},
    {0xCA, "Alerting"},
    {0xCB, "Diagnostic"},
    {0xCC, "Misc"},
    {0xDE, "Memory Status"},
    {0xDF, "Memory Config"},
    {0xE0, "OEM Sensor E0"},
    {0xE1, "OEM Sensor E1"},
    {0xE2, "PowerOn / Wake"},
    {0xE3, "OEM Sensor E3"},
    {0xE4, "OEM Sensor E4"},
    {0xE6, "Fan Status"},
    {0xE8, "PSU Status"},
    {0xE9, "PSU Redundancy"},
    {0xEA, "BMC Request"},
    {0xEE, "Communication Sensor"},
    {0xEF, "OEM Sensor EF"},
    {0xF0, "OEM Sensor F0"},
};

// Report order: critical before non-critical, upper before lower.
constexpr _SdrThreshold kThresholds[] = {
    {"UpperCritical", 0x10, 37},
    {"LowerCritical", 0x02, 40},
    {"UpperNonCritical", 0x08, 38},
    {"LowerNonCritical", 0x01, 41},
};

// Offsets of the ID string's type/length byte.
constexpr size_t kFullIdOffset = 47;
constexpr size_t kCompactIdOffset = 31;
constexpr size_t kLocatorIdOffset = 15;

// Sign-extends the low `bits` bits of value.
int SignExtend(unsigned value, int bits) {
  unsigned sign = 1u << (bits - 1);
  value &= (1u << bits) - 1;
  return int(value ^ sign) - int(sign);
}

// ID strings are 8-bit text; bytes above 0x7F are taken as Latin-1 and
// control characters dropped so that the report stays valid XML.
std::string IdStringToText(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c < 0x20 || c == 0x7F) continue;
    if (c < 0x80) {
      text.push_back(char(c));
    } else {
      text.push_back(char(0xC0 | c >> 6));
      text.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return text;
}

constexpr double kConversionError = 4294967295.0;

double Linearize(double y, uint8_t linearization) {
  switch (linearization) {
    case 0: return y;
    case 1: return y > 0 ? std::log(y) : kConversionError;
    case 2: return y > 0 ? std::log10(y) : kConversionError;
    case 3: return y > 0 ? std::log(y) / std::log(2.0) : kConversionError;
    case 4: return std::exp(y);
    case 5: return std::exp(y * std::log(10.0));
    case 6: return std::exp(y * std::log(2.0));
    case 7: return y == 0 ? 2147483647.0 : 1 / y;
    case 8: return y * y;
    case 9: return y * y * y;
    case 10: return y >= 0 ? std::sqrt(y) : kConversionError;
    default:
      // 0x70-0x7F are non-linear OEM sensors, read as they come.
      return linearization >= 0x70 ? y : kConversionError;
  }
}

bool IsIntegerUnit(uint8_t unit) { return unit == 1 || unit == 6 || unit == 18; }

}  // namespace

void CSdrData::SetRecord(const uint8_t* bytes, size_t length) { m_Record.SetDataStream(bytes, length); }

CByteReader CSdrData::Fields() const {
  if (m_Record.size() < 5) return CByteReader(nullptr, 0);
  return CByteReader(m_Record.data(), m_Record.size());
}

bool CSdrData::IsVersionOneOrTwo() const {
  uint8_t version = GetVersion();
  return version == 1 || version == 2 || version == 0x51;
}

std::string CSdrData::GetVersionText() const {
  if (m_Record.size() < 5) return std::string();
  uint8_t version = GetVersion();
  return std::to_string(version & 0x0F) + "." + std::to_string(version >> 4);
}

const char* CSdrData::GetRecordTypeName() const {
  if (m_Record.size() < 5) return "";
  uint8_t type = GetRecordType();
  if (type >= 0xC0 && type <= 0xCF) return "OEM SDR";
  return LookUp(kRecordTypeNames, type, "");
}

bool CSdrData::IsSoftwareOwner() const {
  return m_Record.size() <= 5 || (Fields().u8(5) & 0x01) != 0;
}

uint8_t CSdrData::GetOwnerId() const {
  switch (GetRecordType()) {
    case SDR_FULL:
    case SDR_COMPACT: return Fields().u8(5) & 0xFE;
    case SDR_GENERIC_LOCATOR:
    case SDR_FRU_LOCATOR: return Fields().u8(5);
    case SDR_MC_LOCATOR: return IsVersionOneOrTwo() ? Fields().u8(5) : 0;
    default: return 0;
  }
}

uint8_t CSdrData::GetOwnerLun() const {
  switch (GetRecordType()) {
    case SDR_FULL:
    case SDR_COMPACT: return Fields().u8(6) & 0x03;
    case SDR_GENERIC_LOCATOR:
    case SDR_FRU_LOCATOR: return (Fields().u8(7) >> 3) & 0x03;
    default: return 0;
  }
}

bool CSdrData::HasOwnerChannel() const {
  switch (GetRecordType()) {
    case 0: case 1: case 2: case 3: case 8: case 9:
    case 16: case 17: case 18: case 19: case 20: return true;
    default: return false;
  }
}

uint8_t CSdrData::GetOwnerChannel() const {
  switch (GetRecordType()) {
    case SDR_FULL:
    case SDR_COMPACT: return Fields().u8(6) >> 4;
    case SDR_GENERIC_LOCATOR: return Fields().u8(7) >> 5;
    case SDR_FRU_LOCATOR: return Fields().u8(8) >> 4;
    case SDR_MC_LOCATOR: {
      uint8_t version = GetVersion();
      return version == 2 || version == 0x51 ? Fields().u8(6) & 0x0F : 0;
    }
    default: return 0;
  }
}

int CSdrData::GetSensorNumber() const { return m_Record.size() <= 5 ? -1 : Fields().u8(7); }

bool CSdrData::HasEntity() const {
  uint8_t type = GetRecordType();
  return IsSensorRecord() || type == SDR_GENERIC_LOCATOR || type == SDR_FRU_LOCATOR ||
         type == SDR_MC_LOCATOR;
}

uint8_t CSdrData::GetEntityId() const {
  switch (GetRecordType()) {
    case SDR_FULL:
    case SDR_COMPACT: return Fields().u8(8);
    case SDR_GENERIC_LOCATOR:
    case SDR_FRU_LOCATOR: return Fields().u8(12);
    case SDR_MC_LOCATOR: return IsVersionOneOrTwo() ? Fields().u8(12) : 0;
    default: return 0;
  }
}

uint8_t CSdrData::GetEntityInstance() const {
  switch (GetRecordType()) {
    case SDR_FULL:
    case SDR_COMPACT: return Fields().u8(9);
    case SDR_GENERIC_LOCATOR:
    case SDR_FRU_LOCATOR: return Fields().u8(13);
    case SDR_MC_LOCATOR: return IsVersionOneOrTwo() ? Fields().u8(13) : 0;
    default: return 0;
  }
}

bool CSdrData::GetEntityName(std::string& name) const {
  size_t offset;
  switch (GetRecordType()) {
    case SDR_FULL: offset = kFullIdOffset; break;
    case SDR_COMPACT: offset = kCompactIdOffset; break;
    case SDR_GENERIC_LOCATOR:
    case SDR_FRU_LOCATOR: offset = kLocatorIdOffset; break;
    case SDR_MC_LOCATOR:
      if (!IsVersionOneOrTwo()) return false;
      offset = kLocatorIdOffset;
      break;
    default: return false;
  }
  CByteReader fields = Fields();
  if (!fields.has(offset, 1)) return false;
  std::string bytes = fields.text(offset + 1, fields.u8(offset) & 0x1F);
  name = IdStringToText(bytes.substr(0, bytes.find('\0')));
  return true;
}

const char* CSdrData::GetSensorUnitName(uint8_t code) {
  return code < std::size(kUnitNames) ? kUnitNames[code] : "";
}

const char* CSdrData::GetSensorTypeName(uint8_t code) {
  return LookUp(kSensorTypeNames, code, "OEM Sensor");
}

bool CSdrData::HasThresholds() const {
  CByteReader fields = Fields();
  return IsFullRecord() && fields.u8(13) == 1 && (fields.u8(11) & 0x0C) != 0 &&
         (fields.u8(18) & 0x3F) != 0;
}

std::span<const _SdrThreshold> CSdrData::Thresholds() { return kThresholds; }

// M and B are 10-bit two's-complement numbers: 8 low bits, then the top two
// bits of the following byte.
int CSdrData::GetM() const {
  if (!IsFullRecord()) return 0;
  return SignExtend(Fields().u8(24) | (Fields().u8(25) >> 6) << 8, 10);
}

int CSdrData::GetB() const {
  if (!IsFullRecord()) return 0;
  return SignExtend(Fields().u8(26) | (Fields().u8(27) >> 6) << 8, 10);
}

int CSdrData::GetBExponent() const { return IsFullRecord() ? SignExtend(Fields().u8(29) & 0x0F, 4) : 0; }

int CSdrData::GetResultExponent() const { return IsFullRecord() ? SignExtend(Fields().u8(29) >> 4, 4) : 0; }

uint8_t CSdrData::GetLinearization() const { return IsFullRecord() ? Fields().u8(23) & 0x7F : 0; }

std::string& GetNormalizedSdrStringValue(std::string& text, const CSdrData& record, uint8_t raw) {
  // Large enough for any finite double in "%0.2lf".
  char buffer[400];
  if (record.GetLength() <= 4 || !record.IsSensorRecord()) {
    std::snprintf(buffer, sizeof(buffer), "%0.2lf", 0.0);
    return text = buffer;
  }
  int mx = record.GetM() * int(raw);
  double y = (mx + record.GetB() * std::pow(10.0, record.GetBExponent())) *
             std::pow(10.0, record.GetResultExponent());
  double value = Linearize(y, record.GetLinearization());
  if (!std::isfinite(value)) value = kConversionError;

  if (IsIntegerUnit(record.GetSensorBaseUnit())) {
    // Rounded by adding one half and truncating; wider results wrap into 32
    // bits, which turns the error value into -1.
    double rounded = std::trunc(value + 0.5);
    constexpr double kLimit = 9.2e18;
    int64_t whole = rounded >= kLimit ? INT64_MAX : rounded <= -kLimit ? INT64_MIN : int64_t(rounded);
    std::snprintf(buffer, sizeof(buffer), "%d", int32_t(uint32_t(uint64_t(whole))));
  } else {
    std::snprintf(buffer, sizeof(buffer), "%0.2lf", value);
  }
  return text = buffer;
}
