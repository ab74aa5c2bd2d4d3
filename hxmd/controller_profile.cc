#include "hxmd/controller_profile.h"

#include <arpa/inet.h>

#include <cstdio>
#include <ctime>
#include <map>

#include "hxmd/event_log_encoder.h"
#include "hxmd/machine_profile.h"
#include "hxmd/profile_values.h"

namespace {

constexpr uint32_t kAllCabinets = 0xFFFFFFFF;

// Command codes the scanner sends for these elements.
enum : uint32_t {
  kSelCmd = 0x0B10,
  kSelRawCmd = 0x0B19,
  kIelCmd = 0x0B31,
  kPowerOnReasonCmd = 0x0115,
  kPowerOffReasonCmd = 0x0116,
  kConfigCmd = 0xE001,
  kFeaturesCmd = 0x0C40,
  kValueCmd = 0x0C00,
  kClassNameCmd = 0x0C02,
  kValueNameCmd = 0x0C03,
  kValueListCmd = 0x0C04,
  kFieldNameCmd = 0x0C05,
  kRawDataCmd = 0x0C10,
  kClassListCmd = 0x0C20,
  kInstanceCountCmd = 0x0C21,
  kCabinetListCmd = 0x0220,
  kMainCabinetCmd = 0xE209,
};

// Items of the 0xE001 settings command and values of the 0x0C00 command.
enum : uint32_t {
  kPowerFailBehaviorItem = 0x0070,
  kIpAddressItem = 0x1440,
  kSubnetMaskItem = 0x1441,
  kGatewayItem = 0x1442,
  kMacAddressItem = 0x1445,
  kNominalSpeedItem = 0x1965,
  kLanPortItem = 0x1966,
  kFirmwareValue = 0x0506,
  kControllerNameValue = 0x0508,
  kCabinetNameValue = 0x0608,
};

constexpr const char* kElements[] = {"SystemEventLog", "InternalEventLog", "IdProms",         "BootStatus",
                                     "Features",       "ManagementController", "StorageExtension"};

std::vector<uint8_t> TextBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> ValueBytes(int64_t value, int width) {
  std::vector<uint8_t> bytes;
  AppendLittleEndian(bytes, value, width);
  return bytes;
}

void AddRule(CReplyTable& table, uint32_t opCode, uint32_t opCodeExt, std::optional<uint32_t> objectId,
             std::optional<uint32_t> cabinetNr, std::vector<uint8_t> data) {
  _ReplyRule rule = MakeReplyRule(opCode, opCodeExt, 0, cabinetNr, std::move(data));
  rule.ObjectId = objectId;
  table.Add(std::move(rule));
}

// A text attribute as reply, when present.
void AddTextRule(CReplyTable& table, const CMarkup& xml, const char* attribute, uint32_t opCode, uint32_t opCodeExt,
                 std::optional<uint32_t> objectId, std::optional<uint32_t> cabinetNr) {
  std::string text = xml.GetAttrib(attribute);
  if (!text.empty()) AddRule(table, opCode, opCodeExt, objectId, cabinetNr, TextBytes(text));
}

// A byte attribute as reply, when present.
void AddByteRule(CReplyTable& table, const CMarkup& xml, const char* attribute, uint32_t opCode, uint32_t opCodeExt,
                 std::optional<uint32_t> objectId) {
  if (!xml.GetAttrib(attribute).empty())
    AddRule(table, opCode, opCodeExt, objectId, std::nullopt, ValueBytes(Number(xml, attribute, 0), 1));
}

// Seconds since 1970 (UTC), given as a number or as "YYYY-MM-DD hh:mm:ss".
int64_t TimeStamp(const CMarkup& xml) {
  std::string text = xml.GetAttrib("Time");
  if (text.find('-', 1) == std::string::npos) return Number(xml, "Time", 0);
  std::tm broken{};
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &broken.tm_year, &broken.tm_mon, &broken.tm_mday,
                  &broken.tm_hour, &broken.tm_min, &broken.tm_sec) != 6)
    Fail(xml, "Time is neither seconds nor \"YYYY-MM-DD hh:mm:ss\"");
  broken.tm_year -= 1900;
  broken.tm_mon -= 1;
  return int64_t(timegm(&broken));
}

std::optional<uint32_t> LengthOverride(const CMarkup& xml) {
  if (xml.GetAttrib("Length").empty()) return std::nullopt;
  return uint32_t(Number(xml, "Length", 0));
}

