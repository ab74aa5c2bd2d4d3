#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Bounds-checked little-endian view of a byte run. Every read past the end
// answers 0 (or an empty text), so decoders never index past their data.
class CByteReader {
 public:
  CByteReader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(data ? size : 0) {}

  size_t Size() const { return m_nSize; }
  bool Has(size_t offset, size_t count = 1) const {
    return offset <= m_nSize && count <= m_nSize - offset;
  }

  uint8_t U8(size_t offset) const { return Has(offset) ? m_pData[offset] : 0; }
  uint16_t U16(size_t offset) const { return uint16_t(U8(offset) | U8(offset + 1) << 8); }
  uint32_t U32(size_t offset) const { return uint32_t(U16(offset)) | uint32_t(U16(offset + 2)) << 16; }
  uint64_t U64(size_t offset) const { return uint64_t(U32(offset)) | uint64_t(U32(offset + 4)) << 32; }

  // The bytes from offset up to the first NUL, to `limit` or to the end,
  // whichever comes first; a missing terminator is not an error.
  std::string Text(size_t offset, size_t limit) const {
    if (limit > m_nSize) limit = m_nSize;
    std::string text;
    for (size_t i = offset; i < limit && m_pData[i] != 0; ++i) text.push_back(char(m_pData[i]));
    return text;
  }

  // A view of count bytes from offset, cut at the end.
  CByteReader Sub(size_t offset, size_t count) const {
    if (!Has(offset, 0)) return CByteReader(nullptr, 0);
    return CByteReader(m_pData + offset, count < m_nSize - offset ? count : m_nSize - offset);
  }

 private:
  const uint8_t* m_pData;
  size_t m_nSize;
};
