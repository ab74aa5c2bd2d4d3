#include "platform/registry_data_store.h"

#include <vector>

bool CDataStore::Read(const char* keyPath, const char* valueName, std::string& out) {
  if (keyPath == nullptr || valueName == nullptr) return false;
  CCriticalSectionLock guard(m_lock);
  if (CRegistry::MLocalMachine == nullptr || m_registry.Open(keyPath, CRegistry::MLocalMachine) != 0) return false;
  uint32_t size = m_registry.GetValueSize(valueName);
  if (size == 0) return false;
  std::vector<char> buffer(size);
  if (m_registry.QueryValue(buffer.data(), valueName, size) != 0) return false;
  out.assign(buffer.data());
  return true;
}
