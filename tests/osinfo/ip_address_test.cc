#include "osinfo/ip_address.h"

#include <gtest/gtest.h>

TEST(IPAddress, WritesIPv4AsDottedQuadOfBytesInOrder) {
  const uint8_t bytes[4] = {192, 168, 1, 254};
  EXPECT_EQ(CIPAddress(bytes, 4).GetString(), "192.168.1.254");
}

TEST(IPAddress, CompressesIPv6Zeros) {
  uint8_t bytes[16] = {0x20, 0x01, 0x0d, 0xb8};
  bytes[15] = 1;
  EXPECT_EQ(CIPAddress(bytes, 16).GetString(), "2001:db8::1");
  const uint8_t zeros[16] = {};
  EXPECT_EQ(CIPAddress(zeros, 16).GetString(), "::");
}

TEST(IPAddress, OddLengthKeepsThePreviousText) {
  const uint8_t v4[4] = {10, 0, 0, 1};
  CIPAddress address(v4, 4);
  address.GetString();
  const uint8_t odd[5] = {1, 2, 3, 4, 5};
  address.SetAddress(odd, 5);
  EXPECT_EQ(address.GetString(), "10.0.0.1");
  EXPECT_EQ(CIPAddress(odd, 5).GetString(), "");
}

TEST(IPAddress, FallbackWritesAllEightGroupsExceptTheTwoSpecialAddresses) {
  uint8_t bytes[16] = {0xfe, 0x80};
  bytes[14] = 0x0a;
  bytes[15] = 0xbc;
  EXPECT_EQ(CIPAddress::FormatIPv6Groups(bytes), "fe80:0:0:0:0:0:0:abc");
  const uint8_t zeros[16] = {};
  EXPECT_EQ(CIPAddress::FormatIPv6Groups(zeros), "::");
  uint8_t loopback[16] = {};
  loopback[15] = 1;
  EXPECT_EQ(CIPAddress::FormatIPv6Groups(loopback), "::1");
}
