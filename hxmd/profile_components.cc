#include "hxmd/profile_components.h"

#include <time.h>


#include "hxmd/controller_components.h"
#include "hxmd/event_log_encoder.h"
#include "hxmd/inventory_profile.h"
#include "hxmd/profile_reader.h"
#include "xml/markup.h"

namespace hxmd_profile {

namespace {

// The commands of one sensor kind and the attribute each one answers from.
// Width 0 is the name (text); CSS and status are single bytes.
struct SensorCommand {
  uint32_t opCode;
  uint32_t opCodeExt;
  const char* attribute;
  int width;
  const char* highAttribute = nullptr;  // second 16-bit word of a 4-byte pair
};
struct SensorKind {
  const char* element;
  uint32_t countOpCode;
  std::vector<SensorCommand> commands;
};

const std::vector<SensorKind>& SensorKinds() {
  static const std::vector<SensorKind> kinds = {
      {"Voltage",
       0x0520,
       {{0x0522, 0, "Name", 0},
        {0x0529, 0, "CSS", 1},
        {0x0521, 0, "Status", 1},
        {0x0524, 0, "Current", 2},
        {0x0527, 0, "Nominal", 2},
        {0x0523, 0, "Min", 4, "Max"}}},
      {"Fan",
       0x0300,
       {{0x0304, 0, "Name", 0},
        {0x0307, 0, "CSS", 1},
        {0x0301, 0, "Status", 1},
        {0x0302, 0, "Speed", 2},
        {0x0313, 0, "MaxSpeed", 4, "NominalMaxSpeed"}}},
      {"Temperature",
       0x0400,
       {{0x0404, 0, "Name", 0},
        {0x0401, 0, "Status", 1},
        {0x0402, 0, "Current", 1},
        {0xE001, 0x0090, "Warning", 1},
        {0xE001, 0x0091, "Critical", 1}}},
      {"PowerSupply", 0x0500, {{0x0504, 0, "Name", 0}, {0x0501, 0, "Status", 1}, {0x0506, 0, "Load", 2}}},
  };
  return kinds;
}

// <Sensors> lists the sensors of one cabinet; each becomes the replies to
// the count, name, status and value commands of its kind.
void AddSensors(CMarkup& xml, CReplyTable& table) { AddCabinetSensors(xml, table, Key(xml, "CabinetNr")); }

// <SensorDataRecords> holds the controller's SDRs, one <Record Id=".."> each
// (hex bytes or fields): the ID list command and one record command per ID.
void AddSensorDataRecords(CMarkup& xml, CReplyTable& table) {
  std::vector<uint8_t> ids;
  std::vector<_ReplyRule> records;
  xml.IntoElem();
  while (xml.FindElem("Record")) {
    if (xml.GetAttrib("Id").empty()) Fail(xml, "Id missing");
    uint32_t id = uint32_t(Number(xml, "Id", 0)) & 0xFFFF;
    AppendLittleEndian(ids, id, 2);
    records.push_back(MakeReplyRule(0xF044, 0, id, std::nullopt, SdrRecordBytes(xml)));
  }
  xml.OutOfElem();
  _ReplyRule list = MakeReplyRule(0xF043, 0, std::nullopt, std::nullopt, std::move(ids));
  table.Add(std::move(list));
  for (_ReplyRule& record : records) table.Add(std::move(record));
}

// A log time stamp: seconds since 1970 or "YYYY-MM-DD HH:MM:SS" (UTC).
int64_t TimeStamp(const CMarkup& xml) {
  std::string text = xml.GetAttrib("Time");
  if (text.find('-', 1) == std::string::npos) return Number(xml, "Time", 0);
  tm broken{};
  const char* end = strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &broken);
  if (end == nullptr || *end != '\0') Fail(xml, "Time is neither seconds nor YYYY-MM-DD HH:MM:SS");
  return timegm(&broken);
}

_LogRecordFields LogRecord(const CMarkup& xml, uint32_t handle) {
  _LogRecordFields record;
  record.severity = uint8_t(Number(xml, "Severity", 0));
  record.code = uint32_t(Number(xml, "ErrorCode", 0));
  record.time = TimeStamp(xml);
  record.dataHandle = handle;
  record.text = xml.GetAttrib("Message");
  return record;
}

// Length overrides a record's length field, for broken logs.
std::optional<uint32_t> LengthField(const CMarkup& xml) {
  if (xml.GetAttrib("Length").empty()) return std::nullopt;
  return uint32_t(Number(xml, "Length", 0));
}

// <SystemEventLog>: one <Record Severity= ErrorCode= Time= Handle= Message=
// Length=> per entry, its raw data as hex content. The log command returns
// the packed records; the raw data command answers for the handle of each
// record that has raw data.
void AddSystemEventLog(CMarkup& xml, CReplyTable& table) {
  std::vector<uint8_t> log;
  std::vector<_ReplyRule> rawData;
  uint32_t index = 0;
  xml.IntoElem();
  while (xml.FindElem("Record")) {
    uint32_t handle = uint32_t(Number(xml, "Handle", ++index));
    AppendSelRecord(log, LogRecord(xml, handle), LengthField(xml));
    std::vector<uint8_t> raw;
    AppendHex(xml, raw, xml.GetData());
    if (raw.empty()) continue;
    _ReplyRule rule = MakeReplyRule(0x0B19, 0, std::nullopt, std::nullopt, std::move(raw));
    rule.RequestData.emplace();
    AppendLittleEndian(*rule.RequestData, handle, 4);
    rawData.push_back(std::move(rule));
  }
  xml.OutOfElem();
  _ReplyRule list = MakeReplyRule(0x0B10, 0, std::nullopt, std::nullopt, std::move(log));
  table.Add(std::move(list));
  for (_ReplyRule& raw : rawData) table.Add(std::move(raw));
}

// <InternalEventLog>: one <Record Severity= ErrorCode= Time= Message=
// Length=> per entry; the log command returns them packed.
void AddInternalEventLog(CMarkup& xml, CReplyTable& table) {
  std::vector<uint8_t> log;
  xml.IntoElem();
  while (xml.FindElem("Record")) AppendIelRecord(log, LogRecord(xml, 0), LengthField(xml));
  xml.OutOfElem();
  _ReplyRule list = MakeReplyRule(0x0B31, 0, std::nullopt, std::nullopt, std::move(log));
  table.Add(std::move(list));
}

struct Component {
  const char* tag;
  void (*add)(CMarkup& xml, CReplyTable& table);
};
constexpr Component kComponents[] = {
    {"Sensors", AddSensors},
    {"SensorDataRecords", AddSensorDataRecords},
    {"SystemEventLog", AddSystemEventLog},
    {"InternalEventLog", AddInternalEventLog},
    {"IdProms", AddIdProms},
    {"BootStatus", AddBootStatus},
    {"Features", AddFeatures},
    {"ManagementController", AddManagementController},
    {"StorageExtensions", AddStorageExtensions},
    {"MemoryModules", AddMemoryModules},
    {"Processors", AddProcessors},
    {"PciSlots", AddPciSlots},
};

}  // namespace

