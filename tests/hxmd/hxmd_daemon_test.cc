#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "mgmt/fd_registry.h"
#include "mgmt/hxmd_client.h"
#include "mgmt/hxmd_event_channel.h"
#include "support/channel_test.h"
#include "support/hxmd_runner.h"

using Packet = SwitchInterfacePacket;

namespace {

const char* const kSensorProfile = R"(<HxmdProfile Name="test">
  <Sensors CabinetNr="0xFFFFFFFF">
    <Temperature Name="Ambient" Status="6" Current="24" Warning="37" Critical="42"/>
    <Temperature Name="CPU1" Status="6" Current="41" Warning="89" Critical="93"/>
  </Sensors>
</HxmdProfile>)";

// The real daemon, started by each test in the fixture's sysroot.
using HxmdDaemonTest = ChannelTest;

// A bare connection for talking to the daemon byte by byte.
class RawClient {
 public:
  explicit RawClient(const std::string& path) : m_nFd(OpenHxmdDevice(path.c_str())) {}
  ~RawClient() {
    if (m_nFd >= 0) close(m_nFd);
  }
  bool Write(const std::string& bytes) {
    return send(m_nFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  // Up to `length` bytes, waiting at most `ms` for each piece.
  std::string Read(size_t length, int ms = 2000) {
    std::string got;
    while (got.size() < length) {
      pollfd entry{m_nFd, POLLIN, 0};
      if (poll(&entry, 1, ms) <= 0) break;
      char buffer[65536];
      ssize_t n = recv(m_nFd, buffer, std::min(sizeof(buffer), length - got.size()), 0);
      if (n <= 0) break;
      got.append(buffer, size_t(n));
    }
    return got;
  }
  // True when the daemon closed the connection within `ms`.
  bool ClosedByPeer(int ms = 2000) {
    pollfd entry{m_nFd, POLLIN, 0};
    if (poll(&entry, 1, ms) <= 0) return false;
    char byte;
    return recv(m_nFd, &byte, 1, 0) == 0;
  }

 private:
  int m_nFd;
};

std::string RequestBytes(uint32_t opCode, uint32_t objectId, const std::string& data = "") {
  std::string packet(Packet::kHeaderSize, '\0');
  auto* header = reinterpret_cast<uint8_t*>(packet.data());
  Packet::InitHeader(header);
  Packet::Store32(header + Packet::kOffDataLength, uint32_t(data.size()));
  Packet::Store32(header + Packet::kOffOpCode, opCode);
  Packet::Store32(header + Packet::kOffObjectId, objectId);
  Packet::Store32(header + Packet::kOffCabinetNr, 0xFFFFFFFF);
  Packet::Store32(header + Packet::kOffCmdStatus, 22);
  return packet + data;
}

uint32_t Field(const std::string& packet, uint32_t offset) {
  return Packet::Load32(reinterpret_cast<const uint8_t*>(packet.data()) + offset);
}

}  // namespace

TEST_F(HxmdDaemonTest, RegistrationReturnsDaemonDescriptorAndPipelinedRequestsGetOneReplyEach) {
  CHxmdRunner daemon(m_Root.path(), kSensorProfile);
  RawClient client(daemon.RequestSocket());
  uint8_t registration[240];
  BuildRegistrationPacket(registration, kHxmdRegisterRequest, 4242);
  ASSERT_TRUE(client.Write(std::string(reinterpret_cast<char*>(registration), sizeof(registration))));
  std::string reply = client.Read(240);
  ASSERT_EQ(reply.size(), 240u);
  EXPECT_EQ(Field(reply, Packet::kOffCmdStatus), 0u);
  int hxmdfd = int(Field(reply, Packet::kHeaderSize + kHxmdRegisterFdOffset));
  EXPECT_NE(hxmdfd, 4242);
  EXPECT_GE(hxmdfd, 0);

  // Three requests in one write, then the replies in order.
  ASSERT_TRUE(client.Write(RequestBytes(0x0404, 0) + RequestBytes(0x0404, 1) + RequestBytes(0x0400, 0)));
  std::string first = client.Read(48 + 7), second = client.Read(48 + 4), third = client.Read(48 + 1);
  EXPECT_EQ(first.substr(48), "Ambient");
  EXPECT_EQ(second.substr(48), "CPU1");
  EXPECT_EQ(third.substr(48), std::string(1, '\2'));
  EXPECT_EQ(client.Read(1, 200), "");
}

TEST_F(HxmdDaemonTest, SocketsAreOwnerOnlyStaleFileReplacedAndRemovedAtExit) {
  // A socket file left behind by a daemon that died.
  {
    int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = m_Root / "dev/hxmds";
    std::filesystem::create_directories(m_Root / "dev");
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(stale);
  }
  CHxmdRunner daemon(m_Root.path(), kSensorProfile);
  for (const std::string& path : {daemon.RequestSocket(), daemon.EventSocket()}) {
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
  }
  Packet packet;
  EXPECT_EQ(Send(packet, 0x0400), 0u);
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(daemon.RequestSocket()));
  EXPECT_FALSE(std::filesystem::exists(daemon.EventSocket()));
}

TEST_F(HxmdDaemonTest, WithoutProfileEveryCommandIsNotAvailableAndSigintEndsCleanly) {
  CHxmdRunner daemon(m_Root.path());
  Packet packet;
  EXPECT_EQ(Send(packet, 0xF043), 10u);
  EXPECT_EQ(packet.GetDataLength(), 0u);
  kill(daemon.Pid(), SIGINT);
  EXPECT_EQ(CHxmdRunner::WaitExit(daemon.Pid(), 10), 0);
  EXPECT_FALSE(std::filesystem::exists(daemon.RequestSocket()));
}

