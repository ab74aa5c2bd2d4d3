#include "mgmt/switch_client.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mgmt/hxmd_client.h"
#include "mgmt/switch_packet.h"
#include "platform/debug.h"

using Packet = SwitchInterfacePacket;

CSwitchClient::CSwitchClient(const char* name) {
  if (name != nullptr) std::strncpy(m_szName, name, sizeof(m_szName) - 1);
}

CSwitchClient::~CSwitchClient() = default;

void CSwitchClient::Reply(uint16_t opCode, uint16_t opCodeExt, uint16_t, uint16_t, uint8_t, const uint8_t* data,
                          uint16_t length) {
  if (opCode == 0xE002 && opCodeExt == 0 && length == 2 && data != nullptr) m_nReplyValue = Packet::Load16(data);
}

void CSwitchClient::Reply(SwitchInterfacePacket&) {}

void CSwitchClient::Event(SwitchInterfacePacket&) {}

namespace {

// Stores n reply data bytes (n > 0, already bounded) into the packet.
void StoreReplyData(Packet& packet, const uint8_t* data, uint32_t n) {
  // Grow to 48 + n keeping the header and the 4-byte immediate area; when
  // that fails, copy only what the old block holds.
  if (n > 4 && n > packet.GetDataLength() && !packet.ResizeBuffer(Packet::kHeaderSize + n))
    n = std::min(n, packet.BufferSize() - Packet::kHeaderSize);
  if (Packet::kHeaderSize + n > packet.BufferSize()) n = packet.BufferSize() - Packet::kHeaderSize;
  packet.SetFlags(packet.GetFlags() & ~(Packet::kFlagImmediate | Packet::kFlagReplyStored));
  uint8_t* target = packet.Data();
  switch (n) {
    case 1:
      target[0] = data[0];
      break;
    case 2:
      Packet::Store32(target, Packet::Load16(data));
      break;
    case 4:
      std::memcpy(target, data, 4);
      break;
    default:
      std::memcpy(target, data, n);
      break;
  }
  if (n == 1 || n == 2 || n == 4) packet.SetFlags(packet.GetFlags() | Packet::kFlagImmediate);
  packet.SetDataLength(n);
}

}  // namespace

uint32_t CSwitchClient::Request(SwitchInterfacePacket& packet, uint16_t timeoutSeconds, uint32_t,
                                uint32_t extraTimeoutSeconds) {
  HX_TRACE(1,
           "CSwitchClient::Request: Send Command OC=0x%04X, OE=0x%04X, CB=0x%08X, OI=0x%08X, len=%d (timeout=%d+%d)\n",
           packet.GetOpCode(), packet.GetOpCodeExt(), packet.GetCabinetNr(), packet.GetObjectId(),
           int(packet.GetDataLength()), int(timeoutSeconds), int(extraTimeoutSeconds));
  auto* scratch = static_cast<uint8_t*>(std::malloc(kScratchSize));
  if (scratch == nullptr) {
    HX_TRACE(1, "CSwitchClient::Request: No memory available\n");
    return 17;
  }
  if (packet.IsEmpty() && packet.AllocCmd(0, -1) == nullptr) {
    std::free(scratch);
    return 17;
  }
  // The request carries at most what the block and the scratch buffer hold.
  uint32_t requestLength = std::min({packet.GetDataLength(), packet.BufferSize() - Packet::kHeaderSize, kMaxReplyData});
  std::memcpy(scratch, packet.Buffer(), Packet::kHeaderSize);
  Packet::Store32(scratch + Packet::kOffDataLength, requestLength);
  std::memcpy(scratch + Packet::kHeaderSize, packet.Data(), requestLength);

  int32_t result = HxmdClientRequestTimed(scratch, 0, int(kScratchSize), int(Packet::kHeaderSize),
                                          int(timeoutSeconds) + int(extraTimeoutSeconds));
  if (result < 0) {
    packet.SetCmdStatus(uint32_t(-result));
    std::free(scratch);
    return uint32_t(-result);
  }

  uint32_t replyStatus = Packet::Load32(scratch + Packet::kOffCmdStatus);
  uint32_t status = (replyStatus == 0 || replyStatus == 12) ? 0 : replyStatus;
  if (status != 0)
    HX_TRACE(1, "CSwitchClient::Request: Got Unexpected Status of Command OC=0x%04X, OE=0x%04X (Status=0x%02X)\n",
             packet.GetOpCode(), packet.GetOpCodeExt(), status);
  packet.SetCabinetNr(Packet::Load32(scratch + Packet::kOffCabinetNr));
  packet.SetCmdStatus(status);
  uint32_t replyLength = std::min(Packet::Load32(scratch + Packet::kOffDataLength), kMaxReplyData);
  if (replyLength > 0) StoreReplyData(packet, scratch + Packet::kHeaderSize, replyLength);
  packet.SetAuxWord1(0);
  packet.SetAuxWord2(0);
  packet.SetFlags(scratch[Packet::kOffFlags]);
  HX_TRACE(1,
           "CSwitchClient::Request: Receive response OC=0x%04X, OE=0x%04X, CB=0x%08X, OI=0x%08X, Status=0x%04X, "
           "len=%d\n",
           packet.GetOpCode(), packet.GetOpCodeExt(), packet.GetCabinetNr(), packet.GetObjectId(), status,
           int(packet.GetDataLength()));
  std::free(scratch);
  return status;
}
