#include "hxmd/software_profile.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace {

class SoftwareProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const CMarkup& xml, const std::string& what) {
  throw SoftwareProfileError("<" + xml.GetTagName() + ">: " + what);
}

// Decimal or 0x-hex attribute; `fallback` when absent.
uint64_t Number(const CMarkup& xml, const char* name, uint64_t fallback) {
  std::string text = xml.GetAttrib(name);
  if (text.empty()) return fallback;
  char* end = nullptr;
  errno = 0;
  uint64_t value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || text[0] == '-') Fail(xml, std::string("attribute ") + name + " is not a number");
  return value;
}

bool YesNo(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  if (text == "yes" || text == "true" || text == "1") return true;
  if (text == "no" || text == "false" || text == "0") return false;
  Fail(xml, std::string("attribute ") + name + " is neither yes nor no");
}

std::vector<uint8_t> LittleEndian(uint64_t value, int width) {
  std::vector<uint8_t> data;
  for (int i = 0; i < width; ++i) data.push_back(uint8_t(value >> (8 * i)));
  return data;
}

std::vector<uint8_t> NulText(const std::string& text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

void AddReply(CReplyTable& table, uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, std::vector<uint8_t> data) {
  table.Add(MakeReplyRule(opCode, opCodeExt, objectId, std::nullopt, std::move(data)));
}

// One attribute of a listed item and the command that answers it; width 0
// is a NUL-terminated text, else a little-endian number of that many bytes.
struct ItemField {
  const char* attribute;
  uint32_t opCode;
  int width;
};

struct ItemList {
  const char* element;
  uint32_t countOpCode;
  std::vector<ItemField> fields;
};

const std::vector<ItemList>& DrivewatchLists() {
  static const std::vector<ItemList> lists = {
      {"Adapter",
       0x1800,
       {{"Status", 0x1801, 1},
        {"LocationKey", 0x1802, 0},
        {"Name", 0x1803, 0},
        {"Designation", 0x1804, 0},
        {"Class", 0x1805, 1},
        {"DriverName", 0x1807, 0}}},
      {"Drive",
       0x1830,
       {{"Status", 0x1831, 1},
        {"Name", 0x1833, 0},
        {"Vendor", 0x1834, 0},
        {"SerialNumber", 0x1835, 0},
        {"Designation", 0x1836, 0},
        {"LogicalName", 0x1837, 0}}},
      {"Event",
       0x1810,
       {{"OrigLogMessage", 0x1811, 0},
        {"OrigLogSeverity", 0x1812, 1},
        {"OrigLogId", 0x1813, 4},
        {"OrigLogSource", 0x1814, 0},
        {"Message", 0x1815, 0},
        {"Severity", 0x1816, 1},
        {"EventId", 0x1817, 4},
        {"ErrorCode", 0x1819, 4},
        {"Time", 0x181A, 4}}},
  };
  return lists;
}

std::vector<uint8_t> FieldData(const CMarkup& xml, const ItemField& field) {
  if (field.width == 0) return NulText(xml.GetAttrib(field.attribute));
  return LittleEndian(Number(xml, field.attribute, 0), field.width);
}

// <AgentSecurity SetAllowed="yes" AccountCheck="no" UserGroup=".."/>: the
// agents' security settings (command 0xE001); absent attributes stay
// unanswered.
void ParseAgentSecurity(CMarkup& xml, CReplyTable& table) {
  static constexpr struct {
    const char* attribute;
    uint32_t subCode;
  } kSwitches[] = {{"SetAllowed", 0x3810}, {"AccountCheck", 0x3812}};
  for (const auto& entry : kSwitches) {
    if (!xml.GetAttrib(entry.attribute).empty())
      AddReply(table, 0xE001, entry.subCode, 0, {uint8_t(YesNo(xml, entry.attribute) ? 1 : 0)});
  }
  if (!xml.GetAttrib("UserGroup").empty()) AddReply(table, 0xE001, 0x3813, 0, NulText(xml.GetAttrib("UserGroup")));
}

// <AgentStatus Status="1"/>: the agents' overall status (1 ok, 2 warning,
// 3 error).
void ParseAgentStatus(CMarkup& xml, CReplyTable& table) {
  AddReply(table, 0x230F, 0, 0, LittleEndian(Number(xml, "Status", 1), 1));
}

// The RAID manager writes its document one node per line without
// indentation; the profile may indent it for reading.
std::string WithoutIndentation(const std::string& text) {
  std::string result;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == ' ' || c == '\t')) continue;
    result.push_back(c);
    lineStart = c == '\n';
  }
  return result;
}

