#include <cstdlib>
#include <cstring>
#include <string>

#include "app/diag_report.h"
#include "osinfo/daemon_query.h"
#include "platform/debug.h"

// The RAID manager announces itself through the agents' start-up
// environment; its status document comes through the management daemon.

namespace {

bool IsFlagSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

bool IsServiceRunning(const char* service) {
  if (service == nullptr || *service == '\0') {
    HX_TRACE(1, "\nCOsInfo             : IsServiceRunning, no service name given");
    return false;
  }
  bool running = std::strcmp(service, "rdService") == 0 && IsFlagSet("HX_RAID_READY");
  HX_TRACE(2, "\nCOsInfo             : %s %srunning", service, running ? "" : "NOT ");
  return running;
}

std::string RaidVersion() {
  const char* version = std::getenv("HX_RAID_VERSION");
  std::string text = version != nullptr && *version != '\0' ? version : "N/A";
  HX_TRACE(3, "\nCOsInfo             :    GetHalvexRaidVersion: %s\n", text.c_str());
  return text;
}

bool IsAcceptedStatus(uint32_t status) { return status == 0 || status == 12 || status == 21 || status == 255; }

// Copies the RAID manager's document under the section when it is
// well-formed and declares a layout version above 1.
void AddRaidDocument(CMarkup& xml, CSwitchClient& client) {
  CDaemonQuery query(client);
  query.Send(0xF020, 1, 0);
  SwitchInterfacePacket& reply = query.Packet();
  if (reply.IsEmpty() || !IsAcceptedStatus(reply.GetCmdStatus())) return;
  std::string text;
  reply.GetDataString(text);
  CMarkup document(text.c_str());
  document.ResetPos();
  if (!document.FindElem("rdEMX")) return;
  if (!document.IsWellFormed()) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! rdEMX XML stream not valid!");
    return;
  }
  if (std::strtol(document.GetAttrib("Version").c_str(), nullptr, 10) > 1) xml.AddChildSubDoc(document.GetSubDoc());
}

}  // namespace

_ActionState CDiagReport::ScanHalvexRaid(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanHalvexRaid()");
  bool installed = IsFlagSet("HX_RAID_EXISTS");
  HX_TRACE(2, "\nCOsInfo             : HalvexRaid is %sinstalled", installed ? "" : "NOT ");
  xml.AddElem("HalvexRaid");
  xml.AddAttrib("Schema", 1);
  xml.AddAttrib("Installed", installed ? "true" : "false");
  if (installed) {
    xml.AddChildElem("Version", RaidVersion());
    if (IsServiceRunning("rdService") && m_bHxmdAvailable) AddRaidDocument(xml, m_SwitchClient);
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanHalvexRaid()");
  return ACTION_STATE_NOTHING;
}
