#include <cstring>

#include <vector>

#include "app/build_constants.h"
#include "app/diag_report.h"
#include "mgmt/switch_packet.h"
#include "platform/debug.h"

namespace {

constexpr int kSourceCount = 3;
constexpr int kSmBiosIndex = 0;
constexpr int kServerControlIndex = 1;
constexpr int kSnmpIndex = 2;

constexpr uint32_t kOpGetSmbios = 0xF005;
constexpr uint32_t kSmbiosEntryPoint = 0;
constexpr uint32_t kSmbiosTable = 1;
constexpr uint32_t kAnyCabinet = 0xFFFFFFFF;
constexpr uint32_t kStatusAuthenticationFailed = 24;
constexpr uint32_t kStatusNoBuffer = 23;

uint32_t PacketStatus(const SwitchInterfacePacket& packet) {
  return packet.IsEmpty() ? kStatusNoBuffer : packet.GetCmdStatus();
}

}  // namespace

// Fetches the entry point and the structure table of a remote server over
// the daemon's HCMI commands and connects the SMBIOS model to them.
void CDiagReport::ConnectRemoteSMBios() {
  SwitchInterfacePacket packet(kOpGetSmbios, kSmbiosEntryPoint, 0, kAnyCabinet, 19, nullptr, 0);
  if (m_SwitchClient.Request(packet, 0, 0, 0) != 0) {
    if (packet.GetCmdStatus() == kStatusAuthenticationFailed)
      HX_TRACE(2, "\n## ERROR! HCMI authentication failed - please supply correct login data!");
    else
      HX_TRACE(2, "\n## ERROR! Failed to get SMBIOS data from HCMI (CmdStatus = 0x%02X)!", PacketStatus(packet));
    return;
  }
  std::vector<uint8_t> entry;
  packet.GetDataStream(entry, 0);
  std::vector<uint8_t> table;
  packet.SetCmd(kOpGetSmbios, kSmbiosTable, 0, kAnyCabinet, 22);
  if (m_SwitchClient.Request(packet, 0, 0, 0) == 0) packet.GetDataStream(table, 0);
  if (!entry.empty() && !table.empty()) {
    m_SMBios.Connect(table.data(), static_cast<uint32_t>(table.size()), entry.data(),
                     static_cast<uint32_t>(entry.size()));
  } else {
    HX_TRACE(2,
             "\n## ERROR! Connected to remote server \"%s\", but SMBIOS data not available via HCMI (CmdStatus = "
             "0x%02X)!",
             m_strRemoteServer.c_str(), PacketStatus(packet));
  }
}

void CDiagReport::OpenDataSources() {
  m_bAdministrator = 1;
  if (std::strcmp(HxObjectName, "hxas") == 0 || std::strcmp(HxObjectName, "HXAS") == 0) {
    m_bHxasInstallation = 1;
    HX_TRACE(4, "\nCServerControlInstal: HXAS installation detected!");
  }

  // The management daemon is taken as available without asking it.
  OnDetectSourceStarted("Server Control", kServerControlIndex, kSourceCount);
  m_bHxmdAvailable = 1;
  m_SwitchClient.m_nConnected = 1;
  OnDetectSourceCompleted("Server Control", kServerControlIndex, kSourceCount, SOURCE_DETECTED);

  OnDetectSourceStarted("SM BIOS", kSmBiosIndex, kSourceCount);
  if (!m_strRemoteServer.empty() && m_bHxmdAvailable) ConnectRemoteSMBios();
  if (!m_SMBios.IsConnected()) m_SMBios.Connect(nullptr, 0, nullptr, 0);
  m_bSMBiosConnected = m_SMBios.IsConnected() ? 1 : 0;
  OnDetectSourceCompleted("SM BIOS", kSmBiosIndex, kSourceCount,
                          m_bSMBiosConnected ? SOURCE_DETECTED : SOURCE_NOT_DETECTED);

  OnDetectSourceStarted("SNMP", kSnmpIndex, kSourceCount);
  m_bSnmpAvailable = 0;
  OnDetectSourceCompleted("SNMP", kSnmpIndex, kSourceCount, SOURCE_NOT_DETECTED);
}
