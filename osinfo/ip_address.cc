#include "osinfo/ip_address.h"

#include <arpa/inet.h>

#include <cstdio>

CIPAddress::CIPAddress(const uint8_t* bytes, size_t length) { SetAddress(bytes, length); }

void CIPAddress::SetAddress(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr) length = 0;
  m_Bytes.assign(bytes, bytes + length);
}

std::string& CIPAddress::GetString() {
  if (m_Bytes.size() == 4) {
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", m_Bytes[0], m_Bytes[1], m_Bytes[2], m_Bytes[3]);
    m_strText = text;
  } else if (m_Bytes.size() == 16) {
    char text[INET6_ADDRSTRLEN];
    if (inet_ntop(AF_INET6, m_Bytes.data(), text, sizeof(text)) != nullptr) {
      m_strText = text;
    } else {
      m_strText = FormatIPv6Groups(m_Bytes.data());
    }
  }
  return m_strText;
}

std::string CIPAddress::FormatIPv6Groups(const uint8_t* bytes) {
  std::string text;
  for (int group = 0; group < 8; ++group) {
    char part[8];
    unsigned value = (unsigned(bytes[2 * group]) << 8) | bytes[2 * group + 1];
    std::snprintf(part, sizeof(part), group == 0 ? "%x" : ":%x", value);
    text += part;
  }
  if (text == "0:0:0:0:0:0:0:0") return "::";
  if (text == "0:0:0:0:0:0:0:1") return "::1";
  return text;
}
