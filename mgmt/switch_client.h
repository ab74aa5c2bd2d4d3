#pragma once
#include <cstdint>

// Sends one command packet to the management daemon and stores the reply in
// the same packet. The report driver owns one, named "DiagReport".
class CSwitchClient {
 public:
  explicit CSwitchClient(const char* name);
  virtual ~CSwitchClient();

  uint32_t m_nReplyValue = 0;
  uint32_t m_nConnected = 0;
  char m_szName[256] = {};
};
