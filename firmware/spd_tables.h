#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "firmware/spd_decoder.h"

// Lookup helpers shared by the SPD decoder's source files: code tables are
// data, searched by one helper each.
namespace spd_tables {

struct CodeText {
  uint32_t code;
  const char* text;
};

template <size_t N>
const char* Lookup(const CodeText (&table)[N], uint32_t code) {
  for (const CodeText& entry : table)
    if (entry.code == code) return entry.text;
  return SPD::Unknown;
}

struct CodeMap {
  uint32_t from;
  uint32_t to;
};

template <size_t N>
uint32_t Map(const CodeMap (&table)[N], uint32_t code, uint32_t otherwise) {
  for (const CodeMap& entry : table)
    if (entry.from == code) return entry.to;
  return otherwise;
}

template <size_t N>
uint32_t Translate(const uint32_t (&codes)[N], uint32_t index, uint32_t otherwise) {
  return index < N ? codes[index] : otherwise;
}

inline bool OneOf(uint32_t value, std::initializer_list<uint32_t> set) {
  for (uint32_t candidate : set)
    if (candidate == value) return true;
  return false;
}

constexpr uint32_t kUndefined = 0xFFFFFFFF;

inline bool IsRegisteredType(uint32_t moduleType) { return OneOf(moduleType, {1, 5, 9, 12}); }
inline bool IsUnbufferedType(uint32_t moduleType) { return OneOf(moduleType, {2, 3, 4, 6, 7, 8, 10, 13, 14}); }

}  // namespace spd_tables
