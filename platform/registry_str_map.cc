#include "platform/registry_str_map.h"

#include <algorithm>
#include <cstring>

size_t CStrMap::LowerBound(const char* key) const {
  auto it = std::lower_bound(m_entries.begin(), m_entries.end(), key,
                             [](const Entry& e, const char* k) { return std::strcmp(e.key.c_str(), k) < 0; });
  return static_cast<size_t>(it - m_entries.begin());
}

bool CStrMap::Holds(size_t pos, const char* key) const {
  return pos < m_entries.size() && m_entries[pos].key == key;
}

intptr_t CStrMap::add(const char* key, intptr_t value, uint64_t data, uint64_t* oldData) {
  if (oldData != nullptr) *oldData = 0;
  if (key == nullptr) return 0;
  CCriticalSectionLock guard(m_lock);
  size_t pos = LowerBound(key);
  if (Holds(pos, key)) {
    Entry& entry = m_entries[pos];
    intptr_t old = entry.value;
    if (oldData != nullptr) *oldData = entry.data;
    entry.value = value;
    entry.data = data;
    return old;
  }
  if (m_entries.size() == m_entries.capacity()) m_entries.reserve(m_entries.capacity() + kGrowth);
  m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(pos), Entry{key, value, data});
  return 0;
}

intptr_t CStrMap::lookup(const char* key, uint64_t* data) {
  if (data != nullptr) *data = 0;
  if (key == nullptr) return 0;
  CCriticalSectionLock guard(m_lock);
  size_t pos = LowerBound(key);
  if (!Holds(pos, key)) return 0;
  if (data != nullptr) *data = m_entries[pos].data;
  return m_entries[pos].value;
}

intptr_t CStrMap::remove(const char* key, uint64_t* data) {
  if (data != nullptr) *data = 0;
  if (key == nullptr) return 0;
  CCriticalSectionLock guard(m_lock);
  size_t pos = LowerBound(key);
  if (!Holds(pos, key)) return 0;
  intptr_t value = m_entries[pos].value;
  if (data != nullptr) *data = m_entries[pos].data;
  m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(pos));
  return value;
}

const char* CStrMap::getAt(int index, uint64_t* data, intptr_t* value) {
  if (data != nullptr) *data = 0;
  if (value != nullptr) *value = 0;
  CCriticalSectionLock guard(m_lock);
  if (index < 0 || static_cast<size_t>(index) >= m_entries.size()) return nullptr;
  const Entry& entry = m_entries[static_cast<size_t>(index)];
  if (data != nullptr) *data = entry.data;
  if (value != nullptr) *value = entry.value;
  return entry.key.c_str();
}

int CStrMap::count() {
  CCriticalSectionLock guard(m_lock);
  return static_cast<int>(m_entries.size());
}
