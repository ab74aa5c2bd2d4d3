#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "mgmt/hxmd_client.h"
#include "support/channel_test.h"
#include "support/fake_hxmd.h"

using Packet = SwitchInterfacePacket;
using Answer = CFakeHxmd::Answer;

namespace {

// The client against a scripted daemon that controls every byte it sends.
class SwitchClientTest : public ChannelTest {
 protected:
  void StartDaemon(CFakeHxmd::Script script) { m_Daemon = std::make_unique<CFakeHxmd>(m_Root.path(), script); }
  void AnswerAlways(const std::string& reply) {
    StartDaemon([reply](const std::vector<uint8_t>&) { return Answer{{reply}}; });
  }
  // Answers the first request with `first`, every later one with `later`.
  void AnswerFirst(Answer first, const std::string& later) {
    StartDaemon([first, later, calls = 0](const std::vector<uint8_t>&) mutable {
      return ++calls == 1 ? first : Answer{{later}};
    });
  }

  std::unique_ptr<CFakeHxmd> m_Daemon;
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
  EXPECT_EQ(std::memcmp(seen.data() + 48, params, 6), 0);
  // A reply without data leaves the parameters in place.
  EXPECT_EQ(packet.GetDataLength(), 6u);
  EXPECT_EQ(std::memcmp(packet.Data(), params, 6), 0);
}

TEST_F(SwitchClientTest, Status12IsStoredAsSuccessOtherStatusesAreReturnedWithTheirData) {
  AnswerFirst(Answer{{CFakeHxmd::ReplyPacket(12, "0123456789", 3)}}, CFakeHxmd::ReplyPacket(0x15, Bytes({9})));
  Packet packet;
  EXPECT_EQ(Send(packet, 0x0522, 0, 7), 0u);
  EXPECT_EQ(packet.GetCmdStatus(), 0u);
  EXPECT_EQ(packet.GetCabinetNr(), 3u);
  EXPECT_EQ(packet.GetObjectId(), 7u) << "the request's keys stay";
  std::string text;
  packet.GetDataString(text);
  EXPECT_EQ(text, "0123456789");

  EXPECT_EQ(Send(packet, 0x0521), 0x15u);
  EXPECT_EQ(packet.GetCmdStatus(), 0x15u);
  EXPECT_TRUE(packet.HasReplyData(1, 0));
  EXPECT_EQ(packet.DataByte(), 9);
}

TEST_F(SwitchClientTest, ShortRepliesFillTheFourByteImmediateArea) {
  const uint8_t params[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  AnswerFirst(Answer{{CFakeHxmd::ReplyPacket(0, Bytes({0x11}), 0xFFFFFFFF, 0x80)}},
              CFakeHxmd::ReplyPacket(0, Bytes({0x34, 0x12})));
  Packet one(0x0400, 0, 0, 0xFFFFFFFF, 19, params, 4);
  one.SetFlags(0x06);
  m_Client.Request(one, 0, 0, 0);
  // A 1-byte reply replaces only the first byte; the reply's flags replace
  // the request's.
  EXPECT_EQ(Packet::Load32(one.Data()), 0xDDCCBB11u);
  EXPECT_EQ(one.GetDataValue(), 0x11u);
  EXPECT_EQ(one.GetFlags(), 0x80);

  Packet two(0x0400, 0, 0, 0xFFFFFFFF, 19, params, 4);
  m_Client.Request(two, 0, 0, 0);
  // A 2-byte reply is zero-extended over all four bytes.
  EXPECT_EQ(Packet::Load32(two.Data()), 0x1234u);
}

TEST_F(SwitchClientTest, NoDaemonGivesStatus3WithoutWaiting) {
  Packet packet;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Send(packet, 0x0520), 3u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(SwitchClientTest, OversizeReplyIsTruncatedAndChannelStaysInStep) {
  AnswerFirst(Answer{{CFakeHxmd::ReplyPacket(0, std::string(CSwitchClient::kScratchSize + 5000, 'o'))}},
              CFakeHxmd::ReplyPacket(0, "next"));
  Packet packet;
  EXPECT_EQ(Send(packet, 0x0B31), 0u);
  EXPECT_EQ(packet.GetDataLength(), CSwitchClient::kMaxReplyData);
  EXPECT_EQ(Send(packet, 0x0B31, 0, 1), 0u);
  std::string text;
  packet.GetDataString(text);
  EXPECT_EQ(text, "next");
  EXPECT_EQ(m_Daemon->Registrations(), 1);
}

TEST_F(SwitchClientTest, ReplyThatNeverComesTimesOutAndChannelIsReopened) {
  setenv("HX_HXMD_REPLY_TIME", "200", 1);
  AnswerFirst(Answer{}, CFakeHxmd::ReplyPacket(0, ""));
  Packet packet;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Send(packet, 0x0400), 9u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(Send(packet, 0x0400), 0u);
  EXPECT_EQ(m_Daemon->Registrations(), 2);
}

TEST_F(SwitchClientTest, ReplyTimeOutIsBoundedAndDefaulted) {
  AnswerAlways(CFakeHxmd::ReplyPacket(0, ""));
  const std::pair<const char*, uint32_t> cases[] = {{"400000", 300000}, {"-1", 300000}, {"", 30000}, {"1500", 1500}};
  for (const auto& [value, expected] : cases) {
    setenv("HX_HXMD_REPLY_TIME", value, 1);
    CloseRequestChannel();
    Packet packet;
    ASSERT_EQ(Send(packet, 0x0400), 0u);
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
