#include "osinfo/net_interface.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "os_test_env.h"
#include "osinfo/os_info.h"
#include "support/test_paths.h"

namespace {

const char* const kDevHeader =
    "Inter-|   Receive                            |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets\n";

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
  void WriteDev(const std::string& lines) { m_root.WriteFile("proc/net/dev", kDevHeader + lines); }

  TempDir m_root;
  ScopedEnv m_env;
};

}  // namespace

TEST_F(NetFixture, LoopbackIsNeverCountedOnAStandardHost) {
  WriteDev("    lo: 100 1 0 0 0 0 0 0 100 1 0 0 0 0 0 0\n");
  EXPECT_EQ(COsInfo::GetInterface(0, nullptr, COsInfo::IF_COUNT), 0u);
  COsInfo::interface record;
  EXPECT_EQ(COsInfo::GetInterface(0, &record, COsInfo::IF_NAME), COsInfo::IF_FAILED);
}

TEST_F(NetFixture, Ovm3HostAcceptsAnyListedInterfaceThatAnswersTheFlagsQuery) {
  m_env.Set("HX_NICKNAME", "OVM3");
  // eth97 is listed but absent from the kernel: its flags query fails.
  WriteDev("eth97:1 0 0 0\n    lo: 100 1 0 0\nlo:123 4 5 6\n");
  EXPECT_EQ(COsInfo::GetInterface(0, nullptr, COsInfo::IF_COUNT | COsInfo::IF_NAME), 2u);

  COsInfo::interface record;
  std::memset(&record, 0xAB, sizeof(record));
  int mask = COsInfo::IF_TYPE | COsInfo::IF_NAME | COsInfo::IF_ADDRESS | COsInfo::IF_NETMASK | COsInfo::IF_DNS;
  ASSERT_EQ(COsInfo::GetInterface(1, &record, mask), 0u);
  EXPECT_STREQ(record.name, "lo");
  EXPECT_EQ(record.type, 24);
  EXPECT_EQ(Ipv4Text(record.address), "127.0.0.1");
  EXPECT_EQ(Ipv4Text(record.netmask), "255.0.0.0");
  EXPECT_EQ(record.dnsEnabled, 0u);
  EXPECT_EQ(record.dhcpEnabled, 0u);  // cleared, not requested
  EXPECT_EQ(COsInfo::GetInterface(2, &record, COsInfo::IF_NAME), COsInfo::IF_FAILED);
}

TEST_F(NetFixture, MissingDeviceListFails) {
  EXPECT_EQ(COsInfo::GetInterface(0, nullptr, COsInfo::IF_COUNT), COsInfo::IF_FAILED);
}

TEST_F(NetFixture, GatewayRequestDecidesTheResultAlone) {
  m_env.Set("HX_NICKNAME", "OVM3");
  WriteDev("lo: 1 2 3\n");
  m_root.WriteFile("proc/net/route",
                   "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
                   "lo\t00000000\t0101A8C0\t0001\t0\t0\t0\t00000000\n");
  COsInfo::interface record;
  EXPECT_EQ(COsInfo::GetInterface(0, &record, COsInfo::IF_NAME | COsInfo::IF_GATEWAY), COsInfo::IF_FAILED);
  EXPECT_STREQ(record.name, "lo");

  m_root.WriteFile("proc/net/route",
                   "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
                   "lo\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"
                   "lo\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\n");
  ASSERT_EQ(COsInfo::GetInterface(0, &record, COsInfo::IF_GATEWAY), 0u);
  EXPECT_EQ(Ipv4Text(record.gateway), "192.168.1.1");
}

