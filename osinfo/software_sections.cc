#include <array>
#include <cstdint>
#include <string>

#include "app/build_constants.h"
#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "osinfo/setup_paths.h"
#include "platform/debug.h"
#include "platform/registry.h"

namespace {

// Sub-codes of the agents' security settings (command 0xE001).
constexpr uint32_t kSetAllowed = 0x3810;
constexpr uint32_t kAccountCheck = 0x3812;
constexpr uint32_t kUserGroup = 0x3813;

constexpr std::array<const char*, 4> kSystemStatusNames{"N/A", "OK", "warning", "error"};

// A reply without data reads as byte 0: "no".
void AddYesNoSetting(CMarkup& xml, CControllerRequest& request, uint32_t subCode, const char* element) {
  if (request.Succeeds({0xE001, subCode})) xml.AddElem(element, request.Byte() == 1 ? "yes" : "no");
}

void AddSecurity(CMarkup& xml, CSwitchClient& client) {
  CControllerRequest request(client);
  AddYesNoSetting(xml, request, kSetAllowed, "SetAllowed");
  AddYesNoSetting(xml, request, kAccountCheck, "AccountCheck");
  if (request.Succeeds({0xE001, kUserGroup})) xml.AddElem("UserGroup", request.Text().c_str());
}

void AddSystemStatus(CMarkup& xml, CSwitchClient& client) {
  CControllerRequest request(client);
  xml.AddElem("System");
  xml.IntoElem();
  if (request.Succeeds({0x230F})) {
    uint8_t status = request.Byte();
    xml.AddElem("Status", status);
    xml.AddAttrib("Description", status < kSystemStatusNames.size() ? kSystemStatusNames[status] : "N/A");
  } else {
    xml.AddElem("Value", 0);
    xml.AddAttrib("Description", "unknown");
  }
  xml.OutOfElem();
}

bool IsSmartEnabled() {
  CSnmpAgentsPaths paths;
  std::string key = paths.m_strAgentsKey + "\\HD_MIB";
  key += "\\Parameters";
  CRegistry registry;
  uint32_t enabled = 0;
  if (registry.Open(key.c_str(), CRegistry::MLocalMachine, 0) == 0 &&
      registry.QueryValue(&enabled, "EnableSmart") != 0) {
    enabled = 0;
  }
  return enabled != 0;
}

}  // namespace

_ActionState CDiagReport::ScanHalvexAgents(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanHalvexAgents()");
  try {
    AddSectionElem(xml, "SNMPAgents", 1);
    xml.IntoElem();
    HX_TRACE(3, "\nCHalvexAgents   :    sysAgentVersion.0: %s\n", HxObjectVersion);
    xml.AddElem("ProductVersion", HxObjectVersion);
    xml.AddElem("Security");
    xml.IntoElem();
    if (m_bHxmdAvailable) AddSecurity(xml, m_SwitchClient);
    xml.OutOfElem();
    xml.AddElem("StatusTree");
    xml.IntoElem();
    if (m_bHxmdAvailable) AddSystemStatus(xml, m_SwitchClient);
    xml.OutOfElem();
    xml.AddElem("SMART");
    xml.IntoElem();
    xml.AddElem("HD_MIB");
    xml.AddChildElem("Enabled", IsSmartEnabled() ? "true" : "false");
    xml.OutOfElem();
    xml.OutOfElem();
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION ScanHalvexAgents()");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanHalvexAgents()");
  return ACTION_STATE_WRITTEN;
}

_ActionState CDiagReport::ScanServerControl(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanServerControl()");
  try {
    AddSectionElem(xml, "ServerControl", 1);
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION in ScanServerControl()!");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanServerControl()");
  return ACTION_STATE_WRITTEN;
}

_ActionState CDiagReport::ScanRemoteConnector(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanRemoteConnector()");
  _ActionState state = ACTION_STATE_NOTHING;
  if (!m_bHxasInstallation) {
    AddSectionElem(xml, "RemoteConnector", 1);
    state = ACTION_STATE_WRITTEN;
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanRemoteConnector()");
  return state;
}

_ActionState CDiagReport::ScanSnmp(CMarkup& xml) {
  HX_TRACE(5, "\nCDiagReport         : -> ScanSnmp");
  AddSectionElem(xml, "SNMP", 2);
  xml.AddChildElem("Service");
  HX_TRACE(5, "\nCDiagReport         : <- ScanSnmp");
  return ACTION_STATE_NOTHING;
}
