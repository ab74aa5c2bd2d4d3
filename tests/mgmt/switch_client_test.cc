#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "mgmt/hxmd_client.h"
#include "mgmt/switch_client.h"
#include "mgmt/switch_packet.h"
#include "support/fake_hxmd.h"
#include "support/test_paths.h"

using Packet = SwitchInterfacePacket;
using Answer = CFakeHxmd::Answer;

namespace {

class SwitchClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HX_SYSROOT", m_Root.path().c_str(), 1);
    setenv("HX_HXMD_CONNECT_RETRIES", "1", 1);
    unsetenv("HX_HXMD_REPLY_TIME");
    CloseRequestChannel();
  }
  void TearDown() override {
    CloseRequestChannel();
    m_Daemon.reset();
    unsetenv("HX_SYSROOT");
    unsetenv("HX_HXMD_REPLY_TIME");
  }
  void StartDaemon(CFakeHxmd::Script script) { m_Daemon = std::make_unique<CFakeHxmd>(m_Root.path(), script); }
  void AnswerAlways(const std::string& reply) {
    StartDaemon([reply](const std::vector<uint8_t>&) { return Answer{{reply}}; });
  }

  TempDir m_Root;
  std::unique_ptr<CFakeHxmd> m_Daemon;
  CSwitchClient m_Client{"DiagReport"};
};

std::string Bytes(std::initializer_list<uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

TEST_F(SwitchClientTest, SendsHeaderAndParametersAfterRegistration) {
  std::vector<uint8_t> seen;
  StartDaemon([&seen](const std::vector<uint8_t>& request) {
    seen = request;
    return Answer{{CFakeHxmd::ReplyPacket(0, "")}};
  });
  const uint8_t params[6] = {1, 0, 2, 0, 3, 4};
  Packet packet(0x1403, 0, 5, 0xFFFFFFFF, 19, params, sizeof(params));
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(m_Daemon->Registrations(), 1);
  ASSERT_EQ(seen.size(), 54u);
  EXPECT_TRUE(Packet::IsValidHeader(seen.data()));
  EXPECT_EQ(Packet::Load32(seen.data() + 12), 0x1403u);
  EXPECT_EQ(Packet::Load32(seen.data() + 20), 5u);
  EXPECT_EQ(Packet::Load32(seen.data() + 28), 19u);
  EXPECT_EQ(std::memcmp(seen.data() + 48, params, 6), 0);
}

TEST_F(SwitchClientTest, ReplyStatus12CountsAsSuccessAndIsStoredAsZero) {
  AnswerAlways(CFakeHxmd::ReplyPacket(12, "0123456789", 3));
  Packet packet;
  packet.SetCmd(0x0522, 0, 7, 0xFFFFFFFF, 22);
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(packet.GetCmdStatus(), 0u);
  EXPECT_EQ(packet.GetDataLength(), 10u);
  EXPECT_EQ(packet.GetCabinetNr(), 3u);
  EXPECT_EQ(packet.GetOpCode(), 0x0522u);
  EXPECT_EQ(packet.GetObjectId(), 7u);
  std::string text;
  packet.GetDataString(text);
  EXPECT_EQ(text, "0123456789");
}

TEST_F(SwitchClientTest, UnexpectedStatusIsReturnedAndReplyStillStored) {
  AnswerAlways(CFakeHxmd::ReplyPacket(0x15, Bytes({9})));
  Packet packet;
  packet.SetCmd(0x0521, 0, 0, 0xFFFFFFFF, 22);
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0x15u);
  EXPECT_EQ(packet.GetCmdStatus(), 0x15u);
  EXPECT_TRUE(packet.HasReplyData(1, 0));
  EXPECT_EQ(packet.DataByte(), 9);
}

TEST_F(SwitchClientTest, ReplyWithoutDataKeepsRequestParameters) {
  AnswerAlways(CFakeHxmd::ReplyPacket(0, ""));
  const uint8_t params[6] = {1, 2, 3, 4, 5, 6};
  Packet packet(0x1403, 0, 5, 0xFFFFFFFF, 19, params, sizeof(params));
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(packet.GetDataLength(), 6u);
  EXPECT_EQ(std::memcmp(packet.Data(), params, 6), 0);
}

