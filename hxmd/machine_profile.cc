#include "hxmd/machine_profile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "xml/markup.h"

namespace {

// Largest reply a profile may script (replies beyond the client's 1 MiB
// buffer are allowed on purpose, to test truncation).
constexpr uint64_t kMaxReplyData = 16u << 20;

class ProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Where(const CMarkup& xml) { return "<" + xml.GetTagName() + ">"; }

[[noreturn]] void Fail(const CMarkup& xml, const std::string& what) { throw ProfileError(Where(xml) + ": " + what); }

// Decimal or 0x-hex; a leading minus gives the two's complement.
bool ParseInteger(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  bool negative = *begin == '-';
  uint64_t magnitude = std::strtoull(begin + (negative ? 1 : 0), &end, 0);
  if (errno != 0 || *end != '\0' || end == begin + (negative ? 1 : 0)) return false;
  value = negative ? -int64_t(magnitude) : int64_t(magnitude);
  return true;
}

int64_t Number(const CMarkup& xml, const char* name, int64_t fallback) {
  std::string text = xml.GetAttrib(name);
  if (text.empty()) return fallback;
  int64_t value;
  if (!ParseInteger(text, value)) Fail(xml, std::string("attribute ") + name + " is not a number: \"" + text + "\"");
  return value;
}

// A field of the command key: absent or "*" matches anything.
std::optional<uint32_t> Key(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  if (text.empty() || text == "*") return std::nullopt;
  return uint32_t(Number(xml, name, 0));
}

// Sensor readings in hundredths may be written as "12.05" or "-0.05".
int64_t Hundredths(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  if (text.find('.') == std::string::npos) return Number(xml, name, 0);
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) Fail(xml, std::string("attribute ") + name + " is not a number");
  return std::llround(value * 100);
}

void AppendLittleEndian(std::vector<uint8_t>& data, int64_t value, int width) {
  for (int i = 0; i < width; ++i) data.push_back(uint8_t(uint64_t(value) >> (8 * i)));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHex(const CMarkup& xml, std::vector<uint8_t>& data, const std::string& text) {
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ':') continue;
    int digit = HexDigit(c);
    if (digit < 0) Fail(xml, "not a hex digit: '" + std::string(1, c) + "'");
    if (high < 0) {
      high = digit;
    } else {
      data.push_back(uint8_t(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) Fail(xml, "odd number of hex digits");
}

struct DataKind {
  const char* name;
  int width;  // 0: text, -1: hex
};
constexpr DataKind kDataKinds[] = {{"Text", 0}, {"Hex", -1}, {"U8", 1}, {"U16", 2}, {"U32", 4}, {"U64", 8}};

void AppendData(const CMarkup& xml, std::vector<uint8_t>& data, const DataKind& kind, const std::string& value,
                bool withNul) {
  if (kind.width == 0) {
    data.insert(data.end(), value.begin(), value.end());
    if (withNul) data.push_back(0);
  } else if (kind.width < 0) {
    AppendHex(xml, data, value);
  } else {
    int64_t number;
    if (!ParseInteger(value, number)) Fail(xml, std::string(kind.name) + " is not a number: \"" + value + "\"");
    AppendLittleEndian(data, number, kind.width);
  }
}

bool Flag(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  return text == "true" || text == "1" || text == "yes";
}

// Reply data: one inline attribute (Text="..", Hex="..", U16="..") or child
// elements concatenated in order.
std::vector<uint8_t> ParseData(CMarkup& xml) {
  std::vector<uint8_t> data;
  for (const DataKind& kind : kDataKinds) {
    std::string value = xml.GetAttrib(kind.name);
    if (!value.empty()) AppendData(xml, data, kind, value, Flag(xml, "Nul"));
  }
  xml.IntoElem();
  while (xml.FindElem()) {
    std::string tag = xml.GetTagName();
    if (tag == "Fill") {
      int64_t count = Number(xml, "Count", 0);
      if (count < 0 || uint64_t(count) > kMaxReplyData) Fail(xml, "Count out of range");
      data.insert(data.end(), size_t(count), uint8_t(Number(xml, "Byte", 0)));
      continue;
    }
    const DataKind* kind = nullptr;
    for (const DataKind& candidate : kDataKinds)
      if (tag == candidate.name) kind = &candidate;
    if (kind == nullptr) Fail(xml, "unknown data element");
    AppendData(xml, data, *kind, xml.GetData(), Flag(xml, "Nul"));
  }
  xml.OutOfElem();
  if (data.size() > kMaxReplyData) Fail(xml, "reply data too large");
  return data;
}

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

_ReplyRule SensorRule(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, std::optional<uint32_t> cabinetNr,
                      std::vector<uint8_t> data) {
  _ReplyRule rule;
  rule.OpCode = opCode;
  rule.OpCodeExt = opCodeExt;
  rule.ObjectId = objectId;
  rule.CabinetNr = cabinetNr;
  rule.Data = std::move(data);
  return rule;
}

// <Sensors> lists the sensors of one cabinet; each becomes the replies to
// the count, name, status and value commands of its kind.
void ParseSensors(CMarkup& xml, CReplyTable& table) {
  std::optional<uint32_t> cabinetNr = Key(xml, "CabinetNr");
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
      rulesByKind[kind].push_back(SensorRule(command.opCode, command.opCodeExt, index, cabinetNr, std::move(data)));
    }
  }
  xml.OutOfElem();
  for (size_t kind = 0; kind < SensorKinds().size(); ++kind) {
    if (counts[kind] == 0) continue;
    _ReplyRule count = SensorRule(SensorKinds()[kind].countOpCode, 0, 0, cabinetNr, {uint8_t(counts[kind])});
    count.ObjectId.reset();
    table.Add(std::move(count));
    for (_ReplyRule& rule : rulesByKind[kind]) table.Add(std::move(rule));
  }
}

