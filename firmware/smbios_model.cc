#include "firmware/smbios_model.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "firmware/bios_tables.h"
#include "platform/debug.h"

namespace {

constexpr size_t kEntryWindow = 32;
constexpr uint8_t kEndOfTable = 127;

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[512];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

void TraceWalkFailure(const std::string& text, uint32_t position, uint32_t end) {
  if (!Debug.m_bEnabled) return;
  std::string dashes = "\n" + std::string(116, '-');
  Debug.Print(1, "%s", dashes.c_str());
  Debug.Print(1, "\n%s", text.c_str());
  Debug.Print(3, "\n   p = 0x%08X, table end = 0x%08X ", position, end);
  Debug.Print(1, "%s", dashes.c_str());
}

}  // namespace

CSMBios::CSMBios() = default;

CSMBios::~CSMBios() { Disconnect(); }

void CSMBios::Disconnect() {
  m_Structures.clear();
  m_EntryPoint.clear();
  m_Table.clear();
  m_nStructureCount = 0;
  m_nMajorVersion = 0;
  m_nMinorVersion = 0;
  m_strLastError.clear();
  m_bConnected = false;
  HX_TRACE(3, "\nCSMBios (Disconnect): Disconnected");
}

bool CSMBios::Connect(const uint8_t* table, uint32_t tableLength, const uint8_t* entry, uint32_t entryLength) {
  m_Structures.clear();
  m_EntryPoint.clear();
  m_Table.clear();
  m_strLastError.clear();
  m_nStructureCount = 0;
  m_nMajorVersion = 0;
  m_nMinorVersion = 0;
  m_bConnected = false;

  if (table != nullptr && tableLength != 0) {
    m_Table.assign(table, table + tableLength);
    if (entry != nullptr && entryLength != 0) m_EntryPoint.assign(entry, entry + entryLength);
    HX_TRACE(2, "\nCSMBios (Connect)   : Got SMBIOS data from Connect() parameter (%d bytes)",
             static_cast<int>(tableLength));
  } else {
    FindTables();
  }
  TakeVersionFromEntryPoint();

  if (m_Table.empty()) {
    HX_TRACE(1, "\nCSMBios (Connect)   : SMBIOS %s connected", "NOT");
    return false;
  }
  HX_TRACE(1, "\nCSMBios (Connect)   : SMBIOS revision: %d.%d", m_nMajorVersion, m_nMinorVersion);
  HX_TRACE(2, "\nCSMBios (Connect)   : Build structure list...");
  m_bConnected = BuildStructureList();
  HX_TRACE(1, "\nCSMBios (Connect)   : SMBIOS %s connected", m_bConnected ? "successfully" : "NOT");
  return m_bConnected;
}

// Tries the operating system's tables first, the BIOS shadow area last.
void CSMBios::FindTables() {
  if (CBiosTables::GetBiosTable(0, 0, m_Table)) {
    if (m_Table.size() >= kEntryWindow) {
      m_EntryPoint.assign(m_Table.begin(), m_Table.begin() + kEntryWindow);
      m_Table.erase(m_Table.begin(), m_Table.begin() + kEntryWindow);
      HX_TRACE(1, "\nCSMBios (Connect)   : SMBIOS data got from operating system (%d bytes)",
               static_cast<int>(m_Table.size()));
      return;
    }
  } else if (CBiosTables::GetBiosTableESX(m_EntryPoint, m_Table)) {
    HX_TRACE(1, "\nCSMBios (Connect)   : SMBIOS data got from operating system (%d bytes)",
             static_cast<int>(m_Table.size()));
    return;
  }
  m_EntryPoint.clear();
  m_Table.clear();
  if (GetSmbiosDataFromBiosShadowMemory(m_EntryPoint, m_Table)) {
    HX_TRACE(2, "\nCSMBios (Connect)   : Got SMBIOS data from BIOS shadow memory (%d bytes)",
             static_cast<int>(m_Table.size()));
  } else {
    HX_TRACE(1, "\nCSMBios (Connect)   : ## ERROR! Could not find any SMBIOS data!");
  }
}

void CSMBios::TakeVersionFromEntryPoint() {
  CByteReader entry(m_EntryPoint.data(), m_EntryPoint.size());
  std::string anchor = entry.text(0, 4);
  if (anchor == "UEFI") {
    m_nMajorVersion = entry.u8(5);
    m_nMinorVersion = entry.u8(4);
  } else if (anchor == "_SM_") {
    m_nMajorVersion = entry.u8(6);
    m_nMinorVersion = entry.u8(7);
  }
}

bool CSMBios::FailWalk(const std::string& text, size_t offset) {
  m_strLastError = text;
  TraceWalkFailure(text, static_cast<uint32_t>(offset), static_cast<uint32_t>(m_Table.size()));
  return false;
}

