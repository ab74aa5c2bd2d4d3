#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One SMBIOS structure, built field by field at the offsets of its
// formatted area. Strings are numbered in the order they are set.
class CSmbiosStructure {
 public:
  CSmbiosStructure(uint8_t type, uint8_t length, uint16_t handle);

  CSmbiosStructure& u8(size_t offset, uint8_t value);
  CSmbiosStructure& u16(size_t offset, uint16_t value);
  CSmbiosStructure& u32(size_t offset, uint32_t value);
  CSmbiosStructure& bytes(size_t offset, const std::vector<uint8_t>& values);
  // Appends a string to the set and stores its number at the offset.
  CSmbiosStructure& str(size_t offset, const std::string& text);
  // Appends a string to the set without referring to it.
  CSmbiosStructure& extra(const std::string& text);

  // Header, formatted area and string set with its terminating NULs.
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint8_t> m_Formatted;
  std::vector<std::string> m_Strings;
};

// A structure table: the structures back to back.
class CSmbiosTable {
 public:
  CSmbiosTable& Add(const CSmbiosStructure& structure);
  // Raw bytes, for tables that break the rules on purpose.
  CSmbiosTable& AddRaw(const std::vector<uint8_t>& bytes);
  CSmbiosTable& AddEndOfTable(uint16_t handle);
  const std::vector<uint8_t>& Bytes() const { return m_Bytes; }
  uint16_t Count() const { return m_nCount; }

 private:
  std::vector<uint8_t> m_Bytes;
  uint16_t m_nCount = 0;
};

// A 31-byte "_SM_" entry point with valid checksums.
std::vector<uint8_t> MakeEntryPoint(uint32_t tableAddress, uint16_t tableLength, uint16_t structureCount,
                                    uint8_t major, uint8_t minor);
// Rewrites the table address of a "_SM_" entry point and both its checksums.
void PatchEntryPointAddress(std::vector<uint8_t>& entry, uint32_t tableAddress);
// Recomputes the intermediate ("_DMI_") and the entry point checksums.
void FixEntryPointChecksums(std::vector<uint8_t>& entry);
// Byte sum of a run modulo 256.
uint8_t ByteSum(const uint8_t* data, size_t length);
