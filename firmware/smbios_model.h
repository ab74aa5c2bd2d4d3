#pragma once
#include <cstdint>

// The SMBIOS structures of the machine, connected once per report and shared
// by the firmware sections.
class CSMBios {
 public:
  CSMBios();
  ~CSMBios();
  CSMBios(const CSMBios&) = delete;
  CSMBios& operator=(const CSMBios&) = delete;

  // With no bytes given, the model finds the tables itself.
  bool Connect(const uint8_t* table, uint32_t tableLength, const uint8_t* entry, uint32_t entryLength);
  void Disconnect();
  bool IsConnected() const { return m_bConnected; }

 private:
  bool m_bConnected = false;
};