// <SensorDataRecords> holds the controller's SDRs, one <Record Id=".."> of
// hex bytes each: the ID list command and one record command per ID.
void ParseSensorDataRecords(CMarkup& xml, CReplyTable& table) {
  std::vector<uint8_t> ids;
  std::vector<_ReplyRule> records;
  xml.IntoElem();
  while (xml.FindElem("Record")) {
    if (xml.GetAttrib("Id").empty()) Fail(xml, "Id missing");
    uint32_t id = uint32_t(Number(xml, "Id", 0)) & 0xFFFF;
    AppendLittleEndian(ids, id, 2);
    std::vector<uint8_t> bytes;
    AppendHex(xml, bytes, xml.GetData());
    records.push_back(SensorRule(0xF044, 0, id, std::nullopt, std::move(bytes)));
  }
  xml.OutOfElem();
  _ReplyRule list = SensorRule(0xF043, 0, 0, std::nullopt, std::move(ids));
  list.ObjectId.reset();
  table.Add(std::move(list));
  for (_ReplyRule& record : records) table.Add(std::move(record));
}

// Inventory objects (memory modules, processors) answer one command per
// attribute, addressed by the object's index. Width 0 is a text, -1 a
// "true"/"false" byte, else a little-endian number of that many bytes.
struct InventoryCommand {
  uint32_t opCode;
  uint32_t opCodeExt;
  const char* attribute;
  int width;
};

void AddInventoryReplies(const CMarkup& xml, CReplyTable& table, uint32_t index,
                         const std::vector<InventoryCommand>& commands) {
  for (const InventoryCommand& command : commands) {
    std::string value = xml.GetAttrib(command.attribute);
    if (value.empty()) continue;
    std::vector<uint8_t> data;
    if (command.width == 0)
      data.assign(value.begin(), value.end());
    else if (command.width < 0)
      data.push_back(Flag(xml, command.attribute) ? 1 : 0);
    else
      AppendLittleEndian(data, Number(xml, command.attribute, 0), command.width);
    table.Add(SensorRule(command.opCode, command.opCodeExt, index, std::nullopt, std::move(data)));
  }
}

_ReplyRule CountRule(uint32_t opCode, uint32_t count) {
  _ReplyRule rule = SensorRule(opCode, 0, 0, std::nullopt, {uint8_t(count)});
  rule.ObjectId.reset();
  return rule;
}

