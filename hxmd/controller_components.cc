#include "hxmd/controller_components.h"

#include <arpa/inet.h>

#include <algorithm>
#include <map>
#include <span>

#include "hxmd/profile_components.h"
#include "hxmd/profile_reader.h"
#include "hxmd/sdr_encoder.h"
#include "xml/markup.h"

namespace hxmd_profile {

namespace {

// Command codes the scanner sends for these elements.
enum : uint32_t {
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

std::vector<uint8_t> TextBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> ValueBytes(int64_t value, int width) {
  std::vector<uint8_t> bytes;
  AppendLittleEndian(bytes, value, width);
  return bytes;
}

void AddRule(CReplyTable& table, uint32_t opCode, uint32_t opCodeExt, std::optional<uint32_t> objectId,
             std::optional<uint32_t> cabinetNr, std::vector<uint8_t> data) {
  table.Add(MakeReplyRule(opCode, opCodeExt, objectId, cabinetNr, std::move(data)));
}

// A text attribute as reply, when present.
void AddTextRule(CReplyTable& table, const CMarkup& xml, const char* attribute, uint32_t opCode, uint32_t opCodeExt,
                 std::optional<uint32_t> objectId, std::optional<uint32_t> cabinetNr) {
  std::string text = xml.GetAttrib(attribute);
  if (!text.empty()) AddRule(table, opCode, opCodeExt, objectId, cabinetNr, TextBytes(text));
}

std::vector<uint8_t> IpAddressBytes(const CMarkup& xml, const char* attribute) {
  std::string text = xml.GetAttrib(attribute);
  uint8_t bytes[16];
  if (inet_pton(AF_INET, text.c_str(), bytes) == 1) return std::vector<uint8_t>(bytes, bytes + 4);
  if (inet_pton(AF_INET6, text.c_str(), bytes) == 1) return std::vector<uint8_t>(bytes, bytes + 16);
  Fail(xml, std::string(attribute) + " is no IP address: \"" + text + "\"");
}

// Hex byte pairs separated by ":" or "-".
std::vector<uint8_t> MacAddressBytes(const CMarkup& xml, const char* attribute) {
  std::string mac = xml.GetAttrib(attribute);
  std::replace(mac.begin(), mac.end(), '-', ':');
  std::vector<uint8_t> bytes;
  AppendHex(xml, bytes, mac);
  return bytes;
}

// How an attribute's text becomes reply data.
enum class Encoding { Text, Byte, IpAddress, MacAddress };

// An attribute of an element and the command whose reply it gives.
struct AttributeReply {
  const char* attribute;
  Encoding encoding;
  uint32_t opCode;
  uint32_t opCodeExt;
};

std::vector<uint8_t> ReplyData(const CMarkup& xml, const AttributeReply& reply) {
  switch (reply.encoding) {
    case Encoding::Text:
      return TextBytes(xml.GetAttrib(reply.attribute));
    case Encoding::Byte:
      return ValueBytes(Number(xml, reply.attribute, 0), 1);
    case Encoding::IpAddress:
      return IpAddressBytes(xml, reply.attribute);
    case Encoding::MacAddress:
      return MacAddressBytes(xml, reply.attribute);
  }
  return {};
}

// One rule per attribute present, in table order.
void AddAttributeReplies(CReplyTable& table, const CMarkup& xml, std::span<const AttributeReply> replies,
                         std::optional<uint32_t> objectId) {
  for (const AttributeReply& reply : replies)
    if (!xml.GetAttrib(reply.attribute).empty())
      AddRule(table, reply.opCode, reply.opCodeExt, objectId, std::nullopt, ReplyData(xml, reply));
}

}  // namespace

void AddBootStatus(CMarkup& xml, CReplyTable& table) {
  static constexpr AttributeReply kReplies[] = {
      {"PowerOnReason", Encoding::Byte, kPowerOnReasonCmd, 0},
      {"PowerOffReason", Encoding::Byte, kPowerOffReasonCmd, 0},
      {"PowerFailBehavior", Encoding::Byte, kConfigCmd, kPowerFailBehaviorItem},
  };
  AddAttributeReplies(table, xml, kReplies, std::nullopt);
}

void AddFeatures(CMarkup& xml, CReplyTable& table) {
  std::string text = xml.GetAttrib("Text");
  xml.IntoElem();
  while (xml.FindElem()) text += xml.GetSubDoc();
  xml.OutOfElem();
  AddRule(table, kFeaturesCmd, 0, std::nullopt, std::nullopt, TextBytes(text));
}

void AddManagementController(CMarkup& xml, CReplyTable& table) {
  static constexpr AttributeReply kReplies[] = {
      {"Name", Encoding::Text, kValueCmd, kControllerNameValue},
      {"Firmware", Encoding::Text, kValueCmd, kFirmwareValue},
      {"IPAddress", Encoding::IpAddress, kConfigCmd, kIpAddressItem},
      {"SubnetMask", Encoding::IpAddress, kConfigCmd, kSubnetMaskItem},
      {"Gateway", Encoding::IpAddress, kConfigCmd, kGatewayItem},
      {"MACAddress", Encoding::MacAddress, kConfigCmd, kMacAddressItem},
      {"LANPort", Encoding::Byte, kConfigCmd, kLanPortItem},
      {"NominalSpeed", Encoding::Byte, kConfigCmd, kNominalSpeedItem},
  };
  AddAttributeReplies(table, xml, kReplies, uint32_t(Number(xml, "Index", 0)));
}

namespace {

// Collects the class list of each cabinet while the classes are read.
class CIdPromBuilder {
 public:
  explicit CIdPromBuilder(CReplyTable& table) : m_Table(table) {}

