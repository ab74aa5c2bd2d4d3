#include "hxmd/machine_profile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "hxmd/controller_profile.h"
#include "hxmd/profile_values.h"
#include "hxmd/sdr_encoder.h"
#include "xml/markup.h"

namespace {

struct FaultName {
  const char* name;
  _ReplyRule::Fault fault;
};
constexpr FaultName kFaults[] = {{"none", _ReplyRule::FaultNone},         {"noreply", _ReplyRule::FaultNoReply},
                                 {"close", _ReplyRule::FaultClose},       {"garbage", _ReplyRule::FaultGarbage},
                                 {"truncate", _ReplyRule::FaultTruncate}};

_ReplyRule ParseReply(CMarkup& xml) {
  _ReplyRule rule;
  if (xml.GetAttrib("OpCode").empty()) Fail(xml, "OpCode missing");
  rule.OpCode = uint32_t(Number(xml, "OpCode", 0));
  rule.OpCodeExt = Key(xml, "OpCodeExt");
  rule.ObjectId = Key(xml, "ObjectId");
  rule.CabinetNr = Key(xml, "CabinetNr");
  rule.RequestValue = Key(xml, "RequestValue");
  rule.Status = uint32_t(Number(xml, "Status", 0));
  if (!xml.GetAttrib("Flags").empty()) rule.Flags = uint8_t(Number(xml, "Flags", 0));
  rule.DelayMs = uint32_t(Number(xml, "Delay", 0));
  rule.Pieces = uint32_t(std::max<int64_t>(1, Number(xml, "Pieces", 1)));
  rule.PieceGapMs = uint32_t(Number(xml, "PieceGap", 20));
  rule.Uses = uint32_t(Number(xml, "Uses", 0));
  std::string fault = xml.GetAttrib("Fault");
  if (!fault.empty()) {
    const FaultName* found = nullptr;
    for (const FaultName& candidate : kFaults)
      if (fault == candidate.name) found = &candidate;
    if (found == nullptr) Fail(xml, "unknown Fault \"" + fault + "\"");
    rule.ReplyFault = found->fault;
  }
  rule.Data = ParseData(xml);
  return rule;
}

_ScriptedEvent ParseEvent(CMarkup& xml) {
  _ScriptedEvent event;
  if (xml.GetAttrib("OpCode").empty()) Fail(xml, "OpCode missing");
  event.OpCode = uint32_t(Number(xml, "OpCode", 0));
  event.OpCodeExt = uint32_t(Number(xml, "OpCodeExt", 0));
  event.ObjectId = uint32_t(Number(xml, "ObjectId", 0));
  event.CabinetNr = uint32_t(Number(xml, "CabinetNr", 0xFFFFFFFF));
  event.DelayMs = uint32_t(Number(xml, "Delay", 0));
  event.Data = ParseData(xml);
  return event;
}

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


// A <Record> given by its fields (Type="Full" or "Compact") or as hex bytes.
std::vector<uint8_t> SdrRecordBytes(CMarkup& xml) {
  std::string type = xml.GetAttrib("Type");
  if (type.empty()) {
    std::vector<uint8_t> bytes;
    AppendHex(xml, bytes, xml.GetData());
    return bytes;
  }
  if (type != "Full" && type != "Compact") Fail(xml, "unknown record Type \"" + type + "\"");
  _SdrSensorFields f;
  f.recordId = uint16_t(Number(xml, "Id", 0));
  f.ownerId = uint8_t(Number(xml, "Owner", f.ownerId));
  f.sensorNumber = uint8_t(Number(xml, "SensorNumber", f.sensorNumber));
  f.entityId = uint8_t(Number(xml, "EntityId", f.entityId));
  f.entityInstance = uint8_t(Number(xml, "EntityInstance", f.entityInstance));
  f.sensorType = uint8_t(Number(xml, "SensorType", f.sensorType));
  f.readingType = uint8_t(Number(xml, "ReadingType", f.readingType));
  f.baseUnit = uint8_t(Number(xml, "Unit", f.baseUnit));
  f.modifierUnit = uint8_t(Number(xml, "ModifierUnit", f.modifierUnit));
  f.linearization = uint8_t(Number(xml, "Linearization", f.linearization));
  f.m = int(Number(xml, "M", f.m));
  f.b = int(Number(xml, "B", f.b));
  f.bExponent = int(Number(xml, "BExponent", f.bExponent));
  f.resultExponent = int(Number(xml, "ResultExponent", f.resultExponent));
  f.name = xml.GetAttrib("Name");
  // Each threshold given makes it readable.
  struct Threshold {
    const char* attribute;
    uint8_t mask;
    uint8_t _SdrSensorFields::*field;
  };
  static constexpr Threshold kThresholds[] = {{"UpperCritical", 0x10, &_SdrSensorFields::upperCritical},
                                              {"UpperNonCritical", 0x08, &_SdrSensorFields::upperNonCritical},
                                              {"LowerCritical", 0x02, &_SdrSensorFields::lowerCritical},
                                              {"LowerNonCritical", 0x01, &_SdrSensorFields::lowerNonCritical}};
  f.readableMask = 0;
  for (const Threshold& t : kThresholds) {
    if (xml.GetAttrib(t.attribute).empty()) continue;
    f.*t.field = uint8_t(Number(xml, t.attribute, 0));
    f.readableMask |= t.mask;
  }
  return type == "Full" ? BuildFullSdr(f) : BuildCompactSdr(f);
}

// <SensorDataRecords> holds the controller's SDRs, one <Record Id="..">
// each: the ID list command and one record command per ID.
void ParseSensorDataRecords(CMarkup& xml, CReplyTable& table) {
  std::vector<uint8_t> ids;
  std::vector<_ReplyRule> records;
  xml.IntoElem();
  while (xml.FindElem("Record")) {
    if (xml.GetAttrib("Id").empty()) Fail(xml, "Id missing");
    uint32_t id = uint32_t(Number(xml, "Id", 0)) & 0xFFFF;
    AppendLittleEndian(ids, id, 2);
    std::vector<uint8_t> bytes = SdrRecordBytes(xml);
    records.push_back(MakeReplyRule(0xF044, 0, id, std::nullopt, std::move(bytes)));
  }
  xml.OutOfElem();
  _ReplyRule list = MakeReplyRule(0xF043, 0, 0, std::nullopt, std::move(ids));
  list.ObjectId.reset();
  table.Add(std::move(list));
  for (_ReplyRule& record : records) table.Add(std::move(record));
}

}  // namespace