// Walks the table structure by structure. Every step must stay inside the
// table; the walk stops at the first one that does not, keeping what it
// indexed so far.
bool CSMBios::BuildStructureList() {
  m_Structures.clear();
  if (m_Table.empty()) {
    HX_TRACE(1, "\nBuildStructureList  : ## ERROR! SMBIOS structures are not set");
    return false;
  }
  const size_t end = m_Table.size();
  const uint8_t* table = m_Table.data();
  HX_TRACE(5, "\nBuildStructureList  : struct buffer size = 0x%04X", static_cast<unsigned>(end));

  bool ok = false;
  uint64_t walked = 0;
  uint8_t type = 0;
  uint16_t handle = 0;
  for (size_t offset = 0;;) {
    if (offset + sizeof(_DMI_20_HEADER) > end) {
      ++walked;
      FailWalk(FormatText("## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while reading struct "
                          "header!\n   struct[%d], type=0x%02X, handle=%d",
                          static_cast<int>(walked - 1), type, handle),
               offset);
      break;
    }
    const auto* header = reinterpret_cast<const _DMI_20_HEADER*>(table + offset);
    type = header->type;
    handle = header->handle;
    const size_t length = header->length;
    const int index = static_cast<int>(walked++);
    if (length < sizeof(_DMI_20_HEADER)) {
      FailWalk(FormatText("## FATAL ERROR! SMBIOS structure length below header size!\n   struct[%d], type=0x%02X, "
                          "handle=%d, len=%d\n   struct Offset 0x%04X",
                          index, type, handle, static_cast<int>(length), static_cast<unsigned>(offset)),
               offset);
      break;
    }
    HX_TRACE(3, "\nBuildStructureList  : - found struct type %d (handle=%d, len=%d)", type, handle,
             static_cast<int>(length));
    if (Debug.m_bEnabled) Debug.DumpHex(5, table + offset, std::min(length, end - offset), 1, 1);
    m_Structures[type].push_back(header);

    const size_t strings = offset + length;
    if (strings > end) {
      FailWalk(FormatText("## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while going to struct "
                          "end!\n   struct[%d], last type=0x%02X, last handle=%d\n   struct Offset 0x%04X",
                          index, type, handle, static_cast<unsigned>(offset)),
               offset);
      break;
    }
    HX_TRACE(6, "\nBuildStructureList  :   struct[%d]: start 0x%08X, header 0x%08X, len 0x%02X", index,
             static_cast<unsigned>(offset), static_cast<unsigned>(offset), static_cast<unsigned>(length));

    // The string set ends at the first pair of NULs.
    size_t scan = strings;
    while (scan + 1 < end && !(table[scan] == 0 && table[scan + 1] == 0)) ++scan;
    if (Debug.m_bEnabled) {
      for (size_t s = strings; s < scan;) {
        size_t stringLength = strnlen(reinterpret_cast<const char*>(table + s), scan - s);
        Debug.Print(6, "\nBuildStructureList  :    -> found string \"%.*s\"", static_cast<int>(stringLength),
                    reinterpret_cast<const char*>(table + s));
        s += stringLength + 1;
      }
    }
    const size_t next = scan + 2;
    if (scan + 1 >= end) {
      FailWalk(FormatText("## FATAL ERROR! SMBIOS structure pointer exceeds structure table end while when string "
                          "table end found!\n   struct[%d], type=0x%02X, handle=%d\n   struct Offset 0x%04X",
                          index, type, handle, static_cast<unsigned>(offset)),
               offset);
      break;
    }
    if (next == end) {
      HX_TRACE(4, "\nBuildStructureList  :   end of BIOS structures!");
      ok = true;
      break;
    }
    HX_TRACE(6, "\nBuildStructureList  :   new pDmiStructure = 0x%08X, end=0x%08X", static_cast<unsigned>(next),
             static_cast<unsigned>(end));
    if (type == kEndOfTable) {
      ok = true;
      break;
    }
    offset = next;
  }

  if (m_nStructureCount == 0) {
    m_nStructureCount = walked;
  } else if (m_nStructureCount != walked) {
    HX_TRACE(1,
             "\n\nBuildStructureList  : ## ERROR! Number of SMBIOS structures found (%d) does not match to number in "
             "header (%d)!\n",
             static_cast<int>(walked), static_cast<int>(m_nStructureCount));
  }
  HX_TRACE(3, "\nBuildStructureList  : %d SMBIOS structures found", static_cast<int>(walked));
  return ok;
}

const _DMI_20_HEADER* CSMBios::getDmiStructureByType(uint8_t type, size_t index) const {
  auto found = m_Structures.find(type);
  if (found == m_Structures.end() || index >= found->second.size()) return nullptr;
  return found->second[index];
}

size_t CSMBios::GetStructureCount(uint8_t type) const {
  auto found = m_Structures.find(type);
  return found == m_Structures.end() ? 0 : found->second.size();
}

CByteReader CSMBios::GetFormattedArea(const _DMI_20_HEADER* header) const {
  const auto* start = reinterpret_cast<const uint8_t*>(header);
  const uint8_t* tableStart = m_Table.data();
  if (header == nullptr || m_Table.empty() || start < tableStart || start >= tableStart + m_Table.size()) return {};
  CByteReader table(tableStart, m_Table.size());
  size_t offset = static_cast<size_t>(start - tableStart);
  return table.sub(offset, table.u8(offset + 1));
}

bool CSMBios::GetBiosString(std::string& text, const _DMI_20_HEADER* header, int number) const {
  CByteReader area = GetFormattedArea(header);
  if (number <= 0 || area.size() == 0) return false;
  const uint8_t* tableEnd = m_Table.data() + m_Table.size();
  const uint8_t* p = area.data() + area.size();
  // An empty string at the start of a string set is its terminator.
  for (int n = 1; p < tableEnd && *p != 0; ++n) {
    size_t length = strnlen(reinterpret_cast<const char*>(p), static_cast<size_t>(tableEnd - p));
    if (p + length == tableEnd) return false;  // unterminated: runs past the table
    if (n == number) {
      text.assign(reinterpret_cast<const char*>(p), length);
      return true;
    }
    p += length + 1;
  }
  return false;
}
