#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/critical_section.h"

// A map from text keys to a (value, data) pair kept as an array sorted by
// key (byte-wise, case-sensitive). The map does not interpret the value: its
// owner decides from the data tag what the value slot holds and releases it.
// Every operation runs under the map's own lock.
class CStrMap {
 public:
  CStrMap() = default;
  CStrMap(const CStrMap&) = delete;
  CStrMap& operator=(const CStrMap&) = delete;

  // Sets the pair for the key. Returns the value it replaces (its data in
  // *oldData), or 0 when the key is new. A null key does nothing.
  intptr_t add(const char* key, intptr_t value, uint64_t data, uint64_t* oldData = nullptr);
  // The key's value (0 when absent); *data receives the tag (0 when absent).
  intptr_t lookup(const char* key, uint64_t* data = nullptr);
  // Takes the entry out; returns its value (0 when absent).
  intptr_t remove(const char* key, uint64_t* data = nullptr);
  // The key at a position in sort order, null outside 0 .. count-1.
  const char* getAt(int index, uint64_t* data = nullptr, intptr_t* value = nullptr);
  int count();

 private:
  struct Entry {
    std::string key;
    intptr_t value;
    uint64_t data;
  };
  static constexpr size_t kGrowth = 16;

  // Position of the first entry whose key is not below the given one.
  size_t LowerBound(const char* key) const;
  bool Holds(size_t pos, const char* key) const;

  CCriticalSection m_lock;
  std::vector<Entry> m_entries;
};
