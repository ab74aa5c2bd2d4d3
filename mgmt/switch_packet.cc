#include "mgmt/switch_packet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const uint8_t kMagic[4] = {'$', 'S', 'I', 'P'};

bool IsAcceptedStatus(uint32_t status) { return status == 0 || status == 12 || status == 21 || status == 255; }

}  // namespace

void SwitchInterfacePacket::InitHeader(uint8_t* header) {
  std::memcpy(header + kOffMagic, kMagic, sizeof(kMagic));
  header[kOffVersion] = kVersion;
  Store16(header + kOffHeaderSize, uint16_t(kHeaderSize));
}

bool SwitchInterfacePacket::IsValidHeader(const uint8_t* header) {
  return std::memcmp(header + kOffMagic, kMagic, sizeof(kMagic)) == 0 && header[kOffVersion] == kVersion &&
         Load16(header + kOffHeaderSize) == kHeaderSize;
}

SwitchInterfacePacket::SwitchInterfacePacket() = default;

SwitchInterfacePacket::SwitchInterfacePacket(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId,
                                             uint32_t cabinetNr, uint32_t cmdStatus, const uint8_t* data,
                                             uint32_t length) {
  if (data == nullptr) length = 0;
  if (AllocCmd(length, 0) == nullptr) return;
  SetFields(opCode, opCodeExt, objectId, cabinetNr, cmdStatus);
  SetDataLength(length);
  if (length != 0) std::memcpy(Data(), data, length);
}

SwitchInterfacePacket::~SwitchInterfacePacket() {
  for (uint8_t* block : m_pSlots) std::free(block);
  m_nIndex = 0;
}

uint8_t* SwitchInterfacePacket::AllocCmd(uint32_t length, int slot) {
  if (slot == -1) slot = m_nIndex;
  if (slot < 0 || slot >= kSlotCount) return nullptr;
  // Guard the size computation against a length near 4 GiB.
  if (length > UINT32_MAX - kHeaderSize) return nullptr;
  uint32_t size = std::max(kHeaderSize + length, kMinBlockSize);
  auto* block = static_cast<uint8_t*>(std::calloc(size, 1));
  if (block == nullptr) return nullptr;
  InitHeader(block);
  std::free(m_pSlots[slot]);
  m_pSlots[slot] = block;
  m_nSizes[slot] = size;
  return block;
}

void SwitchInterfacePacket::SetFields(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                                      uint32_t cmdStatus) {
  SetOpCode(opCode);
  SetOpCodeExt(opCodeExt);
  SetObjectId(objectId);
  SetCabinetNr(cabinetNr);
  SetCmdStatus(cmdStatus);
  SetAuxWord1(0);
  SetAuxWord2(0);
}

bool SwitchInterfacePacket::SetCmd(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                                   uint32_t cmdStatus) {
  if (IsEmpty() && AllocCmd(0, -1) == nullptr) return false;
  SetFields(opCode, opCodeExt, objectId, cabinetNr, cmdStatus);
  SetDataLength(0);
  return true;
}

bool SwitchInterfacePacket::ResizeBuffer(uint32_t size) {
  if (IsEmpty()) return false;
  size = std::max(size, kMinBlockSize);
  auto* block = static_cast<uint8_t*>(std::calloc(size, 1));
  if (block == nullptr) return false;
  std::memcpy(block, Buffer(), std::min(size, BufferSize()));
  std::free(m_pSlots[m_nIndex]);
  m_pSlots[m_nIndex] = block;
  m_nSizes[m_nIndex] = size;
  return true;
}

bool SwitchInterfacePacket::SetCmdData(const void* data, uint32_t length) {
  if (IsEmpty() || (length != 0 && data == nullptr) || length > UINT32_MAX - kHeaderSize) return false;
  if (kHeaderSize + length > BufferSize() && !ResizeBuffer(kHeaderSize + length)) return false;
  if (length != 0) std::memcpy(Data(), data, length);
  SetDataLength(length);
  return true;
}

bool SwitchInterfacePacket::HasReplyData(uint16_t expectedLength, int atLeast) const {
  if (IsEmpty() || !IsAcceptedStatus(GetCmdStatus())) return false;
  uint32_t length = GetDataLength();
  if (expectedLength == 0) return length != 0;
  return atLeast ? length >= expectedLength : length == expectedLength;
}

uint8_t SwitchInterfacePacket::DataByte() const {
  if (IsEmpty() || GetDataLength() == 0) return 0;
  return Data()[0];
}

bool SwitchInterfacePacket::GetDataString(std::string& text) const {
  uint32_t length = GetDataLength();
  if (length == 0) {
    text.clear();
    return true;
  }
  // A data length beyond the block (a corrupted header) never reads past it.
  length = std::min(length, BufferSize() - kHeaderSize);
  const char* chars = reinterpret_cast<const char*>(Data());
  text.assign(chars, strnlen(chars, length));
  return true;
}

bool SwitchInterfacePacket::GetDataStream(std::vector<uint8_t>& bytes, uint32_t offset) const {
  uint32_t length = std::min(GetDataLength(), IsEmpty() ? 0 : BufferSize() - kHeaderSize);
  if (length <= offset) return false;
  bytes.assign(Data() + offset, Data() + length);
  return true;
}

uint32_t SwitchInterfacePacket::GetDataValue() const {
  if (IsEmpty()) return 0;
  switch (GetDataLength()) {
    case 1:
      return Data()[0];
    case 2:
      return Load16(Data());
    case 4:
      return Load32(Data());
    default:
      return 0;
  }
}
