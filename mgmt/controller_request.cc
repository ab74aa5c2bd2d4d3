#include "mgmt/controller_request.h"

uint32_t CControllerRequest::Send(const _ControllerCommand& command) {
  if (!m_Packet.SetCmd(command.opCode, command.opCodeExt, command.objectId, m_nCabinet, command.requestCode))
    return 17;
  if (command.parameter) {
    uint32_t value = *command.parameter;
    uint8_t bytes[4];
    SwitchInterfacePacket::Store32(bytes, value);
    m_Packet.SetCmdData(bytes, sizeof(bytes));
    uint8_t flags = m_Packet.GetFlags();
    m_Packet.SetFlags(uint8_t((flags | SwitchInterfacePacket::kFlagImmediate) & ~SwitchInterfacePacket::kFlagReplyStored));
  }
  return m_Client.Request(m_Packet, command.timeoutSeconds, 0, 0);
}

bool CControllerRequest::Accepted() const {
  if (m_Packet.IsEmpty()) return false;
  uint32_t status = m_Packet.GetCmdStatus();
  return status == 0 || status == 12 || status == 21 || status == 255;
}

std::string CControllerRequest::Text() const {
  std::string text;
  if (HasData()) m_Packet.GetDataString(text);
  return text;
}

std::vector<uint8_t> CControllerRequest::Bytes() const {
  std::vector<uint8_t> bytes;
  if (HasData()) m_Packet.GetDataStream(bytes, 0);
  return bytes;
}