TEST_F(NetFixture, DefaultRouteMustBelongToTheInterfaceAndUseAGateway) {
  m_root.WriteFile("proc/net/route",
                   "Iface\tDestination\tGateway \tFlags\n"
                   "eth1\t00000000\t0100000A\t0003\n"
                   "eth0\t00000000\t0200000A\t0001\n"
                   "eth0\t00000000\t0300000A\t0003\n");
  uint32_t gateway = 1;
  ASSERT_TRUE(NetConfig::FindDefaultGateway("eth0", gateway));
  EXPECT_EQ(gateway, inet_addr("10.0.0.3"));
  EXPECT_FALSE(NetConfig::FindDefaultGateway("eth2", gateway));
  EXPECT_EQ(gateway, 0u);
}

TEST_F(NetFixture, FirstBootprotoLineWithEqualsDecidesDhcp) {
  m_root.WriteFile("etc/sysconfig/network/ifcfg-eth0", "# managed\nBOOTPROTO\nBOOTPROTO='dhcp'\n");
  EXPECT_TRUE(NetConfig::IsDhcpConfigured("eth0"));
  m_root.WriteFile("etc/sysconfig/network/ifcfg-eth1", "BOOTPROTO=static\nBOOTPROTO=dhcp\n");
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth1"));
  m_root.WriteFile("etc/sysconfig/network-scripts/ifcfg-eth2", "DEVICE=eth2\nBOOTPROTO=\"dhcp\"\n");
  EXPECT_TRUE(NetConfig::IsDhcpConfigured("eth2"));
}

TEST_F(NetFixture, RcConfigSlotNamesDhcpClientWhenNoIfcfgFileExists) {
  m_root.WriteFile("etc/rc.config",
                   "NETDEV_0=\"eth0\"\nIFCONFIG_0=\"dhcpclient\"\n"
                   "NETDEV_1=\"eth1\"\nIFCONFIG_1=\"10.0.0.5 broadcast 10.0.0.255\"\n");
  EXPECT_TRUE(NetConfig::IsDhcpConfigured("eth0"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth1"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth7"));
  EXPECT_FALSE(NetConfig::IsDhcpConfigured("eth'0"));
}

TEST(MacText, ParsesOnlyCompleteAddresses) {
  uint8_t mac[6] = {};
  ASSERT_TRUE(NetConfig::ParseMac("00:0C:29:ab:cd:0e", mac));
  EXPECT_EQ(NetConfig::MacText(mac), "00:0c:29:ab:cd:0e");
  EXPECT_FALSE(NetConfig::ParseMac("00:0c:29:ab:cd", mac));
  EXPECT_FALSE(NetConfig::ParseMac("", mac));
}

class MacMapping : public NetFixture {
 protected:
  const uint8_t m_virt[6] = {0x00, 0x50, 0x56, 0x01, 0x02, 0x03};
  uint8_t m_out[6] = {0x00, 0x50, 0x56, 0x01, 0x02, 0x03};
  std::string OutText() const { return NetConfig::MacText(m_out); }
};

TEST_F(MacMapping, VmnicEntryLeadsToTheAdaptersCurrentAddress) {
  m_root.WriteFile("proc/vmware/net/vmnic3/00:50:56:01:02:03", "");
  m_root.WriteFile("proc/net/PRO_LAN_Adapters/vmnic3/Current_HWaddr", "00:1b:21:aa:bb:cc\n");
  EXPECT_TRUE(COsInfo::MapVirtToPhysHWAddr(m_out, m_virt));
  EXPECT_EQ(OutText(), "00:1b:21:aa:bb:cc");
}

TEST_F(MacMapping, BondEntryFallsBackToTheNicinfoFile) {
  m_root.WriteFile("proc/vmware/net/bond1/00:50:56:01:02:03", "");
  m_root.WriteFile("proc/net/nicinfo/vmnic1.info",
                   "Current_HWaddr: unknown\nPermanent_HWaddr 00:1b:21:00:00:01\nCurrent_HWaddr 00:1b:21:00:00:02\n");
  EXPECT_TRUE(COsInfo::MapVirtToPhysHWAddr(m_out, m_virt));
  EXPECT_EQ(OutText(), "00:1b:21:00:00:02");
}