void ParseSensors(CMarkup& xml, CReplyTable& table, std::optional<uint32_t> cabinetNr) {
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
    _ReplyRule count = MakeReplyRule(SensorKinds()[kind].countOpCode, 0, 0, cabinetNr, {uint8_t(counts[kind])});
    count.ObjectId.reset();
    table.Add(std::move(count));
    for (_ReplyRule& rule : rulesByKind[kind]) table.Add(std::move(rule));
  }
}

bool CMachineProfile::Load(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (!LoadText(text.str(), error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool CMachineProfile::LoadText(const std::string& text, std::string& error) {
  *this = CMachineProfile();
  CMarkup xml;
  if (!xml.SetDoc(text) || !xml.IsWellFormed()) {
    error = "not a well-formed XML document";
    return false;
  }
  xml.ResetPos();
  if (!xml.FindElem("HxmdProfile")) {
    error = "no <HxmdProfile> root element";
    return false;
  }
  m_strName = xml.GetAttrib("Name");
  // Scripted <Reply> entries come first so they can override what the
  // descriptive elements generate.
  try {
    if (!xml.GetAttrib("DefaultStatus").empty()) m_Replies.m_nDefaultStatus = uint32_t(Number(xml, "DefaultStatus", 0));
    xml.IntoElem();
    while (xml.FindElem()) {
      std::string tag = xml.GetTagName();
      if (tag == "Reply") m_Replies.Add(ParseReply(xml));
      else if (tag == "Event") m_Events.push_back(ParseEvent(xml));
      else if (tag != "Sensors" && tag != "SensorDataRecords" && !IsControllerElement(tag))
        Fail(xml, "unknown element");
    }
    xml.ResetMainPos();
    while (xml.FindElem()) {
      if (xml.GetTagName() == "Sensors") ParseSensors(xml, m_Replies, Key(xml, "CabinetNr"));
      if (xml.GetTagName() == "SensorDataRecords") ParseSensorDataRecords(xml, m_Replies);
    }
    ParseControllerElements(xml, m_Replies);
  } catch (const ProfileError& failure) {
    *this = CMachineProfile();
    error = failure.what();
    return false;
  }
  return true;
}
