#pragma once
#include <cstdint>
#include <string>

#include "mgmt/switch_client.h"
#include "mgmt/switch_packet.h"

// One command packet that a software section reuses for all its requests to
// the management daemon (the SetCmd form: CabinetNr 0xFFFFFFFF, request code
// 22). A reply is "OK" when its status is accepted and it carries data.
class CDaemonQuery {
 public:
  explicit CDaemonQuery(CSwitchClient& client) : m_client(client) {}

  // Sends one command; the Request status (0 = success).
  uint32_t Send(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId);
  bool Ok() const { return m_packet.HasReplyData(0, 0); }
  // Readers that answer false when the reply is not OK.
  bool Number(uint32_t& value) const;
  bool Byte(uint8_t& value) const;
  bool Text(std::string& text) const;

  SwitchInterfacePacket& Packet() { return m_packet; }
  const SwitchInterfacePacket& Reply() const { return m_packet; }

 private:
  CSwitchClient& m_client;
  SwitchInterfacePacket m_packet;
};