TEST_F(MacMapping, AmbiguousOrUnreadableEntriesKeepTheVirtualAddress) {
  m_root.WriteFile("proc/vmware/net/vmnic0/00:50:56:01:02:03", "");
  m_root.WriteFile("proc/vmware/net/vmnic1/00:50:56:01:02:03", "");
  EXPECT_FALSE(COsInfo::MapVirtToPhysHWAddr(m_out, m_virt));
  EXPECT_EQ(OutText(), "00:50:56:01:02:03");

  TempDir other;
  m_env.Set("HX_SYSROOT", other.path());
  other.WriteFile("proc/vmware/net/vmnic2/00:50:56:01:02:03", "");
  other.WriteFile("proc/net/PRO_LAN_Adapters/vmnic2/Current_HWaddr", "");
  EXPECT_FALSE(COsInfo::MapVirtToPhysHWAddr(m_out, m_virt));
  EXPECT_EQ(OutText(), "00:50:56:01:02:03");
}

TEST_F(MacMapping, HostConfigScriptOutputGivesThePhysicalAddress) {
  m_root.WriteFile("etc/vmware/esx.conf", "/net/vswitch/child[0000]/uplinks = \"vmnic0\"\n");
  m_root.WriteFile("etc/hxagt/macaddr.awk", "");
  // Stands in for gawk running the agents' script over the host config.
  m_root.WriteFile("usr/bin/gawk",
                   "#!/bin/sh\n"
                   "echo 'short:line'\n"
                   "echo '00:50:56:0f:0f:0f 00:1b:21:00:00:0f'\n"
                   "echo '00:50:56:01:02:03 00:1b:21:12:34:56'\n");
  chmod((m_root / "usr/bin/gawk").c_str(), 0755);
  EXPECT_TRUE(COsInfo::MapVirtToPhysHWAddr(m_out, m_virt));
  EXPECT_EQ(OutText(), "00:1b:21:12:34:56");

  m_root.WriteFile("usr/bin/gawk", "#!/bin/sh\necho '00:50:56:0f:0f:0f 00:1b:21:00:00:0f'\n");
  std::memset(m_out, 0, sizeof(m_out));
  EXPECT_FALSE(COsInfo::MapVirtToPhysHWAddr(m_out, m_virt));
  EXPECT_EQ(OutText(), "00:50:56:01:02:03");
}

// Runs GetInterface against a real interface in a private network
// namespace; needs root and veth links. The peer's name is no LAN name.
TEST(NetNamespace, DiscoversAddressesHardwareAddressAndGatewayOfARealInterface) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNET) != 0) _exit(77);
    unsetenv("HX_SYSROOT");
    setenv("HX_NICKNAME", "", 1);
    if (std::system("ip link add eth5 address 02:00:00:00:00:05 type veth peer name peer5 2>/dev/null && "
                    "ip addr add 10.9.8.7/22 dev eth5 && ip link set eth5 up && ip link set peer5 up && "
                    "ip route add default via 10.9.8.1 dev eth5") != 0) {
      _exit(77);
    }
    if (COsInfo::GetInterface(0, nullptr, COsInfo::IF_COUNT) != 1) _exit(1);
    COsInfo::interface record;
    int all = COsInfo::IF_NAME | COsInfo::IF_ADDRESS | COsInfo::IF_NETMASK | COsInfo::IF_HWADDRESS |
              COsInfo::IF_GATEWAY;
    if (COsInfo::GetInterface(0, &record, all) != 0) _exit(2);
    if (std::strcmp(record.name, "eth5") != 0) _exit(3);
    if (Ipv4Text(record.address) != "10.9.8.7" || Ipv4Text(record.netmask) != "255.255.252.0") _exit(4);
    if (NetConfig::MacText(record.hwAddress) != "02:00:00:00:00:05") _exit(5);
    if (Ipv4Text(record.gateway) != "10.9.8.1") _exit(6);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no network namespace with veth links here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
