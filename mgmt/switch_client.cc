#include "mgmt/switch_client.h"

#include <cstring>

CSwitchClient::CSwitchClient(const char* name) {
  if (name != nullptr) std::strncpy(m_szName, name, sizeof(m_szName) - 1);
}

CSwitchClient::~CSwitchClient() = default;