  void Add(CMarkup& xml) {
    if (!xml.GetAttrib("MainCabinet").empty())
      AddRule(m_Table, kMainCabinetCmd, 0, std::nullopt, std::nullopt, ValueBytes(Number(xml, "MainCabinet", 0), 4));
    uint32_t cabinet = uint32_t(Number(xml, "CabinetNr", 0));
    xml.IntoElem();
    while (xml.FindElem("Class")) ParseClass(xml, uint32_t(Number(xml, "CabinetNr", cabinet)));
    xml.OutOfElem();
  }

  // The class list of every cabinet that has classes.
  void AddClassLists() {
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

}  // namespace

void AddIdProms(CMarkup& xml, CReplyTable& table) {
  CIdPromBuilder builder(table);
  builder.Add(xml);
  builder.AddClassLists();
}

void AddStorageExtensions(CMarkup& xml, CReplyTable& table) {
  std::vector<uint8_t> cabinets;
  xml.IntoElem();
  while (xml.FindElem("StorageExtension")) {
    uint32_t cabinet = uint32_t(Number(xml, "ID", 0)) & 0xFFFF;
    AppendLittleEndian(cabinets, cabinet, 2);
    AddTextRule(table, xml, "Name", kValueCmd, kCabinetNameValue, std::nullopt, cabinet);
    AddCabinetSensors(xml, table, cabinet);
  }
  xml.OutOfElem();
  AddRule(table, kCabinetListCmd, 0, std::nullopt, std::nullopt, std::move(cabinets));
}

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
  // A field whose attribute is missing keeps its default.
  struct ByteField {
    const char* attribute;
    uint8_t _SdrSensorFields::*field;
  };
  static constexpr ByteField kByteFields[] = {
      {"Owner", &_SdrSensorFields::ownerId},         {"SensorNumber", &_SdrSensorFields::sensorNumber},
      {"EntityId", &_SdrSensorFields::entityId},     {"EntityInstance", &_SdrSensorFields::entityInstance},
      {"SensorType", &_SdrSensorFields::sensorType}, {"ReadingType", &_SdrSensorFields::readingType},
      {"Unit", &_SdrSensorFields::baseUnit},         {"ModifierUnit", &_SdrSensorFields::modifierUnit},
      {"Linearization", &_SdrSensorFields::linearization}};
  for (const ByteField& b : kByteFields) f.*b.field = uint8_t(Number(xml, b.attribute, f.*b.field));
  struct IntField {
    const char* attribute;
    int _SdrSensorFields::*field;
  };
  static constexpr IntField kIntFields[] = {{"M", &_SdrSensorFields::m},
                                            {"B", &_SdrSensorFields::b},
                                            {"BExponent", &_SdrSensorFields::bExponent},
                                            {"ResultExponent", &_SdrSensorFields::resultExponent}};
  for (const IntField& i : kIntFields) f.*i.field = int(Number(xml, i.attribute, f.*i.field));
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
}  // namespace hxmd_profile
