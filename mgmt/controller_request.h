#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mgmt/switch_client.h"
#include "mgmt/switch_packet.h"

// One command to the management controller, as the report sections send
// it: {opCode, opCodeExt, objectId}, with the rarer settings chained on.
struct _ControllerCommand {
  _ControllerCommand(uint32_t op, uint32_t ext = 0, uint32_t object = 0)
      : opCode(op), opCodeExt(ext), objectId(object) {}

  // The count-style queries go with request code 19 instead of 22.
  _ControllerCommand& Query() { requestCode = 19; return *this; }
  _ControllerCommand& Timeout(uint16_t seconds) { timeoutSeconds = seconds; return *this; }
  // Sent as a 4-byte immediate value.
  _ControllerCommand& Parameter(uint32_t value) { parameter = value; return *this; }

  uint32_t opCode;
  uint32_t opCodeExt;
  uint32_t objectId;
  uint32_t requestCode = 22;
  uint16_t timeoutSeconds = 0;  // 0: the channel's reply time-out
  std::optional<uint32_t> parameter;
};

// The packet plumbing of the report sections: one reusable packet, sent
// through the report's switch client to one cabinet, with readers for the
// reply. Every reader answers "nothing" after a failed exchange.
class CControllerRequest {
 public:
  static constexpr uint32_t kAllCabinets = 0xFFFFFFFF;

  explicit CControllerRequest(CSwitchClient& client, uint32_t cabinet = kAllCabinets)
      : m_Client(client), m_nCabinet(cabinet) {}

  void SetCabinet(uint32_t cabinet) { m_nCabinet = cabinet; }

  // Sends the command and returns the switch client's status (0 success).
  uint32_t Send(const _ControllerCommand& command);
  // Sends the command and tells how it was answered: with status 0; with
  // an accepted status; with an accepted status and data (of exactly
  // `length` bytes when given).
  bool Succeeds(const _ControllerCommand& command) { return Send(command) == 0; }
  bool Accepts(const _ControllerCommand& command) { return Send(command), Accepted(); }
  bool Answers(const _ControllerCommand& command) { return Send(command), HasData(); }
  bool Answers(const _ControllerCommand& command, uint16_t length) { return Send(command), HasData(length); }

  // Reply status 0, 12, 21 or 255 (with or without data).
  bool Accepted() const;
  // Accepted and carrying data.
  bool HasData() const { return m_Packet.HasReplyData(0, 0); }
  bool HasData(uint16_t exactLength) const { return m_Packet.HasReplyData(exactLength, 0); }

  // First data byte; 0 without data.
  uint8_t Byte() const { return m_Packet.DataByte(); }
  // A 1-, 2- or 4-byte value; 0 for any other length.
  uint32_t Value() const { return m_Packet.GetDataValue(); }
  // The data as text up to the first NUL; empty unless HasData().
  std::string Text() const;
  // The data bytes; empty unless HasData().
  std::vector<uint8_t> Bytes() const;
  uint32_t ReplyCabinet() const { return m_Packet.GetCabinetNr(); }

 private:
  CSwitchClient& m_Client;
  uint32_t m_nCabinet;
  SwitchInterfacePacket m_Packet;
};
