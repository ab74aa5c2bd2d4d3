#include "osinfo/net_interface.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

#include "os_test_env.h"
#include "osinfo/os_info.h"
#include "support/test_paths.h"

namespace {

std::string Ipv4Text(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text));
  return text;
}

// A fixture tree with its own /proc/net files; the interface queries still
// reach the kernel, so only interfaces that exist here answer them.
class NetFixture : public ::testing::Test {
 protected:
  void SetUp() override { m_env.Set("HX_SYSROOT", m_root.path()).Unset("HX_NICKNAME"); }
  void WriteDev(const std::string& lines) { m_root.WriteFile("proc/net/dev", "Inter-| Receive\n face |bytes\n" + lines); }

  TempDir m_root;
  ScopedEnv m_env;
};

}  // namespace

TEST_F(NetFixture, LoopbackCountsOnlyOnOvm3HostsAndAbsentInterfacesNever) {
  // eth97 is listed but unknown to the kernel: its flags query fails.
  WriteDev("eth97:1 0 0 0\n    lo: 100 1 0 0\nlo:123 4 5 6\n");
  EXPECT_EQ(COsInfo::GetInterface(0, nullptr, COsInfo::IF_COUNT), 0u);
  m_env.Set("HX_NICKNAME", "OVM3");
  EXPECT_EQ(COsInfo::GetInterface(0, nullptr, COsInfo::IF_COUNT | COsInfo::IF_NAME), 2u);

  COsInfo::interface record;
  std::memset(&record, 0xAB, sizeof(record));
  int mask = COsInfo::IF_TYPE | COsInfo::IF_NAME | COsInfo::IF_ADDRESS | COsInfo::IF_NETMASK | COsInfo::IF_DNS;
  ASSERT_EQ(COsInfo::GetInterface(1, &record, mask), 0u);
  EXPECT_STREQ(record.name, "lo");
  EXPECT_EQ(record.type, 24);
  EXPECT_EQ(Ipv4Text(record.address), "127.0.0.1");
  EXPECT_EQ(Ipv4Text(record.netmask), "255.0.0.0");
  EXPECT_EQ(record.dnsEnabled + record.dhcpEnabled, 0u);
  EXPECT_EQ(COsInfo::GetInterface(2, &record, COsInfo::IF_NAME), COsInfo::IF_FAILED);
}

TEST_F(NetFixture, GatewayNeedsTheInterfacesDefaultRouteWithGatewayFlag) {
  m_env.Set("HX_NICKNAME", "OVM3");
  WriteDev("lo: 1 2 3\n");
  m_root.WriteFile("proc/net/route",
                   "Iface\tDestination\tGateway \tFlags\n"
                   "eth1\t00000000\t0100000A\t0003\n"
                   "lo\t00000000\t0200000A\t0001\n"
                   "lo\t0000A8C0\t00000000\t0003\n");
  COsInfo::interface record;
  EXPECT_EQ(COsInfo::GetInterface(0, &record, COsInfo::IF_NAME | COsInfo::IF_GATEWAY), COsInfo::IF_FAILED);
  EXPECT_STREQ(record.name, "lo");
  m_root.WriteFile("proc/net/route", "Iface\tDestination\tGateway \tFlags\nlo\t00000000\t0101A8C0\t0003\n");
  ASSERT_EQ(COsInfo::GetInterface(0, &record, COsInfo::IF_GATEWAY), 0u);
  EXPECT_EQ(Ipv4Text(record.gateway), "192.168.1.1");
}

TEST_F(NetFixture, FirstBootprotoLineWithEqualsDecidesDhcpElseTheRcConfigSlot) {
  m_root.WriteFile("etc/sysconfig/network/ifcfg-eth0", "# managed\nBOOTPROTO\nBOOTPROTO='dhcp'\n");
  m_root.WriteFile("etc/sysconfig/network/ifcfg-eth1", "BOOTPROTO=static\nBOOTPROTO=dhcp\n");
  m_root.WriteFile("etc/sysconfig/network-scripts/ifcfg-eth2", "DEVICE=eth2\nBOOTPROTO=\"dhcp\"\n");
  EXPECT_TRUE(NetConfig::IsDhcpConfigured("eth0"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth1"));
  EXPECT_TRUE(NetConfig::IsDhcpConfigured("eth2"));
  // Without an ifcfg file the rc.config slot naming the interface decides.
  m_root.WriteFile("etc/rc.config",
                   "NETDEV_0=\"eth3\"\nIFCONFIG_0=\"dhcpclient\"\n"
                   "NETDEV_1=\"eth4\"\nIFCONFIG_1=\"10.0.0.5 broadcast 10.0.0.255\"\n");
  EXPECT_TRUE(NetConfig::IsDhcpConfigured("eth3"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth4"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth7"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth'3"));
}

namespace {

class MacMapping : public NetFixture {
 protected:
  bool Map() {
    std::memcpy(m_out, m_virt, sizeof(m_out));
    return COsInfo::MapVirtToPhysHWAddr(m_out, m_virt);
  }
  std::string Out() const { return NetConfig::MacText(m_out); }

  const uint8_t m_virt[6] = {0x00, 0x50, 0x56, 0x01, 0x02, 0x03};
  uint8_t m_out[6] = {};
};

}  // namespace

TEST_F(MacMapping, AdapterEntryLeadsToCurrentAddressOrNicinfoFile) {
  m_root.WriteFile("proc/vmware/net/vmnic3/00:50:56:01:02:03", "");
  m_root.WriteFile("proc/net/PRO_LAN_Adapters/vmnic3/Current_HWaddr", "00:1b:21:aa:bb:cc\n");
  EXPECT_TRUE(Map());
  EXPECT_EQ(Out(), "00:1b:21:aa:bb:cc");

  TempDir bond;
  m_env.Set("HX_SYSROOT", bond.path());
  bond.WriteFile("proc/vmware/net/bond1/00:50:56:01:02:03", "");
  bond.WriteFile("proc/net/nicinfo/vmnic1.info", "Current_HWaddr: unknown\nCurrent_HWaddr 00:1b:21:00:00:02\n");
  EXPECT_TRUE(Map());
  EXPECT_EQ(Out(), "00:1b:21:00:00:02");
}

TEST_F(MacMapping, AmbiguousOrEmptyEntriesKeepTheVirtualAddress) {
  m_root.WriteFile("proc/vmware/net/vmnic0/00:50:56:01:02:03", "");
  m_root.WriteFile("proc/vmware/net/vmnic1/00:50:56:01:02:03", "");
  EXPECT_FALSE(Map());
  EXPECT_EQ(Out(), "00:50:56:01:02:03");

  TempDir empty;
  m_env.Set("HX_SYSROOT", empty.path());
  empty.WriteFile("proc/vmware/net/vmnic2/00:50:56:01:02:03", "");
  empty.WriteFile("proc/net/PRO_LAN_Adapters/vmnic2/Current_HWaddr", "");
  EXPECT_FALSE(Map());
  EXPECT_EQ(Out(), "00:50:56:01:02:03");
}
