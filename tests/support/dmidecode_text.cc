#include "support/dmidecode_text.h"

#include <cstdio>
#include <sstream>

std::string DmiDecodeRecord::Field(const std::string& key) const {
  auto found = fields.find(key);
  return found == fields.end() ? std::string() : found->second;
}

std::vector<DmiDecodeRecord> ParseDmiDecodeText(const std::string& text) {
  std::vector<DmiDecodeRecord> records;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    unsigned handle = 0;
    int type = 0;
    int length = 0;
    if (std::sscanf(line.c_str(), "Handle 0x%x, DMI type %d, %d bytes", &handle, &type, &length) == 3) {
      records.push_back({static_cast<uint16_t>(handle), type, length, {}});
      continue;
    }
    // Fields are indented by one tab; list items by two.
    if (records.empty() || line.size() < 2 || line[0] != '\t' || line[1] == '\t') continue;
    size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    records.back().fields[line.substr(1, colon - 1)] = line.substr(colon + 2);
  }
  return records;
}
