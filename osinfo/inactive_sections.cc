#include "app/diag_report.h"
#include "platform/debug.h"

// Actions that hold a place in the action table but collect nothing on this
// platform. The driver disables all but ScanSystemDevices; each still yields
// its placeholder section when enabled.

static _ActionState AddEmptySection(CMarkup& xml, const char* name, int schema) {
  xml.AddElem(name);
  xml.AddAttrib("Schema", schema);
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanSystemDevices(CMarkup& xml) { return AddEmptySection(xml, "Devices", 2); }

_ActionState CDiagReport::ScanSystemVolumes(CMarkup& xml) { return AddEmptySection(xml, "Volumes", 1); }

_ActionState CDiagReport::ScanPrograms(CMarkup& xml) { return AddEmptySection(xml, "Software", 1); }

_ActionState CDiagReport::ScanProcesses(CMarkup&) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanProcesses()");
  HX_TRACE(4, "\nCDiagReport         : <- ScanProcesses()");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanSystemDrives(CMarkup&) { return ACTION_STATE_NOTHING; }

_ActionState CDiagReport::ScanNetAdapter(CMarkup&) { return ACTION_STATE_WRITTEN; }

_ActionState CDiagReport::ScanNetInterfaces(CMarkup&) { return ACTION_STATE_WRITTEN; }

_ActionState CDiagReport::ScanNetPorts(CMarkup&) { return ACTION_STATE_WRITTEN; }
