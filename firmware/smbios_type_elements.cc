#include <cctype>
#include <cstdio>

#include "firmware/bios_section_writer.h"
#include "firmware/uuid_text.h"
#include "platform/debug.h"

// The structure types of the SMBIOS element, one writer per type, each
// reading like the element table of its type.

namespace {

std::string Formatted(const char* format, unsigned a, unsigned b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// Cache sizes with bit 15 set count in 64 KB units.
int CacheSize(uint16_t value) { return (value & 0x8000) ? (value & 0x7FFF) * 64 : value; }

// The BIOS version as shown: cut at the first non-printable character and at
// 260 characters, without surrounding white space.
std::string BiosVersion(const std::string& raw) {
  size_t end = 0;
  while (end < raw.size() && end < 260 && std::isprint(static_cast<unsigned char>(raw[end]))) ++end;
  size_t start = 0;
  while (start < end && std::isspace(static_cast<unsigned char>(raw[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(raw[end - 1]))) --end;
  return raw.substr(start, end - start);
}

void WriteByteList(CStructureWriter& w, const char* name, size_t offset, size_t maxCount) {
  if (w.Length() <= offset) return;
  w.Enter(name);
  for (size_t i = 0; i < std::min(w.Length() - offset, maxCount); ++i) w.Number("Byte", w.Fields().u8(offset + i));
  w.Leave();
}

void WriteUuid(CStructureWriter& w) {
  if (w.Length() < 24) return;
  w.Text("UUID", CUuid::UuidToString(w.Fields().data() + 8, 0));
}

void BiosInformation(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  w.String("Vendor", 4);
  std::string version = BiosVersion(w.StringAt(5));
  if (!version.empty()) {
    w.Text("BiosVersion", version);
    HX_TRACE(2, "\nCDiagReport         :  System BIOS version %s", version.c_str());
  }
  w.Number("BiosStartingAddressSegment", f.u16(6));
  w.String("BiosReleaseDate", 8);
  w.Number("BiosROMSize", f.u8(9));
  WriteByteList(w, "BiosCharacteristics", 10, 8);
  WriteByteList(w, "BiosCharacteristicsExtensionBytes", 18, 2);
  if (w.Length() > 20) {
    w.Number("SystemBiosMajorRelease", f.u8(20));
    w.Number("SystemBiosMinorRelease", f.u8(21));
  }
  if (w.Length() > 22) {
    w.Number("EmbeddedControllerFirmwareMajorRelease", f.u8(22));
    w.Number("EmbeddedControllerFirmwareMinorRelease", f.u8(23));
  }
}

void SystemSummary(CStructureWriter& w) {
  w.String("Name", 5);
  w.String("Vendor", 4);
  w.String("SerialNr", 7);
  w.String("Version", 6);
  WriteUuid(w);
}

void SystemEntry(CStructureWriter& w) {
  w.String("Manufacturer", 4);
  w.String("ProductName", 5);
  w.String("Version", 6);
  w.String("SerialNumber", 7);
  WriteUuid(w);
}

void BoardSummary(CStructureWriter& w) {
  w.String("Name", 5);
  w.String("Vendor", 4);
  w.String("SerialNr", 7);
  w.String("Version", 6);
}

void BoardEntry(CStructureWriter& w) {
  w.String("Manufacturer", 4);
  w.String("Product", 5);
  w.String("Version", 6);
  w.String("SerialNumber", 7);
  w.String("AssetTag", 8);
}

void Chassis(CStructureWriter& w) {
  w.String("Manufacturer", 4);
  w.NumberAsString("Type", w.Fields().u8(5), w.Decode(5));
  w.String("Version", 6);
  w.String("SerialNumber", 7);
  w.String("AssetTag", 8);
}

void Processor(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  w.String("Socket", 4);
  w.Decoded("Status", 24);
  w.String("Manufacturer", 7);
  w.String("Version", 16);
  w.Number("Type", f.u8(5));
  uint32_t signature = f.u32(8);
  bool wideSignature = f.u8(6) == 0x82 || f.u8(6) == 0xB8;
  w.Number("Family", wideSignature ? signature >> 24 : (signature >> 8) & 0xF);
  w.Number("Model", wideSignature ? (signature >> 16) & 0xFF : (signature >> 4) & 0xF);
  w.Number("Step", wideSignature ? (signature >> 8) & 0xFF : signature & 0xF);
  w.Number("CurrentSpeed", f.u16(22));
  w.Number("MaxSpeed", f.u16(20));
  if (w.Length() > 26) {
    w.Number("CacheHandleL1", f.u16(26));
    w.Number("CacheHandleL2", f.u16(28));
    w.Number("CacheHandleL3", f.u16(30));
  }
  if (w.Length() > 32) {
    w.String("SerialNumber", 32);
    w.String("AssetTag", 33);
    w.String("PartNumber", 34);
  }
  if (w.Length() > 35) {
    w.Number("CoreCount", f.u8(35));
    w.Number("CoreEnabled", f.u8(36));
    w.Number("ThreadCount", f.u8(37));
  }
  if (w.Length() > 40) w.Number("Family2", f.u16(40));
}

constexpr const char* kCacheModes[] = {"write-through", "write-back", "varies", "unknown"};

void Cache(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  uint16_t configuration = f.u16(5);
  w.String("Socket", 4);
  w.Number("Configuration", configuration);
  CMarkup& xml = w.Xml();
  xml.AddChildAttrib("Enabled", (configuration & 0x80) ? "true" : "false");
  xml.AddChildAttrib("Level", (configuration & 3) + 1);
  xml.AddChildAttrib("Internal", (configuration & 0x60) ? "false" : "true");
  xml.AddChildAttrib("Mode", kCacheModes[(configuration >> 8) & 3]);
  xml.AddChildAttrib("Socket", (configuration & 0x08) ? "true" : "false");
  w.NumberWithUnit("MaxSize", CacheSize(f.u16(7)), "KByte");
  w.NumberWithUnit("InstalledSize", CacheSize(f.u16(9)), "KByte");
  w.NumberAsString("SupportedSRamType", f.u16(11), w.Decode(11));
  w.NumberAsString("CurrentSRamType", f.u16(13), w.Decode(13));
  if (w.Length() > 15) {
    w.NumberWithUnit("CacheSpeed", f.u8(15), "nsec");
    w.NumberAsString("ErrorCorrectionType", f.u8(16), w.Decode(16));
    w.NumberAsString("SystemCacheType", f.u8(17), w.Decode(17));
    w.NumberAsString("Associativity", f.u8(18), w.Decode(18));
  }
}

void MemoryArray(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  w.Decoded("Location", 4);
  w.Decoded("Use", 5);
  w.Decoded("ErrorCorrection", 6);
  // 0x80000000 means the capacity is given in the extended field.
  if (f.u32(7) != 0x80000000u) w.NumberWithUnit("MaxCapacity", static_cast<int>(f.u32(7) >> 10), "MByte");
  w.Number("NumberMemDevices", f.u16(13));
}

void NumberOrDecoded(CStructureWriter& w, const char* name, size_t offset, int value) {
  const char* text = w.Decode(offset);
  if (*text != '\0')
    w.Text(name, text);
  else
    w.Number(name, value);
}

void MemoryDevice(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  w.Number("ArrayHandle", f.u16(4));
  w.Number("ErrorHandle", f.u16(6));
  if (f.u16(8) != 0xFFFF) w.Number("TotalWidth", f.u16(8));
  if (f.u16(10) != 0xFFFF) w.Number("DataWidth", f.u16(10));
  uint16_t size = f.u16(12);
  if (size != 0xFFFF) w.NumberWithUnit("Size", size & 0x7FFF, (size & 0x8000) ? "KByte" : "MByte");
  w.Decoded("FormFactor", 14);
  w.Number("DeviceSet", f.u8(15));
  w.String("DeviceLocator", 16);
  w.String("BankLocator", 17);
  NumberOrDecoded(w, "MemoryType", 18, f.u8(18));
  NumberOrDecoded(w, "TypeDetail", 19, f.u16(19));
  if (w.Length() > 21) w.NumberWithUnit("Speed", f.u16(21), "MHz");
}

void AddressRange(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  w.NumberAsString("StartAddress", static_cast<int>(f.u32(4)), Formatted("0x%08X", f.u32(4)).c_str());
  w.NumberAsString("EndAddress", static_cast<int>(f.u32(8)), Formatted("0x%08X", f.u32(8)).c_str());
}

void ArrayMappedAddress(CStructureWriter& w) {
  AddressRange(w);
  w.Number("MemArrayHandle", w.Fields().u16(12));
  w.Number("PartitionWidth", w.Fields().u8(14));
}

void PositionIfKnown(CStructureWriter& w, const char* name, uint8_t value) {
  if (value >= 1 && value <= 254) w.Number(name, value);
}

void DeviceMappedAddress(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  AddressRange(w);
  w.Number("MemDeviceHandle", f.u16(12));
  w.Number("MemArrayHandle", f.u16(14));
  PositionIfKnown(w, "PartitionRowPosition", f.u8(16));
  PositionIfKnown(w, "InterleavePosition", f.u8(17));
  PositionIfKnown(w, "InterleaveDataDepth", f.u8(18));
}

void IpmiInformation(CStructureWriter& w) {
  uint8_t revision = w.Fields().u8(5);
  w.Decoded("Interface", 4);
  w.Text("Revision", Formatted("%d.%d", revision >> 4, revision & 0xF));
  w.Text("SlaveAddress", Formatted("%x", w.Fields().u8(6)));
}

void BoardId(CStructureWriter& w) { w.Text("BoardId", Formatted("%x", w.Fields().u16(6))); }

void BiosIdentification(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  char identifier[5] = {static_cast<char>(f.u8(7)), static_cast<char>(f.u8(6)), static_cast<char>(f.u8(5)),
                        static_cast<char>(f.u8(4)), '\0'};
  w.Text("Identifier", identifier);
}

constexpr const char* kHotspareStates[] = {"no hotspare", "hotspare", "Used", "Mirror", "Raid"};

// Records of R bytes from offset 6; none unless they fill the rest exactly.
size_t AddOnRecordCount(const CStructureWriter& w, size_t recordSize) {
  if (recordSize == 0 || w.Length() <= 6 || (w.Length() - 6) % recordSize != 0) return 0;
  return (w.Length() - 6) / recordSize;
}

void MemoryAddOn(CStructureWriter& w) {
  const CByteReader& f = w.Fields();
  uint8_t mode = f.u8(4);
  size_t recordSize = f.u8(5);
  size_t records = AddOnRecordCount(w, recordSize);
  w.Enter(w.Decode(4));
  for (size_t i = 0; i < records && mode != 1; ++i) {
    CByteReader record = f.sub(6 + i * recordSize, recordSize);
    if (mode == 0) {
      w.EnterWithHandle("Entry", record.u16(0));
      uint8_t state = record.u8(2);
      w.Text("Status", state < std::size(kHotspareStates) ? kHotspareStates[state] : "Unknonw");
      w.Leave();
    } else if (mode == 2) {
      w.EnterWithHandle("Entry", record.u16(1));
      w.Number("Handle", record.u16(1));
      w.Number("APICId", record.u8(0));
      w.Leave();
    }
  }
  if (mode == 1) w.Number("Runs", f.u8(5));
  w.Leave();
}

using FieldWriter = void (*)(CStructureWriter&);

// How a type is shown: fields of its first structure directly under the type
// element, and/or one Entry per structure.
struct TypeElement {
  uint8_t type;
  FieldWriter firstStructure;
  FieldWriter eachStructure;
  bool entryHandle;
};

constexpr TypeElement kTypeElements[] = {
    {0, BiosInformation, nullptr, false},
    {1, SystemSummary, SystemEntry, false},
    {2, BoardSummary, BoardEntry, false},
    {3, Chassis, Chassis, false},
    {4, nullptr, Processor, true},
    {7, nullptr, Cache, true},
    {16, nullptr, MemoryArray, true},
    {17, nullptr, MemoryDevice, true},
    {19, nullptr, ArrayMappedAddress, true},
    {20, nullptr, DeviceMappedAddress, true},
    {38, IpmiInformation, nullptr, false},
    {176, BoardId, nullptr, false},
    {188, BiosIdentification, nullptr, false},
    {190, nullptr, MemoryAddOn, false},
};

void WriteTypeElement(CMarkup& xml, const CSMBios& smbios, const TypeElement& element) {
  const _DMI_20_HEADER* first = smbios.getDmiStructureByType(element.type, 0);
  if (first == nullptr) return;
  xml.AddElem(("Type" + std::to_string(element.type)).c_str());
  xml.AddAttrib("Name", CSMBios::DecodeType(element.type));
  xml.AddAttrib("Type", element.type);
  if (element.firstStructure != nullptr) {
    CStructureWriter writer(xml, smbios, first);
    element.firstStructure(writer);
  }
  if (element.eachStructure == nullptr) return;
  for (size_t i = 0; const _DMI_20_HEADER* header = smbios.getDmiStructureByType(element.type, i); ++i) {
    CStructureWriter writer(xml, smbios, header);
    if (element.entryHandle)
      writer.EnterWithHandle("Entry", header->handle);
    else
      writer.Enter("Entry");
    element.eachStructure(writer);
    writer.Leave();
  }
}

}  // namespace

CStructureWriter::CStructureWriter(CMarkup& xml, const CSMBios& smbios, const _DMI_20_HEADER* header)
    : m_Xml(xml), m_SMBios(smbios), m_pHeader(header), m_Fields(smbios.GetFormattedArea(header)) {}

std::string CStructureWriter::StringAt(size_t offset) const {
  std::string text;
  if (!m_SMBios.GetBiosString(text, m_pHeader, m_Fields.u8(offset))) text.clear();
  return text;
}

void CStructureWriter::String(const char* name, size_t offset) {
  std::string text = StringAt(offset);
  if (!text.empty()) Text(name, text);
}

void CStructureWriter::Text(const char* name, const std::string& text) { m_Xml.AddChildElem(name, text); }

void CStructureWriter::Number(const char* name, int value) { m_Xml.AddChildElem(name, value); }

void CStructureWriter::NumberWithUnit(const char* name, int value, const char* unit) {
  m_Xml.AddChildElem(name, value);
  m_Xml.AddChildAttrib("Unit", unit);
}

void CStructureWriter::NumberAsString(const char* name, int value, const char* text) {
  m_Xml.AddChildElem(name, value);
  m_Xml.AddChildAttrib("AsString", text);
}

const char* CStructureWriter::Decode(size_t offset) const {
  return m_SMBios.DecodeEntry(m_pHeader, static_cast<int>(offset));
}

void CStructureWriter::Decoded(const char* name, size_t offset) { Text(name, Decode(offset)); }

void CStructureWriter::Enter(const char* name) {
  m_Xml.AddChildElem(name);
  m_Xml.IntoElem();
}

void CStructureWriter::EnterWithHandle(const char* name, int handle) {
  m_Xml.AddChildElem(name);
  m_Xml.AddChildAttrib("Handle", handle);
  m_Xml.IntoElem();
}

void CStructureWriter::Leave() { m_Xml.OutOfElem(); }

void WriteSmbiosTypes(CMarkup& xml, const CSMBios& smbios) {
  for (const TypeElement& element : kTypeElements) WriteTypeElement(xml, smbios, element);
}
