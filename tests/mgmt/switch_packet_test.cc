#include <gtest/gtest.h>

#include <cstring>

#include "mgmt/data_stream.h"
#include "mgmt/switch_packet.h"

namespace {

// Sets up a packet as if the daemon had replied with these bytes and status.
void FakeReply(SwitchInterfacePacket& packet, uint32_t status, const std::vector<uint8_t>& data) {
  ASSERT_TRUE(packet.SetCmd(0x0520, 0, 0, 0xFFFFFFFF, 22));
  ASSERT_TRUE(packet.SetCmdData(data.data(), uint32_t(data.size())));
  packet.SetCmdStatus(status);
}

}  // namespace

TEST(SwitchPacket, ConstructorWritesWireHeaderAndData) {
  const uint8_t params[6] = {1, 2, 3, 4, 5, 6};
  SwitchInterfacePacket packet(0x1403, 7, 5, 0xFFFFFFFF, 19, params, sizeof(params));
  const uint8_t* raw = packet.Buffer();
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::memcmp(raw, "$SIP", 4), 0);
  EXPECT_EQ(raw[4], 2);
  EXPECT_EQ(raw[6] | raw[7] << 8, 48);
  EXPECT_EQ(SwitchInterfacePacket::Load32(raw + 8), 6u);
  EXPECT_EQ(SwitchInterfacePacket::Load32(raw + 16), 7u);
  EXPECT_EQ(SwitchInterfacePacket::Load32(raw + 24), 0xFFFFFFFFu);
  EXPECT_EQ(packet.BufferSize(), 54u);
}

TEST(SwitchPacket, SmallOrMissingDataStillGetsFourByteImmediateArea) {
  SwitchInterfacePacket nullData(1, 0, 0, 0, 19, nullptr, 100);
  EXPECT_EQ(nullData.GetDataLength(), 0u);
  EXPECT_EQ(nullData.BufferSize(), 52u);
  const uint8_t one = 9;
  SwitchInterfacePacket oneByte(1, 0, 0, 0, 19, &one, 1);
  EXPECT_EQ(oneByte.BufferSize(), 52u);
  EXPECT_EQ(oneByte.DataByte(), 9);
}

TEST(SwitchPacket, AllocCmdRefusesSlotBeyondLastAndReplacesOldBlock) {
  SwitchInterfacePacket packet;
  EXPECT_EQ(packet.AllocCmd(0, 32), nullptr);
  ASSERT_TRUE(packet.SetCmd(0x0300, 1, 2, 3, 22));
  ASSERT_NE(packet.AllocCmd(10, -1), nullptr);
  EXPECT_EQ(packet.GetOpCode(), 0u);
  EXPECT_EQ(packet.BufferSize(), 58u);
  EXPECT_TRUE(SwitchInterfacePacket::IsValidHeader(packet.Buffer()));
}