// <SystemEventLog> / <InternalEventLog>: one <Record Severity Code Time Text>
// each, packed into the one log reply. SEL records may carry Raw bytes,
// fetched by the record's Handle (default: its position, from 1). Length
// overrides the record's length field, for broken logs.
void ParseEventLog(CMarkup& xml, CReplyTable& table, bool system) {
  std::vector<uint8_t> log;
  std::vector<_ReplyRule> rawRecords;
  xml.IntoElem();
  for (uint32_t position = 1; xml.FindElem("Record"); ++position) {
    _LogRecordFields record;
    record.severity = uint8_t(Number(xml, "Severity", 0));
    record.code = uint32_t(Number(xml, "Code", 0));
    record.time = TimeStamp(xml);
    record.dataHandle = uint32_t(Number(xml, "Handle", position));
    record.text = xml.GetAttrib("Text");
    if (!system) {
      AppendIelRecord(log, record, LengthOverride(xml));
      continue;
    }
    AppendSelRecord(log, record, LengthOverride(xml));
    if (xml.GetAttrib("Raw").empty()) continue;
    std::vector<uint8_t> raw;
    AppendHex(xml, raw, xml.GetAttrib("Raw"));
    _ReplyRule rule = MakeReplyRule(kSelRawCmd, 0, 0, std::nullopt, std::move(raw));
    rule.RequestValue = record.dataHandle;
    rawRecords.push_back(std::move(rule));
  }
  xml.OutOfElem();
  AddRule(table, system ? kSelCmd : kIelCmd, 0, std::nullopt, std::nullopt, std::move(log));
  for (_ReplyRule& rule : rawRecords) table.Add(std::move(rule));
}

// <BootStatus PowerOnReason PowerOffReason PowerFailBehavior/>
void ParseBootStatus(CMarkup& xml, CReplyTable& table) {
  AddByteRule(table, xml, "PowerOnReason", kPowerOnReasonCmd, 0, std::nullopt);
  AddByteRule(table, xml, "PowerOffReason", kPowerOffReasonCmd, 0, std::nullopt);
  AddByteRule(table, xml, "PowerFailBehavior", kConfigCmd, kPowerFailBehaviorItem, std::nullopt);
}

// <Features>: the controller's feature document, given as child elements
// or verbatim in a Text attribute (which may be anything, even broken XML).
void ParseFeatures(CMarkup& xml, CReplyTable& table) {
  std::string text = xml.GetAttrib("Text");
  xml.IntoElem();
  while (xml.FindElem()) text += xml.GetSubDoc();
  xml.OutOfElem();
  AddRule(table, kFeaturesCmd, 0, std::nullopt, std::nullopt, TextBytes(text));
}

std::vector<uint8_t> AddressBytes(const CMarkup& xml, const char* attribute) {
  std::string text = xml.GetAttrib(attribute);
  uint8_t bytes[16];
  if (inet_pton(AF_INET, text.c_str(), bytes) == 1) return std::vector<uint8_t>(bytes, bytes + 4);
  if (inet_pton(AF_INET6, text.c_str(), bytes) == 1) return std::vector<uint8_t>(bytes, bytes + 16);
  Fail(xml, std::string(attribute) + " is no IP address: \"" + text + "\"");
}

// <ManagementController Index Name Firmware IPAddress SubnetMask Gateway
// MACAddress LANPort NominalSpeed/>
void ParseManagementController(CMarkup& xml, CReplyTable& table) {
  uint32_t index = uint32_t(Number(xml, "Index", 0));
  AddTextRule(table, xml, "Name", kValueCmd, kControllerNameValue, index, std::nullopt);
  AddTextRule(table, xml, "Firmware", kValueCmd, kFirmwareValue, index, std::nullopt);
  struct Address {
    const char* attribute;
    uint32_t item;
  };
  for (Address address : {Address{"IPAddress", kIpAddressItem}, Address{"SubnetMask", kSubnetMaskItem},
                          Address{"Gateway", kGatewayItem}}) {
    if (!xml.GetAttrib(address.attribute).empty())
      AddRule(table, kConfigCmd, address.item, index, std::nullopt, AddressBytes(xml, address.attribute));
  }
  std::string mac = xml.GetAttrib("MACAddress");
  if (!mac.empty()) {
    for (char& c : mac)
      if (c == '-') c = ':';
    std::vector<uint8_t> bytes;
    AppendHex(xml, bytes, mac);
    AddRule(table, kConfigCmd, kMacAddressItem, index, std::nullopt, std::move(bytes));
  }
  AddByteRule(table, xml, "LANPort", kConfigCmd, kLanPortItem, index);
  AddByteRule(table, xml, "NominalSpeed", kConfigCmd, kNominalSpeedItem, index);
}

// <IdProms MainCabinet CabinetNr> with <Class Code Name CabinetNr>, each
// with <Field Id Name FieldName/> definitions and <Instance Raw> children
// holding <Value Id>text</Value>.
class CIdPromBuilder {
 public:
  explicit CIdPromBuilder(CReplyTable& table) : m_Table(table) {}

