#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "firmware/byte_reader.h"

// Header of an SMBIOS structure, used in place inside the structure table.
struct _DMI_20_HEADER {
  uint8_t type;
  uint8_t length;
  uint16_t handle;
} __attribute__((packed));
static_assert(sizeof(_DMI_20_HEADER) == 4);

// The SMBIOS data of the machine: the entry point and the structure table,
// with the structures indexed by type. Connected once per report and shared
// by the firmware sections.
class CSMBios {
 public:
  CSMBios();
  ~CSMBios();
  CSMBios(const CSMBios&) = delete;
  CSMBios& operator=(const CSMBios&) = delete;

  // With no bytes given, the model finds the tables itself: the EFI system
  // table, the ESX SMBIOS device, then the BIOS shadow area.
  bool Connect(const uint8_t* table, uint32_t tableLength, const uint8_t* entry, uint32_t entryLength);
  void Disconnect();
  bool IsConnected() const { return m_bConnected; }

  bool BuildStructureList();
  bool GetSmbiosDataFromBiosShadowMemory(std::vector<uint8_t>& entry, std::vector<uint8_t>& table);

  // The index-th (0-based) structure of a type, or null.
  const _DMI_20_HEADER* getDmiStructureByType(uint8_t type, size_t index) const;
  size_t GetStructureCount(uint8_t type) const;
  // String number n (1-based) of a structure's string set; false when it is
  // absent or empty.
  bool GetBiosString(std::string& text, const _DMI_20_HEADER* header, int number) const;
  // The formatted area of a structure, clipped to the table.
  CByteReader GetFormattedArea(const _DMI_20_HEADER* header) const;

  static const char* DecodeType(uint8_t type);
  static const char* DecodeMemoryDeviceType(uint8_t code);
  // The program's text for one enumerated field, addressed by its offset in
  // the formatted area; "" for a field without one.
  const char* DecodeEntry(const _DMI_20_HEADER* header, int offset) const;

  const std::string& GetLastError() const { return m_strLastError; }
  uint8_t GetMajorVersion() const { return m_nMajorVersion; }
  uint8_t GetMinorVersion() const { return m_nMinorVersion; }
  uint64_t GetStructureCount() const { return m_nStructureCount; }
  const std::vector<uint8_t>& GetEntryPoint() const { return m_EntryPoint; }
  const std::vector<uint8_t>& GetTable() const { return m_Table; }

 private:
  void FindTables();
  void TakeVersionFromEntryPoint();
  bool FailWalk(const std::string& text, size_t offset);

  std::string m_strLastError;
  std::vector<uint8_t> m_EntryPoint;
  std::vector<uint8_t> m_Table;
  uint8_t m_nMajorVersion = 0;
  uint8_t m_nMinorVersion = 0;
  std::map<uint8_t, std::vector<const _DMI_20_HEADER*>> m_Structures;
  uint64_t m_nStructureCount = 0;
  bool m_bConnected = false;
};
