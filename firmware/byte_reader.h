#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Bounds-checked little-endian reads over a byte run. A read that does not
// fit reads as 0 (or as an empty text), so decoders never index past the run.
class CByteReader {
 public:
  CByteReader() = default;
  CByteReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(data == nullptr ? 0 : size) {}

  const uint8_t* data() const { return m_pData; }
  size_t size() const { return m_nSize; }
  bool has(size_t offset, size_t count) const { return offset <= m_nSize && count <= m_nSize - offset; }

  uint8_t u8(size_t offset) const { return has(offset, 1) ? m_pData[offset] : 0; }
  uint16_t u16(size_t offset) const {
    return has(offset, 2) ? static_cast<uint16_t>(m_pData[offset] | m_pData[offset + 1] << 8) : 0;
  }
  uint32_t u32(size_t offset) const {
    return has(offset, 4) ? static_cast<uint32_t>(u16(offset)) | static_cast<uint32_t>(u16(offset + 2)) << 16 : 0;
  }
  // The bytes from offset up to count of them or to the end of the run.
  std::string text(size_t offset, size_t count) const {
    if (offset >= m_nSize) return {};
    if (count > m_nSize - offset) count = m_nSize - offset;
    return std::string(reinterpret_cast<const char*>(m_pData + offset), count);
  }
  // A window of this run; empty when it starts past the end.
  CByteReader sub(size_t offset, size_t count) const {
    if (offset >= m_nSize) return {};
    return CByteReader(m_pData + offset, count > m_nSize - offset ? m_nSize - offset : count);
  }

 private:
  const uint8_t* m_pData = nullptr;
  size_t m_nSize = 0;
};