  void Parse(CMarkup& xml) {
    if (!xml.GetAttrib("MainCabinet").empty())
      AddRule(m_Table, kMainCabinetCmd, 0, std::nullopt, std::nullopt, ValueBytes(Number(xml, "MainCabinet", 0), 4));
    uint32_t cabinet = uint32_t(Number(xml, "CabinetNr", 0));
    xml.IntoElem();
    while (xml.FindElem("Class")) ParseClass(xml, uint32_t(Number(xml, "CabinetNr", cabinet)));
    xml.OutOfElem();
  }

  // The class list of every cabinet that has classes.
  void Finish() {
    for (auto& [cabinet, codes] : m_ClassesByCabinet)
      AddRule(m_Table, kClassListCmd, 0, std::nullopt, cabinet, std::move(codes));
  }

 private:
  void ParseClass(CMarkup& xml, uint32_t cabinet) {
    uint8_t code = uint8_t(Number(xml, "Code", 0));
    m_ClassesByCabinet[cabinet].push_back(code);
    AddTextRule(m_Table, xml, "Name", kClassNameCmd, code, std::nullopt, cabinet);
    std::vector<uint8_t> valueIds;
    uint32_t instances = 0;
    xml.IntoElem();
    while (xml.FindElem()) {
      if (xml.GetTagName() == "Field") {
        uint32_t id = uint32_t(Number(xml, "Id", 0)) & 0xFFFF;
        AppendLittleEndian(valueIds, id, 2);
        AddTextRule(m_Table, xml, "Name", kValueNameCmd, id, std::nullopt, cabinet);
        AddTextRule(m_Table, xml, "FieldName", kFieldNameCmd, id, std::nullopt, cabinet);
      } else if (xml.GetTagName() == "Instance") {
        ParseInstance(xml, code, instances++, cabinet);
      } else {
        Fail(xml, "unknown element in <Class>");
      }
    }
    xml.OutOfElem();
    AddRule(m_Table, kValueListCmd, code, std::nullopt, cabinet, std::move(valueIds));
    AddRule(m_Table, kInstanceCountCmd, code, std::nullopt, cabinet, ValueBytes(instances, 1));
  }

  void ParseInstance(CMarkup& xml, uint8_t code, uint32_t instance, uint32_t cabinet) {
    std::vector<uint8_t> raw;
    AppendHex(xml, raw, xml.GetAttrib("Raw"));
    AddRule(m_Table, kRawDataCmd, code, instance, cabinet, std::move(raw));
    xml.IntoElem();
    while (xml.FindElem("Value"))
      AddRule(m_Table, kValueCmd, uint32_t(Number(xml, "Id", 0)), instance, cabinet, TextBytes(xml.GetData()));
    xml.OutOfElem();
  }

  CReplyTable& m_Table;
  std::map<uint32_t, std::vector<uint8_t>> m_ClassesByCabinet;
};

// <StorageExtension ID Name> with the cabinet's sensors as children.
void ParseStorageExtension(CMarkup& xml, CReplyTable& table, std::vector<uint8_t>& cabinets) {
  uint32_t cabinet = uint32_t(Number(xml, "ID", 0)) & 0xFFFF;
  AppendLittleEndian(cabinets, cabinet, 2);
  AddTextRule(table, xml, "Name", kValueCmd, kCabinetNameValue, std::nullopt, cabinet);
  ParseSensors(xml, table, cabinet);
}

}  // namespace

bool IsControllerElement(const std::string& tag) {
  for (const char* element : kElements)
    if (tag == element) return true;
  return false;
}

void ParseControllerElements(CMarkup& xml, CReplyTable& table) {
  CIdPromBuilder idProms(table);
  std::vector<uint8_t> cabinets;
  xml.ResetMainPos();
  while (xml.FindElem()) {
    std::string tag = xml.GetTagName();
    if (tag == "SystemEventLog") ParseEventLog(xml, table, true);
    else if (tag == "InternalEventLog") ParseEventLog(xml, table, false);
    else if (tag == "IdProms") idProms.Parse(xml);
    else if (tag == "BootStatus") ParseBootStatus(xml, table);
    else if (tag == "Features") ParseFeatures(xml, table);
    else if (tag == "ManagementController") ParseManagementController(xml, table);
    else if (tag == "StorageExtension") ParseStorageExtension(xml, table, cabinets);
  }
  idProms.Finish();
  if (!cabinets.empty()) AddRule(table, kCabinetListCmd, 0, std::nullopt, std::nullopt, std::move(cabinets));
}