TEST_F(HxmdDaemonTest, RefusesToStartBesideARunningDaemonOrWithBrokenProfile) {
  CHxmdRunner daemon(m_Root.path(), kSensorProfile);
  EXPECT_EQ(CHxmdRunner::WaitExit(CHxmdRunner::Spawn(m_Root.path(), {}), 10), 1);
  Packet packet;
  EXPECT_EQ(Send(packet, 0x0400), 0u);

  TempDir other;
  other.WriteFile("broken.xml", "<HxmdProfile><Reply OpCode='x'/></HxmdProfile>");
  EXPECT_EQ(CHxmdRunner::WaitExit(CHxmdRunner::Spawn(other.path(), {"--profile", other / "broken.xml"}), 10), 1);
  EXPECT_EQ(CHxmdRunner::WaitExit(CHxmdRunner::Spawn(other.path(), {"--profile", other / "missing.xml"}), 10), 1);
  EXPECT_EQ(CHxmdRunner::WaitExit(CHxmdRunner::Spawn(other.path(), {"--bogus"}), 10), 2);
}

TEST_F(HxmdDaemonTest, HostileClientsLoseOnlyTheirOwnConnection) {
  CHxmdRunner daemon(m_Root.path(), kSensorProfile);
  RawClient garbage(daemon.RequestSocket());
  RawClient huge(daemon.RequestSocket());
  RawClient wrongVersion(daemon.RequestSocket());
  RawClient stalled(daemon.RequestSocket());
  {
    RawClient vanishing(daemon.RequestSocket());
    ASSERT_TRUE(vanishing.Write(RequestBytes(0x0404, 0, std::string(100, 'v')).substr(0, 90)));
  }
  ASSERT_TRUE(stalled.Write(RequestBytes(0x0404, 0).substr(0, 20)));
  ASSERT_TRUE(garbage.Write(std::string(64, '\xEE')));
  std::string big = RequestBytes(0x0404, 0);
  Packet::Store32(reinterpret_cast<uint8_t*>(big.data()) + Packet::kOffDataLength, 0xFFFFFF00u);
  ASSERT_TRUE(huge.Write(big));
  std::string versioned = RequestBytes(0x0404, 0);
  versioned[4] = 3;
  ASSERT_TRUE(wrongVersion.Write(versioned));

  EXPECT_TRUE(garbage.ClosedByPeer());
  EXPECT_TRUE(huge.ClosedByPeer());
  EXPECT_TRUE(wrongVersion.ClosedByPeer());
  // The half-sent request keeps its connection open without stalling others.
  Packet packet;
  for (uint32_t i = 0; i < 20; ++i) {
    ASSERT_EQ(Send(packet, 0x0404, 0, i % 2), 0u);
  }
  EXPECT_FALSE(stalled.ClosedByPeer(100));
  ASSERT_TRUE(stalled.Write(RequestBytes(0x0404, 0).substr(20)));
  EXPECT_EQ(stalled.Read(48 + 7).substr(48), "Ambient");
  EXPECT_TRUE(daemon.IsRunning());
}

TEST_F(HxmdDaemonTest, ReplyInPiecesIsAssembledOnOneChannel) {
  CHxmdRunner daemon(m_Root.path(), R"(<HxmdProfile>
    <Reply OpCode="0x0B10" Pieces="4" PieceGap="30"><Fill Count="3000" Byte="0x42"/></Reply>
    <Reply OpCode="0x0B19" Text="after"/>
  </HxmdProfile>)");
  Packet packet;
  ASSERT_EQ(Send(packet, 0x0B10), 0u);
  EXPECT_EQ(packet.GetDataLength(), 3000u);
  ASSERT_EQ(Send(packet, 0x0B19), 0u);
  std::string log = daemon.RequestLog();
  EXPECT_EQ(log.find("-> register"), log.rfind("-> register")) << "channel was reopened:\n" << log;
}

namespace {
std::atomic<uint32_t> g_EventOpCode{0};
void OnEvent(uint8_t* packet) { g_EventOpCode = Packet::Load32(packet + Packet::kOffOpCode); }
}  // namespace

TEST_F(HxmdDaemonTest, EventChannelDeliversProfileEventsToTheHandler) {
  CHxmdRunner daemon(m_Root.path(), R"(<HxmdProfile>
    <Event OpCode="0x4711" OpCodeExt="1" Delay="50" Text="fan failed"/>
  </HxmdProfile>)");
  g_EventOpCode = 0;
  ASSERT_EQ(HxmdClientRegisterForEvents(OnEvent, nullptr), 1);
  EXPECT_EQ(HxmdClientRegisterForEvents(OnEvent, nullptr), 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (g_EventOpCode == 0 && std::chrono::steady_clock::now() < deadline) {
    fd_set set;
    FD_ZERO(&set);
    int highest = 0;
    snmp_fds_select_info(&highest, &set);
    timeval wait{0, 100000};
    if (select(highest, &set, nullptr, nullptr, &wait) > 0) snmp_check_fds(&set);
  }
  EXPECT_EQ(g_EventOpCode, 0x4711u);
  CloseEventChannel();
  EXPECT_NE(daemon.RequestLog().find("event fd="), std::string::npos);
}
