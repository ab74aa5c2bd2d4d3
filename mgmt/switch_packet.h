#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One command or reply packet of the management daemon: a 48-byte
// little-endian header ("$SIP", version 2) followed by DataLength data bytes.
//
// Typical use in a report section:
//
//   SwitchInterfacePacket packet;
//   packet.SetCmd(0x0520, 0, 0, 0xFFFFFFFF, 22);
//   if (m_SwitchClient.Request(packet, 0, 0, 0) == 0 && packet.HasReplyData(0, 0))
//     count = packet.DataByte();
//   packet.SetCmd(0x0522, 0, index, 0xFFFFFFFF, 22);   // reuse for the next command
//   ...
//   std::string name;  packet.GetDataString(name);
//   uint32_t value = packet.GetDataValue();              // 1-, 2- or 4-byte value
//   CDataStream raw;   packet.GetDataStream(raw.Bytes(), 0);
//
// The packet holds 32 buffer slots; every accessor works on the current one
// (always slot 0 here). A slot's block is never smaller than 52 bytes, so a
// 4-byte immediate value always fits.
class SwitchInterfacePacket {
 public:
  static constexpr int kSlotCount = 32;
  static constexpr uint32_t kHeaderSize = 48;
  static constexpr uint32_t kMinBlockSize = kHeaderSize + 4;
  static constexpr uint8_t kVersion = 2;

  // Header field offsets of the wire format.
  enum : uint32_t {
    kOffMagic = 0,
    kOffVersion = 4,
    kOffHeaderSize = 6,
    kOffDataLength = 8,
    kOffOpCode = 12,
    kOffOpCodeExt = 16,
    kOffObjectId = 20,
    kOffCabinetNr = 24,
    kOffCmdStatus = 28,
    kOffAuxWord1 = 36,
    kOffAuxWord2 = 38,
    kOffFlags = 40,
  };
  // Flags bits.
  enum : uint8_t { kFlagReplyStored = 0x02, kFlagImmediate = 0x04 };

  SwitchInterfacePacket();
  SwitchInterfacePacket(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                        uint32_t cmdStatus, const uint8_t* data, uint32_t length);
  ~SwitchInterfacePacket();
  SwitchInterfacePacket(const SwitchInterfacePacket&) = delete;
  SwitchInterfacePacket& operator=(const SwitchInterfacePacket&) = delete;

  // Installs a fresh zeroed block for `length` data bytes with magic, version
  // and header size written; slot -1 is the current slot. Null for a slot
  // index above 31 or when memory runs out.
  uint8_t* AllocCmd(uint32_t length, int slot);
  bool SetCmd(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
              uint32_t cmdStatus);
  // Request parameters: grows the block when needed, copies the bytes and
  // sets DataLength. False on an empty slot or when memory runs out.
  bool SetCmdData(const void* data, uint32_t length);

  // Reply readers; an empty slot reads as "no data".
  bool HasReplyData(uint16_t expectedLength, int atLeast) const;
  uint8_t DataByte() const;
  bool GetDataString(std::string& text) const;
  bool GetDataStream(std::vector<uint8_t>& bytes, uint32_t offset) const;
  // A reply value of 1, 2 or 4 bytes as that unsigned number; 0 otherwise.
  uint32_t GetDataValue() const;

  // The current slot's block (null when empty) and its size in bytes.
  uint8_t* Buffer() const { return m_pSlots[m_nIndex]; }
  uint32_t BufferSize() const { return m_nSizes[m_nIndex]; }
  bool IsEmpty() const { return Buffer() == nullptr; }
  // Replaces the current slot's block by one of `size` bytes (at least 52)
  // keeping the first min(old, new) bytes; false when memory runs out.
  bool ResizeBuffer(uint32_t size);

  // Header fields of the current slot; an empty slot reads as 0 and ignores
  // writes.
  uint32_t GetOpCode() const { return Get32(kOffOpCode); }
  uint32_t GetOpCodeExt() const { return Get32(kOffOpCodeExt); }
  uint32_t GetObjectId() const { return Get32(kOffObjectId); }
  uint32_t GetCabinetNr() const { return Get32(kOffCabinetNr); }
  uint32_t GetCmdStatus() const { return Get32(kOffCmdStatus); }
  uint32_t GetDataLength() const { return Get32(kOffDataLength); }
  uint16_t GetAuxWord1() const { return Get16(kOffAuxWord1); }
  uint16_t GetAuxWord2() const { return Get16(kOffAuxWord2); }
  uint8_t GetFlags() const { return IsEmpty() ? 0 : Buffer()[kOffFlags]; }
  void SetOpCode(uint32_t value) { Set32(kOffOpCode, value); }
  void SetOpCodeExt(uint32_t value) { Set32(kOffOpCodeExt, value); }
  void SetObjectId(uint32_t value) { Set32(kOffObjectId, value); }
  void SetCabinetNr(uint32_t value) { Set32(kOffCabinetNr, value); }
  void SetCmdStatus(uint32_t value) { Set32(kOffCmdStatus, value); }
  // Only the header field; the block must already hold that many bytes.
  void SetDataLength(uint32_t value) { Set32(kOffDataLength, value); }
  void SetAuxWord1(uint16_t value) { Set16(kOffAuxWord1, value); }
  void SetAuxWord2(uint16_t value) { Set16(kOffAuxWord2, value); }
  void SetFlags(uint8_t value) {
    if (!IsEmpty()) Buffer()[kOffFlags] = value;
  }
  // Data area of the current slot (null when empty).
  uint8_t* Data() const { return IsEmpty() ? nullptr : Buffer() + kHeaderSize; }

  // Little-endian helpers shared by everything that handles raw packets.
  static uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
  static uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  static void Store16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
  }
  static void Store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
  }
  // Writes magic, version and header size into a raw header.
  static void InitHeader(uint8_t* header);
  // True when a raw header has the magic, version 2 and header size 48.
  static bool IsValidHeader(const uint8_t* header);

 private:
  uint32_t Get32(uint32_t offset) const { return IsEmpty() ? 0 : Load32(Buffer() + offset); }
  uint16_t Get16(uint32_t offset) const { return IsEmpty() ? 0 : Load16(Buffer() + offset); }
  void Set32(uint32_t offset, uint32_t value) {
    if (!IsEmpty()) Store32(Buffer() + offset, value);
  }
  void Set16(uint32_t offset, uint16_t value) {
    if (!IsEmpty()) Store16(Buffer() + offset, value);
  }
  void SetFields(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, uint32_t cabinetNr,
                 uint32_t cmdStatus);

  uint8_t* m_pSlots[kSlotCount] = {};
  uint32_t m_nSizes[kSlotCount] = {};
  int32_t m_nIndex = 0;
};