// <RaidManager> holds the RAID manager's status document as its child
// element, sent as text.
void ParseRaidManager(CMarkup& xml, CReplyTable& table) {
  xml.IntoElem();
  std::string document = xml.FindElem() ? WithoutIndentation(xml.GetSubDoc()) : "";
  xml.OutOfElem();
  if (document.empty()) Fail(xml, "no status document");
  AddReply(table, 0xF020, 1, 0, NulText(document));
}

// <Revscope ScanState=".." Handle=".."> with one <Component> per inventory
// record: Type, TypeName, PhysicalContainer, FunctionalContainer and the
// nine texts.
void ParseRevscope(CMarkup& xml, CReplyTable& table) {
  static constexpr const char* kTexts[] = {"Vendor",  "Name",         "PartNumber", "Description", "ManufacturingDate",
                                           "Version", "SerialNumber", "Language",   "UniqueID"};
  AddReply(table, 0x0C80, 0, 0, LittleEndian(Number(xml, "ScanState", 2), 1));
  uint32_t handle = uint32_t(Number(xml, "Handle", 1));
  AddReply(table, 0x0C82, 0, 0, LittleEndian(handle, 4));
  AddReply(table, 0x0C83, handle, 0, {});
  uint32_t count = 0;
  xml.IntoElem();
  while (xml.FindElem("Component")) {
    uint64_t type = Number(xml, "Type", 0);
    std::vector<uint8_t> record = LittleEndian(Number(xml, "PhysicalContainer", 0), 2);
    for (uint64_t value : {Number(xml, "FunctionalContainer", 0), type}) {
      std::vector<uint8_t> word = LittleEndian(value, 2);
      record.insert(record.end(), word.begin(), word.end());
    }
    for (const char* text : kTexts) {
      std::vector<uint8_t> bytes = NulText(xml.GetAttrib(text));
      record.insert(record.end(), bytes.begin(), bytes.end());
    }
    AddReply(table, 0x0C86, handle, ++count, std::move(record));
    if (!xml.GetAttrib("TypeName").empty()) AddReply(table, 0x0C87, uint32_t(type), 0, NulText(xml.GetAttrib("TypeName")));
  }
  xml.OutOfElem();
  AddReply(table, 0x0C85, handle, 0, LittleEndian(count, 2));
}

// <Drivewatch> with <Adapter>, <Drive> and <Event> children, each attribute
// answering one command of that item.
void ParseDrivewatch(CMarkup& xml, CReplyTable& table) {
  for (const ItemList& list : DrivewatchLists()) {
    uint32_t count = 0;
    xml.IntoElem();
    xml.ResetMainPos();
    while (xml.FindElem(list.element)) {
      for (const ItemField& field : list.fields) {
        if (!xml.GetAttrib(field.attribute).empty()) AddReply(table, field.opCode, 0, count, FieldData(xml, field));
      }
      ++count;
    }
    xml.OutOfElem();
    AddReply(table, list.countOpCode, 0, 0, LittleEndian(count, 2));
  }
}

struct ElementParser {
  const char* tag;
  void (*parse)(CMarkup&, CReplyTable&);
};

constexpr ElementParser kParsers[] = {{"AgentSecurity", ParseAgentSecurity},
                                      {"AgentStatus", ParseAgentStatus},
                                      {"RaidManager", ParseRaidManager},
                                      {"Revscope", ParseRevscope},
                                      {"Drivewatch", ParseDrivewatch}};

}  // namespace

bool IsSoftwareProfileElement(const std::string& tag) {
  for (const ElementParser& parser : kParsers) {
    if (tag == parser.tag) return true;
  }
  return false;
}

bool AddSoftwareProfileReplies(CMarkup& xml, CReplyTable& table, std::string& error) {
  try {
    for (const ElementParser& parser : kParsers) {
      if (xml.GetTagName() == parser.tag) parser.parse(xml, table);
    }
  } catch (const SoftwareProfileError& failure) {
    error = failure.what();
    return false;
  }
  return true;
}