void AddCabinetSensors(CMarkup& xml, CReplyTable& table, std::optional<uint32_t> cabinetNr) {
  std::vector<std::vector<_ReplyRule>> rulesByKind(SensorKinds().size());
  std::vector<uint32_t> counts(SensorKinds().size(), 0);
  xml.IntoElem();
  while (xml.FindElem()) {
    size_t kind = 0;
    while (kind < SensorKinds().size() && xml.GetTagName() != SensorKinds()[kind].element) ++kind;
    if (kind == SensorKinds().size()) Fail(xml, "unknown sensor kind");
    uint32_t index = counts[kind]++;
    for (const SensorCommand& command : SensorKinds()[kind].commands) {
      std::string value = xml.GetAttrib(command.attribute);
      if (value.empty()) continue;
      std::vector<uint8_t> data;
      if (command.width == 0) {
        data.assign(value.begin(), value.end());
      } else if (std::string(command.attribute) == "CSS") {
        data.push_back(Flag(xml, "CSS") ? 1 : 0);
      } else if (command.highAttribute != nullptr) {
        AppendLittleEndian(data, Hundredths(xml, command.attribute), 2);
        AppendLittleEndian(data, Hundredths(xml, command.highAttribute), 2);
      } else {
        AppendLittleEndian(data, Hundredths(xml, command.attribute), command.width);
      }
      rulesByKind[kind].push_back(MakeReplyRule(command.opCode, command.opCodeExt, index, cabinetNr, std::move(data)));
    }
  }
  xml.OutOfElem();
  for (size_t kind = 0; kind < SensorKinds().size(); ++kind) {
    if (counts[kind] == 0) continue;
    table.Add(MakeReplyRule(SensorKinds()[kind].countOpCode, 0, std::nullopt, cabinetNr, {uint8_t(counts[kind])}));
    for (_ReplyRule& rule : rulesByKind[kind]) table.Add(std::move(rule));
  }
}

bool IsComponent(const std::string& tag) {
  for (const Component& component : kComponents)
    if (tag == component.tag) return true;
  return false;
}

void AddComponent(CMarkup& xml, CReplyTable& table) {
  std::string tag = xml.GetTagName();
  for (const Component& component : kComponents)
    if (tag == component.tag) component.add(xml, table);
}

}  // namespace hxmd_profile
