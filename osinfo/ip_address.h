#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An IPv4 (4 bytes) or IPv6 (16 bytes) address as the controller and the
// kernel store it, turned into its usual text form on request.
class CIPAddress {
 public:
  CIPAddress() = default;
  CIPAddress(const uint8_t* bytes, size_t length);

  void SetAddress(const uint8_t* bytes, size_t length);

  // Dotted quad for IPv4, the compressed form for IPv6; with any other
  // length the text keeps what it held.
  std::string& GetString();

  // The uncompressed IPv6 form used when the system's conversion fails.
  static std::string FormatIPv6Groups(const uint8_t* bytes);

 private:
  std::vector<uint8_t> m_Bytes;
  std::string m_strText;
};