TEST_F(SwitchClientTest, ImmediateValuesFillTheFourByteAreaAsDescribed) {
  const uint8_t params[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  AnswerAlways(CFakeHxmd::ReplyPacket(0, Bytes({0x11})));
  Packet one(0x0400, 0, 0, 0xFFFFFFFF, 19, params, 4);
  m_Client.Request(one, 0, 0, 0);
  // A 1-byte reply replaces only the first byte of the immediate area.
  EXPECT_EQ(Packet::Load32(one.Data()), 0xDDCCBB11u);
  EXPECT_EQ(one.GetDataLength(), 1u);
  EXPECT_EQ(one.GetDataValue(), 0x11u);
  m_Daemon.reset();
  CloseRequestChannel();

  AnswerAlways(CFakeHxmd::ReplyPacket(0, Bytes({0x34, 0x12})));
  Packet two(0x0400, 0, 0, 0xFFFFFFFF, 19, params, 4);
  m_Client.Request(two, 0, 0, 0);
  // A 2-byte reply is zero-extended over all four bytes.
  EXPECT_EQ(Packet::Load32(two.Data()), 0x1234u);
  EXPECT_EQ(two.GetDataValue(), 0x1234u);
}

TEST_F(SwitchClientTest, ReplyFlagsReplaceTheImmediateBit) {
  AnswerAlways(CFakeHxmd::ReplyPacket(0, Bytes({1, 2}), 0xFFFFFFFF, 0x80));
  Packet packet;
  packet.SetCmd(0x0300, 0, 0, 0xFFFFFFFF, 19);
  packet.SetFlags(0x06);
  m_Client.Request(packet, 0, 0, 0);
  EXPECT_EQ(packet.GetFlags(), 0x80);
}

TEST_F(SwitchClientTest, LongReplyGrowsThePacketBlock) {
  std::string record(3000, 'r');
  AnswerAlways(CFakeHxmd::ReplyPacket(0, record));
  Packet packet;
  packet.SetCmd(0x0B10, 0, 0, 0xFFFFFFFF, 22);
  EXPECT_EQ(m_Client.Request(packet, 90, 0, 0), 0u);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(packet.GetDataStream(bytes, 0));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), record);
}

