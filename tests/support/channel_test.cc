#include "support/channel_test.h"

#include <cstdlib>

#include "mgmt/hxmd_client.h"

void ChannelTest::SetUp() {
  setenv("HX_SYSROOT", m_Root.path().c_str(), 1);
  setenv("HX_HXMD_CONNECT_RETRIES", "1", 1);
  unsetenv("HX_HXMD_REPLY_TIME");
  CloseRequestChannel();
}

void ChannelTest::TearDown() {
  CloseRequestChannel();
  for (const char* name : {"HX_SYSROOT", "HX_HXMD_CONNECT_RETRIES", "HX_HXMD_REPLY_TIME"}) unsetenv(name);
}

uint32_t ChannelTest::Send(SwitchInterfacePacket& packet, uint32_t opCode, uint32_t opCodeExt, uint32_t objectId) {
  packet.SetCmd(opCode, opCodeExt, objectId, 0xFFFFFFFF, 22);
  return m_Client.Request(packet, 0, 0, 0);
}

void HxmdSectionTest::StartDaemon(const std::string& profileBody) {
  m_Daemon = std::make_unique<CHxmdRunner>(m_Root.path(), "<HxmdProfile Name=\"test\">" + profileBody + "</HxmdProfile>");
}

std::string HxmdSectionTest::Scan(CDiagReport::ScanOperation scan, _ActionState expected) {
  CMarkup section;
  EXPECT_EQ((m_Report.*scan)(section), expected);
  const std::string text = section.GetDoc();
  EXPECT_TRUE(text.empty() || section.IsWellFormed()) << text;
  return text;
}
