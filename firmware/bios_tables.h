#pragma once
#include <cstdint>
#include <vector>

// Readers of the SMBIOS tables that the operating system publishes.
class CBiosTables {
 public:
  // Through the EFI system table and /dev/mem. On success the buffer holds
  // 32 bytes of entry point followed by the structure table.
  static bool GetBiosTable(uint32_t ignored1, uint32_t ignored2, std::vector<uint8_t>& table);
  // Through the SMBIOS device of a VMware ESX host. On success the entry
  // buffer holds the 31-byte entry point, the table buffer what followed it.
  static bool GetBiosTableESX(std::vector<uint8_t>& entry, std::vector<uint8_t>& table);
};