TEST(SwitchPacket, EmptyPacketReadsAsNoData) {
  SwitchInterfacePacket packet;
  std::string text = "old";
  std::vector<uint8_t> bytes = {1};
  EXPECT_FALSE(packet.HasReplyData(0, 0));
  EXPECT_EQ(packet.DataByte(), 0);
  EXPECT_TRUE(packet.GetDataString(text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(packet.GetDataStream(bytes, 0));
  EXPECT_EQ(bytes.size(), 1u);
  EXPECT_EQ(packet.GetCmdStatus(), 0u);
}

TEST(SwitchPacket, HasReplyDataChecksStatusAndLength) {
  SwitchInterfacePacket packet;
  FakeReply(packet, 0, {1, 2, 3, 4, 5, 6});
  EXPECT_FALSE(packet.HasReplyData(4, 0));
  EXPECT_TRUE(packet.HasReplyData(4, 1));
  EXPECT_TRUE(packet.HasReplyData(6, 0));
  EXPECT_TRUE(packet.HasReplyData(0, 0));
  for (uint32_t accepted : {12u, 21u, 255u}) {
    packet.SetCmdStatus(accepted);
    EXPECT_TRUE(packet.HasReplyData(0, 0)) << accepted;
  }
  for (uint32_t rejected : {1u, 3u, 9u, 22u, 254u}) {
    packet.SetCmdStatus(rejected);
    EXPECT_FALSE(packet.HasReplyData(0, 0)) << rejected;
  }
  FakeReply(packet, 0, {});
  EXPECT_FALSE(packet.HasReplyData(0, 0));
  EXPECT_EQ(packet.DataByte(), 0);
}

TEST(SwitchPacket, DataStringStopsAtNulOrTakesUnterminatedText) {
  SwitchInterfacePacket packet;
  std::string text;
  FakeReply(packet, 0, {'A', 'B', 0, 'C', 'D'});
  packet.GetDataString(text);
  EXPECT_EQ(text, "AB");
  // A 64-byte unterminated name fills the block exactly.
  FakeReply(packet, 0, std::vector<uint8_t>(64, 'x'));
  packet.GetDataString(text);
  EXPECT_EQ(text, std::string(64, 'x'));
}

TEST(SwitchPacket, DataLengthBeyondBlockNeverReadsPastIt) {
  SwitchInterfacePacket packet;
  FakeReply(packet, 0, {'A', 'B', 'C', 'D', 'E'});
  packet.SetDataLength(100000);
  std::string text;
  std::vector<uint8_t> bytes;
  packet.GetDataString(text);
  EXPECT_EQ(text, "ABCDE");
  ASSERT_TRUE(packet.GetDataStream(bytes, 0));
  EXPECT_EQ(bytes.size(), 5u);
}

TEST(SwitchPacket, DataStreamFromOffsetAndFailsAtEnd) {
  SwitchInterfacePacket packet;
  FakeReply(packet, 0, {1, 2, 3, 4, 5});
  CDataStream stream;
  ASSERT_TRUE(packet.GetDataStream(stream.Bytes(), 2));
  EXPECT_EQ(stream.Bytes(), (std::vector<uint8_t>{3, 4, 5}));
  EXPECT_FALSE(packet.GetDataStream(stream.Bytes(), 5));
  EXPECT_EQ(stream.size(), 3u);
}

TEST(SwitchPacket, ValueReadsOnlyOneTwoOrFourByteReplies) {
  const std::pair<std::vector<uint8_t>, uint32_t> cases[] = {
      {{0xB5}, 0xB5}, {{0xB0, 0x04}, 1200}, {{0xB0, 0x04, 0xB8, 0x0B}, 0x0BB804B0}, {{1, 2, 3}, 0}};
  SwitchInterfacePacket packet;
  for (const auto& [data, value] : cases) {
    FakeReply(packet, 0, data);
    EXPECT_EQ(packet.GetDataValue(), value) << data.size();
  }
}

TEST(SwitchPacket, SetCmdClearsDataOfPreviousReply) {
  SwitchInterfacePacket packet;
  FakeReply(packet, 0, {1, 2, 3, 4, 5, 6, 7, 8});
  packet.SetAuxWord1(7);
  ASSERT_TRUE(packet.SetCmd(0x0522, 0, 1, 0xFFFFFFFF, 22));
  EXPECT_EQ(packet.GetDataLength(), 0u);
  EXPECT_EQ(packet.GetAuxWord1(), 0);
  EXPECT_EQ(packet.GetObjectId(), 1u);
  EXPECT_EQ(packet.GetCmdStatus(), 22u);
}

TEST(DataStream, SetGetAndGrow) {
  CDataStream stream;
  stream.SetDataStream(nullptr, 4);
  EXPECT_TRUE(stream.empty());
  const uint8_t bytes[3] = {7, 8, 9};
  stream.SetDataStream(bytes, 3);
  ASSERT_NE(stream.GetDataStream(2), nullptr);
  EXPECT_EQ(*stream.GetDataStream(2), 9);
  EXPECT_EQ(stream.GetDataStream(3), nullptr);
  stream.EnsureSize(2, 4);
  EXPECT_EQ(stream.size(), 6u);
  EXPECT_EQ(stream[5], 0);
  EXPECT_EQ(stream[0], 7);
  stream.EnsureSize(0, 2);
  EXPECT_EQ(stream.size(), 6u);
}
