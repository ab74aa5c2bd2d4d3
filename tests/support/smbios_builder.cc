#include "support/smbios_builder.h"

#include <algorithm>
#include <stdexcept>

CSmbiosStructure::CSmbiosStructure(uint8_t type, uint8_t length, uint16_t handle) : m_Formatted(length, 0) {
  if (length < 4) m_Formatted.resize(4);
  m_Formatted[0] = type;
  m_Formatted[1] = length;
  u16(2, handle);
}

CSmbiosStructure& CSmbiosStructure::u8(size_t offset, uint8_t value) {
  if (offset >= m_Formatted.size()) throw std::out_of_range("field past the formatted area");
  m_Formatted[offset] = value;
  return *this;
}

CSmbiosStructure& CSmbiosStructure::u16(size_t offset, uint16_t value) {
  return u8(offset, static_cast<uint8_t>(value)).u8(offset + 1, static_cast<uint8_t>(value >> 8));
}

CSmbiosStructure& CSmbiosStructure::u32(size_t offset, uint32_t value) {
  return u16(offset, static_cast<uint16_t>(value)).u16(offset + 2, static_cast<uint16_t>(value >> 16));
}

CSmbiosStructure& CSmbiosStructure::bytes(size_t offset, const std::vector<uint8_t>& values) {
  for (size_t i = 0; i < values.size(); ++i) u8(offset + i, values[i]);
  return *this;
}

CSmbiosStructure& CSmbiosStructure::str(size_t offset, const std::string& text) {
  m_Strings.push_back(text);
  return u8(offset, static_cast<uint8_t>(m_Strings.size()));
}

CSmbiosStructure& CSmbiosStructure::extra(const std::string& text) {
  m_Strings.push_back(text);
  return *this;
}

std::vector<uint8_t> CSmbiosStructure::Bytes() const {
  std::vector<uint8_t> out = m_Formatted;
  for (const std::string& text : m_Strings) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  }
  if (m_Strings.empty()) out.push_back(0);
  out.push_back(0);
  return out;
}

CSmbiosTable& CSmbiosTable::Add(const CSmbiosStructure& structure) { return AddRaw(structure.Bytes()); }

CSmbiosTable& CSmbiosTable::AddRaw(const std::vector<uint8_t>& bytes) {
  m_Bytes.insert(m_Bytes.end(), bytes.begin(), bytes.end());
  ++m_nCount;
  return *this;
}

CSmbiosTable& CSmbiosTable::AddEndOfTable(uint16_t handle) { return Add(CSmbiosStructure(127, 4, handle)); }

uint8_t ByteSum(const uint8_t* data, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

void FixEntryPointChecksums(std::vector<uint8_t>& entry) {
  if (entry.size() < 31) throw std::invalid_argument("entry point shorter than 31 bytes");
  entry[0x15] = 0;
  entry[0x15] = static_cast<uint8_t>(-ByteSum(entry.data() + 0x10, 15));
  size_t length = std::min<size_t>(entry[5], entry.size());
  entry[4] = 0;
  entry[4] = static_cast<uint8_t>(-ByteSum(entry.data(), length));
}

void PatchEntryPointAddress(std::vector<uint8_t>& entry, uint32_t tableAddress) {
  for (int i = 0; i < 4; ++i) entry.at(24 + i) = static_cast<uint8_t>(tableAddress >> (8 * i));
  FixEntryPointChecksums(entry);
}

std::vector<uint8_t> MakeEntryPoint(uint32_t tableAddress, uint16_t tableLength, uint16_t structureCount,
                                    uint8_t major, uint8_t minor) {
  std::vector<uint8_t> entry = {'_', 'S', 'M', '_', 0, 0x1F, major, minor, 0, 0, 0, 0, 0, 0, 0, 0,
                                '_', 'D', 'M', 'I', '_', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  entry[8] = 0xFF;  // largest structure, not read by the scanner
  entry[22] = static_cast<uint8_t>(tableLength);
  entry[23] = static_cast<uint8_t>(tableLength >> 8);
  entry[28] = static_cast<uint8_t>(structureCount);
  entry[29] = static_cast<uint8_t>(structureCount >> 8);
  entry[30] = static_cast<uint8_t>(major << 4 | minor);
  PatchEntryPointAddress(entry, tableAddress);
  return entry;
}