TEST_F(SwitchClientTest, NoDaemonGivesStatus3WithoutWaiting) {
  Packet packet;
  packet.SetCmd(0x0520, 0, 0, 0xFFFFFFFF, 19);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 3u);
  EXPECT_EQ(packet.GetCmdStatus(), 3u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(SwitchClientTest, ReplyInPiecesIsAssembled) {
  std::string reply = CFakeHxmd::ReplyPacket(0, std::string(100, 'p'));
  StartDaemon([reply](const std::vector<uint8_t>&) {
    return Answer{{reply.substr(0, 20), reply.substr(20, 40), reply.substr(60)}, 20};
  });
  Packet packet;
  packet.SetCmd(0x0C21, 0, 0, 0xFFFFFFFF, 22);
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(packet.GetDataLength(), 100u);
}

TEST_F(SwitchClientTest, OversizeReplyIsTruncatedAndChannelStaysInStep) {
  const uint32_t big = CSwitchClient::kScratchSize + 5000;
  int calls = 0;
  StartDaemon([&calls, big](const std::vector<uint8_t>&) {
    if (++calls == 1) return Answer{{CFakeHxmd::ReplyPacket(0, std::string(big, 'o'))}};
    return Answer{{CFakeHxmd::ReplyPacket(0, "next")}};
  });
  Packet packet;
  packet.SetCmd(0x0B31, 0, 0, 0xFFFFFFFF, 22);
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(packet.GetDataLength(), CSwitchClient::kMaxReplyData);
  packet.SetCmd(0x0B31, 0, 1, 0xFFFFFFFF, 22);
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  std::string text;
  packet.GetDataString(text);
  EXPECT_EQ(text, "next");
  EXPECT_EQ(m_Daemon->Registrations(), 1);
}

TEST_F(SwitchClientTest, DaemonClosingMidReplyFailsAndNextRequestReopens) {
  int calls = 0;
  StartDaemon([&calls](const std::vector<uint8_t>&) {
    if (++calls == 1) {
      std::string reply = CFakeHxmd::ReplyPacket(0, std::string(50, 'x'));
      Answer cut{{reply.substr(0, 30)}};
      cut.closeAfter = true;
      return cut;
    }
    return Answer{{CFakeHxmd::ReplyPacket(0, Bytes({4}))}};
  });
  Packet packet;
  packet.SetCmd(0x0400, 0, 0, 0xFFFFFFFF, 19);
  uint32_t status = m_Client.Request(packet, 0, 0, 0);
  EXPECT_TRUE(status == 9 || status == 3) << status;
  EXPECT_EQ(packet.GetCmdStatus(), status);
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(packet.DataByte(), 4);
  EXPECT_EQ(m_Daemon->Registrations(), 2);
}

TEST_F(SwitchClientTest, ReplyThatNeverComesTimesOutAndChannelIsReopened) {
  setenv("HX_HXMD_REPLY_TIME", "200", 1);
  int calls = 0;
  StartDaemon([&calls](const std::vector<uint8_t>&) {
    if (++calls == 1) return Answer{};
    return Answer{{CFakeHxmd::ReplyPacket(0, "")}};
  });
  Packet packet;
  packet.SetCmd(0x0400, 0, 0, 0xFFFFFFFF, 19);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 9u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
  EXPECT_EQ(m_Daemon->Registrations(), 2);
}

TEST_F(SwitchClientTest, ReplyTimeOutIsBoundedAndDefaulted) {
  AnswerAlways(CFakeHxmd::ReplyPacket(0, ""));
  const std::pair<const char*, uint32_t> cases[] = {{"400000", 300000}, {"-1", 300000}, {"", 30000}, {"1500", 1500}};
  for (const auto& [value, expected] : cases) {
    setenv("HX_HXMD_REPLY_TIME", value, 1);
    CloseRequestChannel();
    Packet packet;
    packet.SetCmd(0x0400, 0, 0, 0xFFFFFFFF, 19);
    ASSERT_EQ(m_Client.Request(packet, 0, 0, 0), 0u);
    EXPECT_EQ(GetThreadSpecificData()->ReplyTimeout, expected) << value;
  }
}

TEST_F(SwitchClientTest, HcmiRequestCopiesBoundedDataAndMapsStatus) {
  int calls = 0;
  StartDaemon([&calls](const std::vector<uint8_t>&) {
    std::string reply = CFakeHxmd::ReplyPacket(++calls == 1 ? 0 : 24, "abcdefgh");
    Packet::Store16(reinterpret_cast<uint8_t*>(reply.data()) + 36, 0x1111);
    Packet::Store16(reinterpret_cast<uint8_t*>(reply.data()) + 38, 0x2222);
    return Answer{{reply}};
  });
  char data[4] = {};
  _HcmiAuxWords aux{};
  EXPECT_EQ(HcmiClientRequest(0xF005, 0, 0xFFFFFFFF, 0, &aux, 0, sizeof(data), data), 8);
  EXPECT_EQ(std::string(data, 4), "abcd");
  EXPECT_EQ(aux.AuxWord1, 0x1111);
  EXPECT_EQ(aux.AuxWord2, 0x2222);
  EXPECT_EQ(HcmiClientRequest(0xF005, 1, 0xFFFFFFFF, 0, nullptr, 0, sizeof(data), data), -24);
  EXPECT_EQ(HcmiClientRequest(0xF005, 1, 0xFFFFFFFF, 0, nullptr, 4, 0, nullptr), HXMD_ERR_NO_BUFFER);
}

TEST(HxmdRegistration, PacketCarriesNameDescriptorAndMarkers) {
  uint8_t packet[240];
  BuildRegistrationPacket(packet, 0x0100, 7);
  EXPECT_TRUE(Packet::IsValidHeader(packet));
  EXPECT_EQ(Packet::Load32(packet + 8), 192u);
  EXPECT_EQ(Packet::Load32(packet + 12), 0xFFA0u);
  EXPECT_EQ(Packet::Load32(packet + 16), 0x0100u);
  EXPECT_EQ(Packet::Load32(packet + 24), 0u);
  EXPECT_STREQ(reinterpret_cast<char*>(packet + 48), GetClientObjectName());
  EXPECT_EQ(packet[48 + 64], 2);
  EXPECT_EQ(Packet::Load32(packet + 48 + 68), 7u);
  EXPECT_EQ(Packet::Load32(packet + 48 + 76), 0xFFFFFFFFu);
  EXPECT_EQ(Packet::Load32(packet + 48 + 84), 0xFFFFFFFFu);
  EXPECT_EQ(packet[48 + 88], 0);
}