// <MemoryModules> lists the module slots in index order: status, name, size,
// bank, type, frequency, configuration status and the SPD image (hex bytes
// in an <SPD> child). Size, Bank and MemoryType (SMBIOS type code) also make
// up the 16-byte module record.
void ParseMemoryModules(CMarkup& xml, CReplyTable& table) {
  static const std::vector<InventoryCommand> kCommands = {
      {0x0702, 0, "Name", 0},      {0x0708, 0, "CSS", -1},      {0x0701, 0, "Status", 1},
      {0x0705, 0, "Approved", -1}, {0x070A, 0, "Size", 4},      {0x070B, 0, "Type", 0},
      {0x0709, 0, "Frequency", 2}, {0x0707, 0, "ConfigStatus", 1},
  };
  uint32_t count = 0;
  xml.IntoElem();
  while (xml.FindElem("Module")) {
    uint32_t index = count++;
    AddInventoryReplies(xml, table, index, kCommands);
    std::vector<uint8_t> record(4, 0);
    AppendLittleEndian(record, Number(xml, "Size", 0), 4);
    AppendLittleEndian(record, Number(xml, "Bank", 0), 2);
    AppendLittleEndian(record, 0, 2);
    AppendLittleEndian(record, Number(xml, "MemoryType", 0), 4);
    table.Add(SensorRule(0x0703, 0, index, std::nullopt, std::move(record)));
    if (xml.FindChildElem("SPD")) {
      std::vector<uint8_t> image;
      AppendHex(xml, image, xml.GetChildData());
      table.Add(SensorRule(0x0C10, 3, index, std::nullopt, std::move(image)));
    }
  }
  xml.OutOfElem();
  table.Add(CountRule(0x0700, count));
}

// <Processors Boot=".."> lists the sockets in index order. Speed and
// ExternalClock (MHz) make up the 8-byte speed record.
void ParseProcessors(CMarkup& xml, CReplyTable& table) {
  static const std::vector<InventoryCommand> kCommands = {
      {0x0602, 0, "Socket", 0},       {0x0604, 0, "Manufacturer", 0}, {0x060B, 0, "Model", 0},
      {0x0601, 0, "Status", 1},       {0x060A, 0, "Cores", 2},        {0x060E, 0, "CoresEnabled", 2},
      {0x0606, 0, "Threads", 1},      {0x061A, 0, "QPISpeed", 2},     {0x0607, 1, "L1Cache", 4},
      {0x0607, 2, "L2Cache", 4},      {0x0607, 3, "L3Cache", 4},
  };
  if (!xml.GetAttrib("Boot").empty()) table.Add(CountRule(0x0611, uint32_t(Number(xml, "Boot", 0))));
  uint32_t count = 0;
  xml.IntoElem();
  while (xml.FindElem("CPU")) {
    uint32_t index = count++;
    AddInventoryReplies(xml, table, index, kCommands);
    if (!xml.GetAttrib("Speed").empty()) {
      std::vector<uint8_t> speed;
      AppendLittleEndian(speed, Number(xml, "ExternalClock", 100), 2);
      AppendLittleEndian(speed, Number(xml, "Speed", 0), 2);
      AppendLittleEndian(speed, 0, 4);
      table.Add(SensorRule(0x0603, 0, index, std::nullopt, std::move(speed)));
    }
  }
  xml.OutOfElem();
  table.Add(CountRule(0x0600, count));
}

// <PciSlots> names the physical slots of PCI functions. A function asks with
// its location as request data (segment and bus 16-bit, device, function);
// a <Slot> without Function answers every function of the device.
void ParsePciSlots(CMarkup& xml, CReplyTable& table) {
  xml.IntoElem();
  while (xml.FindElem("Slot")) {
    std::string designation = xml.GetAttrib("Designation");
    _ReplyRule rule = SensorRule(0x1403, 0, 0, std::nullopt, {designation.begin(), designation.end()});
    rule.ObjectId.reset();
    AppendLittleEndian(rule.RequestData, Number(xml, "Segment", 0), 2);
    AppendLittleEndian(rule.RequestData, Number(xml, "Bus", 0), 2);
    AppendLittleEndian(rule.RequestData, Number(xml, "Device", 0), 1);
    if (!xml.GetAttrib("Function").empty()) AppendLittleEndian(rule.RequestData, Number(xml, "Function", 0), 1);
    table.Add(std::move(rule));
  }
  xml.OutOfElem();
}

}  // namespace

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
      else if (tag != "Sensors" && tag != "SensorDataRecords" && tag != "MemoryModules" && tag != "Processors" &&
               tag != "PciSlots")
        Fail(xml, "unknown element");
    }
    xml.ResetMainPos();
    while (xml.FindElem()) {
      if (xml.GetTagName() == "Sensors") ParseSensors(xml, m_Replies);
      if (xml.GetTagName() == "SensorDataRecords") ParseSensorDataRecords(xml, m_Replies);
      if (xml.GetTagName() == "MemoryModules") ParseMemoryModules(xml, m_Replies);
      if (xml.GetTagName() == "Processors") ParseProcessors(xml, m_Replies);
      if (xml.GetTagName() == "PciSlots") ParsePciSlots(xml, m_Replies);
    }
  } catch (const ProfileError& failure) {
    *this = CMachineProfile();
    error = failure.what();
    return false;
  }
  return true;
}
