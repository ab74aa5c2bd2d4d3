#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One structure of a peer tool's text decode of an SMBIOS table.
struct DmiDecodeRecord {
  uint16_t handle = 0;
  int type = -1;
  int length = 0;
  std::map<std::string, std::string> fields;  // "Key: value" lines; list items are left out

  // The value of a field, or empty when the record has none.
  std::string Field(const std::string& key) const;
};

// Reads every "Handle 0x..., DMI type N, L bytes" record of the text.
std::vector<DmiDecodeRecord> ParseDmiDecodeText(const std::string& text);
