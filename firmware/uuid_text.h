#pragma once
#include <cstdint>
#include <string>

// Text form of a 16-byte UUID as SMBIOS stores it.
class CUuid {
 public:
  // Upper-case "8-4-4-4-12" hex text. With noSwap 0 the first three groups
  // are read little-endian (bytes 3..0, 5..4, 7..6), as SMBIOS lays them
  // out; otherwise all 16 bytes are written in stored order.
  static std::string UuidToString(const uint8_t bytes[16], int noSwap);
};
