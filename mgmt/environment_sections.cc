#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "mgmt/sensor_texts.h"
#include "platform/debug.h"

namespace {

using Readings = void (*)(CMarkup& xml, CControllerRequest& request, uint32_t sensor);

// One kind of environment sensor: its elements, the commands every item
// starts with, and what follows inside the item.
struct SensorListKind {
  const char* list;
  const char* item;
  uint32_t countCmd;
  uint32_t nameCmd;
  uint32_t cssCmd;  // 0: the kind has no CSS attribute
  Readings addReadings;
};

void AddStatus(CMarkup& xml, uint8_t status, const char* description) {
  xml.AddChildElem("Status", int(status));
  xml.AddChildAttrib("Description", description);
}

// Reads the sensor's status; false when the item ends without it.
bool AddAcceptedStatus(CMarkup& xml, CControllerRequest& request, uint32_t statusCmd, uint32_t sensor,
                       const char* (*describe)(uint8_t)) {
  if (!request.Accepts({statusCmd, 0, sensor})) return false;
  AddStatus(xml, request.Byte(), describe(request.Byte()));
  return true;
}

void AddVoltageReadings(CMarkup& xml, CControllerRequest& request, uint32_t sensor) {
  if (!AddAcceptedStatus(xml, request, 0x0521, sensor, VoltageStatusText)) return;
  if (request.Answers({0x0524, 0, sensor}))
    xml.AddChildElem("CurrValue", FormatCentiValue(request.Value()));
  if (request.Answers({0x0527, 0, sensor}))
    xml.AddChildElem("NomValue", FormatCentiValue(request.Value()));
  if (request.Accepts({0x0523, 0, sensor})) {
    uint32_t range = request.Value();
    xml.AddChildElem("Thresholds");
    xml.IntoElem();
    xml.AddChildElem("MinValue", FormatCentiValue(range & 0xFFFF));
    xml.AddChildElem("MaxValue", FormatCentiValue(range >> 16));
    xml.OutOfElem();
  }
}

void AddFanReadings(CMarkup& xml, CControllerRequest& request, uint32_t sensor) {
  constexpr uint8_t kNotManageable = 5;
  if (!AddAcceptedStatus(xml, request, 0x0301, sensor, FanStatusText)) return;
  if (request.Byte() == kNotManageable) return;
  if (request.Accepts({0x0302, 0, sensor}))
    xml.AddChildElem("CurrSpeed", int(request.Value()));
  if (request.Answers({0x0313, 0, sensor}, 4)) {
    uint32_t speeds = request.Value();
    xml.AddChildElem("CurrMaxSpeed", int(speeds & 0xFFFF));
    xml.AddChildElem("NomMaxSpeed", int(speeds >> 16));
  }
}

void AddTemperatureReadings(CMarkup& xml, CControllerRequest& request, uint32_t sensor) {
  constexpr uint8_t kNotAvailable = 0;
  if (!AddAcceptedStatus(xml, request, 0x0401, sensor, TemperatureStatusText)) return;
  if (request.Byte() == kNotAvailable) return;
  request.Send({0x0402, 0, sensor});
  xml.AddChildElem("CurrValue", int(request.Byte()));
  if (request.Accepts({0xE001, 0x0090, sensor}))
    xml.AddChildElem("WarningThreshold", int(request.Byte()));
  if (request.Accepts({0xE001, 0x0091, sensor}))
    xml.AddChildElem("CriticalThreshold", int(request.Byte()));
}

void AddPowerSupplyReadings(CMarkup& xml, CControllerRequest& request, uint32_t sensor) {
  AddAcceptedStatus(xml, request, 0x0501, sensor, PowerSupplyStatusText);
  if (request.Accepts({0x0506, 0, sensor}))
    xml.AddChildElem("Load", int(request.Value()));
}

constexpr SensorListKind kVoltages{"Voltages", "Voltage", 0x0520, 0x0522, 0x0529, AddVoltageReadings};
constexpr SensorListKind kFans{"Fans", "Fan", 0x0300, 0x0304, 0x0307, AddFanReadings};
constexpr SensorListKind kTemperatures{"Temperatures", "Temperature", 0x0400, 0x0404, 0, AddTemperatureReadings};
constexpr SensorListKind kPowerSupplies{"PowerSupplies", "PowerSupply", 0x0500, 0x0504, 0, AddPowerSupplyReadings};

// Adds the list element at the document root and one item per sensor of the
// cabinet. Returns 1 when the sensor count could be read, else 0.
int InsertSensorList(CDiagReport& report, CMarkup& xml, uint32_t cabinet, const SensorListKind& kind) {
  xml.ResetPos();
  xml.AddElem(kind.list);
  xml.AddAttrib("Schema", "1");
  xml.AddAttrib("Count", 0);
  if (!report.m_bHxmdAvailable) return 0;

  CControllerRequest request(report.m_SwitchClient, cabinet);
  if (!request.Succeeds(_ControllerCommand(kind.countCmd).Query())) return 0;
  uint32_t count = request.Byte();
  xml.SetAttrib("Count", int(count));
  for (uint32_t sensor = 0; sensor < count; ++sensor) {
    if (!xml.AddChildElem(kind.item)) continue;
    request.Send({kind.nameCmd, 0, sensor});
    xml.AddChildAttrib("Name", request.Text());
    if (kind.cssCmd != 0 && request.Accepts({kind.cssCmd, 0, sensor}))
      xml.AddChildAttrib("CSS", request.HasData() && request.Byte() == 1 ? "true" : "false");
    xml.IntoElem();
    kind.addReadings(xml, request, sensor);
    xml.OutOfElem();
  }
  return 1;
}

// Runs one sensor list with the entry, exit and exception traces of the
// named operation.
int RunSensorList(CDiagReport& report, CMarkup& xml, uint32_t cabinet, const SensorListKind& kind,
                  const char* operation) {
  HX_TRACE(4, "\nCDiagReport         : -> %s()", operation);
  int result = 0;
  try {
    result = InsertSensorList(report, xml, cabinet, kind);
  } catch (...) {
    HX_TRACE(1, "\n\nCDiagReport         :  ## EXCEPTION in %s()!", operation);
  }
  HX_TRACE(4, "\nCDiagReport         : <- %s()", operation);
  return result;
}

_ActionState ScanState(int inserted) { return inserted == 1 ? ACTION_STATE_WRITTEN : ACTION_STATE_NOTHING; }

}  // namespace

