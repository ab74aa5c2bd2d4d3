#include <gtest/gtest.h>

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

TEST(SwitchPacket, DataReadsFromOffsetStopAtTheBlockEndWhateverTheLengthSays) {
  SwitchInterfacePacket packet;
  FakeReply(packet, 0, {'A', 'B', 'C', 'D', 'E'});
  CDataStream stream;
  ASSERT_TRUE(packet.GetDataStream(stream.Bytes(), 2));
  EXPECT_EQ(stream.Bytes(), (std::vector<uint8_t>{'C', 'D', 'E'}));
  EXPECT_FALSE(packet.GetDataStream(stream.Bytes(), 5));
  EXPECT_EQ(stream.size(), 3u);
  packet.SetDataLength(100000);
  std::string text;
  packet.GetDataString(text);
  EXPECT_EQ(text, "ABCDE");
  ASSERT_TRUE(packet.GetDataStream(stream.Bytes(), 0));
  EXPECT_EQ(stream.size(), 5u);
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
