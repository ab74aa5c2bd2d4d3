#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Growable byte buffer for reply data and raw firmware tables. Bytes added by
// growing are zero.
//
//   CDataStream table;
//   packet.GetDataStream(table.Bytes(), 0);     // copy reply data in
//   const uint8_t* record = table.GetDataStream(offset);  // null past the end
class CDataStream {
 public:
  CDataStream() { m_Data.reserve(32); }

  // A null pointer leaves the stream as it is; otherwise the stream becomes a
  // copy of the `length` bytes.
  void SetDataStream(const uint8_t* bytes, size_t length);
  // The byte at `offset`, or null when offset is at or past the end.
  uint8_t* GetDataStream(size_t offset);
  const uint8_t* GetDataStream(size_t offset) const;
  // Grows (never shrinks) the stream to cover offset + count bytes.
  void EnsureSize(size_t offset, size_t count);

  size_t size() const { return m_Data.size(); }
  bool empty() const { return m_Data.empty(); }
  uint8_t* data() { return m_Data.data(); }
  const uint8_t* data() const { return m_Data.data(); }
  uint8_t& operator[](size_t index) { return m_Data[index]; }
  uint8_t operator[](size_t index) const { return m_Data[index]; }
  std::vector<uint8_t>& Bytes() { return m_Data; }
  const std::vector<uint8_t>& Bytes() const { return m_Data; }

 private:
  std::vector<uint8_t> m_Data;
};
