#include "firmware/uuid_text.h"

#include <cstdio>

std::string CUuid::UuidToString(const uint8_t bytes[16], int noSwap) {
  static constexpr int kSwapped[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  uint8_t b[16];
  for (int i = 0; i < 16; ++i) b[i] = bytes[noSwap ? i : kSwapped[i]];
  char text[40];
  std::snprintf(text, sizeof text,
                "%.02X%.02X%.02X%.02X-%.02X%.02X-%.02X%.02X-%.02X%.02X-%.02X%.02X%.02X%.02X%.02X%.02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}
