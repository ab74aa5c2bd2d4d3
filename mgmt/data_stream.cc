#include "mgmt/data_stream.h"

void CDataStream::SetDataStream(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr) return;
  m_Data.assign(bytes, bytes + length);
}

uint8_t* CDataStream::GetDataStream(size_t offset) { return offset < m_Data.size() ? m_Data.data() + offset : nullptr; }

const uint8_t* CDataStream::GetDataStream(size_t offset) const {
  return offset < m_Data.size() ? m_Data.data() + offset : nullptr;
}

void CDataStream::EnsureSize(size_t offset, size_t count) {
  if (offset + count > m_Data.size()) m_Data.resize(offset + count, 0);
}
