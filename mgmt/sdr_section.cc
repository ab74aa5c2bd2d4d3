#include <cstdio>

#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "mgmt/sdr_data.h"
#include "platform/debug.h"

namespace {

constexpr uint32_t kSdrListCmd = 0xF043;
constexpr uint32_t kSdrReadCmd = 0xF044;

std::string HexNumber(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%X", value);
  return text;
}

void SetRecordAttributes(CMarkup& xml, const CSdrData& record) {
  xml.AddChildAttrib("RecordID", int(record.GetRecordId()));
  xml.AddChildAttrib("RecordType", int(record.GetRecordType()));
  xml.AddChildAttrib("RecordTypeName", record.GetRecordTypeName());
  xml.AddChildAttrib("Version", record.GetVersionText());
  xml.AddChildAttrib("Length", int(record.GetLength()));
}

void AddRecordDump(CMarkup& xml, const CSdrData& record) {
  xml.AddChildElem("Data");
  xml.AddChildAttrib("Size", int(record.GetLength()));
  xml.IntoElem();
  CMarkup dump = CDiagReport::AddRawDataDump(record.GetBytes(), record.GetLength(), 16, 1);
  if (dump.IsWellFormed()) xml.AddChildSubDoc(dump.GetDoc());
  xml.OutOfElem();
}

void AddKey(CMarkup& xml, const CSdrData& record) {
  xml.AddChildElem("Key");
  xml.IntoElem();
  xml.AddChildElem("SensorOwner");
  xml.AddChildAttrib("Type", record.IsSoftwareOwner() ? "Software" : "IPMB");
  xml.IntoElem();
  xml.AddChildElem("ID", HexNumber(record.GetOwnerId()));
  xml.AddChildElem("LUN", int(record.GetOwnerLun()));
  if (record.HasOwnerChannel()) xml.AddChildElem("Channel", int(record.GetOwnerChannel()));
  xml.OutOfElem();
  if (record.IsSensorRecord()) xml.AddChildElem("SensorNumber", record.GetSensorNumber());
  xml.OutOfElem();
}

void AddEntity(CMarkup& xml, const CSdrData& record) {
  if (!record.HasEntity()) return;
  xml.AddChildElem("Entity");
  xml.IntoElem();
  xml.AddChildElem("ID", int(record.GetEntityId()));
  xml.AddChildElem("Instance", int(record.GetEntityInstance()));
  std::string name;
  if (record.GetEntityName(name)) xml.AddChildElem("Name", name);
  xml.OutOfElem();
}

void AddThresholds(CMarkup& xml, const CSdrData& record) {
  if (!record.HasThresholds()) return;
  xml.AddChildElem("Thresholds");
  xml.IntoElem();
  for (const _SdrThreshold& threshold : CSdrData::Thresholds()) {
    if ((record.GetThresholdMask() & threshold.mask) == 0) continue;
    uint8_t raw = record.GetRawByte(threshold.offset);
    std::string normalized;
    xml.AddChildElem(threshold.name);
    xml.IntoElem();
    xml.AddChildElem("Raw", int(raw));
    xml.AddChildElem("Normalized", GetNormalizedSdrStringValue(normalized, record, raw));
    xml.OutOfElem();
  }
  xml.OutOfElem();
}

void AddSensor(CMarkup& xml, const CSdrData& record) {
  if (!record.IsSensorRecord()) return;
  xml.AddChildElem("Sensor");
  xml.IntoElem();
  xml.AddChildElem("Type", int(record.GetSensorType()));
  xml.AddChildElem("TypeName", CSdrData::GetSensorTypeName(record.GetSensorType()));
  xml.AddChildElem("BaseUnit", int(record.GetSensorBaseUnit()));
  xml.AddChildElem("ModifierUnit", int(record.GetSensorModifierUnit()));
  xml.AddChildElem("BaseUnitName", CSdrData::GetSensorUnitName(record.GetSensorBaseUnit()));
  xml.AddChildElem("ModifierUnitName", CSdrData::GetSensorUnitName(record.GetSensorModifierUnit()));
  AddThresholds(xml, record);
  xml.OutOfElem();
}

// Adds one SDR element; it stays empty when the record has no bytes.
void AddRecord(CMarkup& xml, const std::vector<uint8_t>& bytes) {
  xml.AddChildElem("SDR");
  if (bytes.empty()) return;
  CSdrData record;
  record.SetRecord(bytes.data(), bytes.size());
  SetRecordAttributes(xml, record);
  xml.IntoElem();
  AddRecordDump(xml, record);
  xml.AddChildElem("Decoded");
  xml.IntoElem();
  AddKey(xml, record);
  AddEntity(xml, record);
  AddSensor(xml, record);
  xml.OutOfElem();
  xml.OutOfElem();
}

void AddSensorDataRecords(CMarkup& xml, CSwitchClient& client) {
  CControllerRequest request(client);
  if (!request.Accepts({kSdrListCmd})) return;
  // Each identifier is the record number followed by the record kind.
  std::vector<uint8_t> ids = request.Bytes();
  size_t count = ids.size() / 2;
  HX_TRACE(3, "\nCDiagReport         : %d SDRs found", int(count));
  for (size_t i = 0; i < count; ++i) {
    uint8_t number = ids[2 * i];
    uint8_t kind = ids[2 * i + 1];
    uint32_t id = uint32_t(kind) << 8 | number;
    HX_TRACE(3, "\nCDiagReport         : Read SDR 0x%X (Nr: %d - Type %d)", id, number, kind);
    if (!request.Accepts({kSdrReadCmd, 0, id})) {
      HX_TRACE(1, "\nCDiagReport         : ERROR! Failed to read SDR 0x%X (Nr: %d - Type %d)!", id, number, kind);
      continue;
    }
    AddRecord(xml, request.Bytes());
  }
}

}  // namespace

_ActionState CDiagReport::ScanSdr(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  HX_TRACE(4, "\nCDiagReport         : -> ScanSdr()");
  try {
    xml.ResetPos();
    xml.AddElem("SensorDataRecords");
    xml.AddAttrib("Schema", "1");
    if (m_bHxmdAvailable) AddSensorDataRecords(xml, m_SwitchClient);
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION in ScanSdr()");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanSdr()");
  return ACTION_STATE_NOTHING;
}
