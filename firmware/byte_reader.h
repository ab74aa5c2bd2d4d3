#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Bounded little-endian view of a byte run that the reader does not own.
// Every read answers "absent" when any of its bytes lies past the end, so a
// decoder never touches memory it was not given.
class CByteReader {
 public:
  CByteReader() = default;
  CByteReader(const uint8_t* data, size_t length) : m_pData(data), m_nLength(data ? length : 0) {}

  const uint8_t* data() const { return m_pData; }
  size_t size() const { return m_nLength; }
  bool has(size_t offset, size_t count = 1) const {
    return offset <= m_nLength && count <= m_nLength - offset;
  }

  std::optional<uint8_t> u8(size_t offset) const {
    if (!has(offset)) return std::nullopt;
    return m_pData[offset];
  }
  std::optional<uint16_t> u16(size_t offset) const {
    if (!has(offset, 2)) return std::nullopt;
    return static_cast<uint16_t>(m_pData[offset] | m_pData[offset + 1] << 8);
  }
  std::optional<uint32_t> u32(size_t offset) const {
    if (!has(offset, 4)) return std::nullopt;
    return static_cast<uint32_t>(m_pData[offset]) | static_cast<uint32_t>(m_pData[offset + 1]) << 8 |
           static_cast<uint32_t>(m_pData[offset + 2]) << 16 | static_cast<uint32_t>(m_pData[offset + 3]) << 24;
  }
  // The bytes as they stand, NULs included.
  std::optional<std::string> text(size_t offset, size_t length) const {
    if (!has(offset, length)) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(m_pData + offset), length);
  }

 private:
  const uint8_t* m_pData = nullptr;
  size_t m_nLength = 0;
};
