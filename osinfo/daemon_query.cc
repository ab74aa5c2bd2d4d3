#include "osinfo/daemon_query.h"

uint32_t CDaemonQuery::Send(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId) {
  if (!m_packet.SetCmd(opCode, opCodeExt, objectId, 0xFFFFFFFF, 22)) return 17;
  return m_client.Request(m_packet, 0, 0, 0);
}

bool CDaemonQuery::Number(uint32_t& value) const {
  if (!Ok()) return false;
  value = m_packet.GetDataValue();
  return true;
}

bool CDaemonQuery::Byte(uint8_t& value) const {
  if (!Ok()) return false;
  value = m_packet.DataByte();
  return true;
}

bool CDaemonQuery::Text(std::string& text) const {
  if (!Ok()) return false;
  m_packet.GetDataString(text);
  return true;
}