int CDiagReport::InsertSystemVoltages(CMarkup& xml, uint32_t cabinet) {
  return RunSensorList(*this, xml, cabinet, kVoltages, "InsertSystemVoltages");
}

int CDiagReport::InsertSystemFans(CMarkup& xml, uint32_t cabinet) {
  return RunSensorList(*this, xml, cabinet, kFans, "InsertSystemFans");
}

int CDiagReport::InsertSystemTemperatures(CMarkup& xml, uint32_t cabinet) {
  return RunSensorList(*this, xml, cabinet, kTemperatures, "InsertSystemTemperatures");
}

int CDiagReport::InsertSystemPowerSupplies(CMarkup& xml, uint32_t cabinet) {
  return RunSensorList(*this, xml, cabinet, kPowerSupplies, "InsertSystemPowerSupplies");
}

// The voltage section always reports "nothing written" to the driver, even
// when its list is filled.
_ActionState CDiagReport::ScanVoltages(CMarkup& xml) {
  if (!m_bHxasInstallation) RunSensorList(*this, xml, CControllerRequest::kAllCabinets, kVoltages, "ScanVoltages");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanFans(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  return ScanState(InsertSystemFans(xml, CControllerRequest::kAllCabinets));
}

_ActionState CDiagReport::ScanTemperatures(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  return ScanState(InsertSystemTemperatures(xml, CControllerRequest::kAllCabinets));
}

_ActionState CDiagReport::ScanPowerSupplies(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  return ScanState(InsertSystemPowerSupplies(xml, CControllerRequest::kAllCabinets));
}
