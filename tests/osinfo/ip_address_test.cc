#include "osinfo/ip_address.h"

#include <gtest/gtest.h>

TEST(IPAddress, FormsIPv4AndIPv6AndKeepsTheTextForOtherLengths) {
  const uint8_t v4[4] = {192, 168, 1, 254};
  CIPAddress address(v4, 4);
  EXPECT_EQ(address.GetString(), "192.168.1.254");
  const uint8_t odd[5] = {};
  address.SetAddress(odd, 5);
  EXPECT_EQ(address.GetString(), "192.168.1.254");
  uint8_t v6[16] = {0x20, 0x01, 0x0d, 0xb8};
  v6[15] = 1;
  EXPECT_EQ(CIPAddress(v6, 16).GetString(), "2001:db8::1");
  const uint8_t zeros[16] = {};
  EXPECT_EQ(CIPAddress(zeros, 16).GetString(), "::");
}
