#pragma once
#include <string>

#include "platform/critical_section.h"
#include "platform/registry.h"

// Reads single text values below HKEY_LOCAL_MACHINE, one read at a time.
class CDataStore {
 public:
  // Reads the text value valueName of the key keyPath into out. False when
  // the key or value is missing, the value is not text, or its expansion
  // does not fit the size of the stored text.
  bool Read(const char* keyPath, const char* valueName, std::string& out);

 private:
  CCriticalSection m_lock;
  CRegistry m_registry;
};
