#include "hxmd/inventory_profile.h"

#include <string>
#include <vector>

#include "hxmd/profile_reader.h"
#include "xml/markup.h"

namespace hxmd_profile {

namespace {

// Inventory objects answer one command per attribute, addressed by the
// object's index. Width 0 is a text, -1 a "true"/"false" byte, else a
// little-endian number of that many bytes.
struct InventoryCommand {
  uint32_t opCode;
  uint32_t opCodeExt;
  const char* attribute;
  int width;
};

_ReplyRule ObjectRule(uint32_t opCode, uint32_t opCodeExt, std::optional<uint32_t> objectId,
                      std::vector<uint8_t> data) {
  return MakeReplyRule(opCode, opCodeExt, objectId, std::nullopt, std::move(data));
}

void AddAttributeReplies(const CMarkup& xml, CReplyTable& table, uint32_t index,
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
    table.Add(ObjectRule(command.opCode, command.opCodeExt, index, std::move(data)));
  }
}

}  // namespace

// Module slots in index order. Size, Bank and the SMBIOS MemoryType code also
// make up the 16-byte module record; an <SPD> child holds the SPD image in hex.
void AddMemoryModules(CMarkup& xml, CReplyTable& table) {
  static const std::vector<InventoryCommand> kCommands = {
      {0x0702, 0, "Name", 0},      {0x0708, 0, "CSS", -1},      {0x0701, 0, "Status", 1},
      {0x0705, 0, "Approved", -1}, {0x070A, 0, "Size", 4},      {0x070B, 0, "Type", 0},
      {0x0709, 0, "Frequency", 2}, {0x0707, 0, "ConfigStatus", 1},
  };
  uint32_t count = 0;
  xml.IntoElem();
  while (xml.FindElem("Module")) {
    uint32_t index = count++;
    AddAttributeReplies(xml, table, index, kCommands);
    std::vector<uint8_t> record(4, 0);
    AppendLittleEndian(record, Number(xml, "Size", 0), 4);
    AppendLittleEndian(record, Number(xml, "Bank", 0), 2);
    AppendLittleEndian(record, 0, 2);
    AppendLittleEndian(record, Number(xml, "MemoryType", 0), 4);
    table.Add(ObjectRule(0x0703, 0, index, std::move(record)));
    if (xml.FindChildElem("SPD")) {
      std::vector<uint8_t> image;
      AppendHex(xml, image, xml.GetChildData());
      table.Add(ObjectRule(0x0C10, 3, index, std::move(image)));
    }
  }
  xml.OutOfElem();
  table.Add(ObjectRule(0x0700, 0, std::nullopt, {uint8_t(count)}));
}

// Sockets in index order; Boot names the boot processor. Speed and
// ExternalClock (MHz, default 100) make up the 8-byte speed record.
void AddProcessors(CMarkup& xml, CReplyTable& table) {
  static const std::vector<InventoryCommand> kCommands = {
      {0x0602, 0, "Socket", 0},  {0x0604, 0, "Manufacturer", 0}, {0x060B, 0, "Model", 0},
      {0x0601, 0, "Status", 1},  {0x060A, 0, "Cores", 2},        {0x060E, 0, "CoresEnabled", 2},
      {0x0606, 0, "Threads", 1}, {0x061A, 0, "QPISpeed", 2},     {0x0607, 1, "L1Cache", 4},
      {0x0607, 2, "L2Cache", 4}, {0x0607, 3, "L3Cache", 4},
  };
  if (!xml.GetAttrib("Boot").empty()) table.Add(ObjectRule(0x0611, 0, std::nullopt, {uint8_t(Number(xml, "Boot", 0))}));
  uint32_t count = 0;
  xml.IntoElem();
  while (xml.FindElem("CPU")) {
    uint32_t index = count++;
    AddAttributeReplies(xml, table, index, kCommands);
    if (!xml.GetAttrib("Speed").empty()) {
      std::vector<uint8_t> speed;
      AppendLittleEndian(speed, Number(xml, "ExternalClock", 100), 2);
      AppendLittleEndian(speed, Number(xml, "Speed", 0), 2);
      AppendLittleEndian(speed, 0, 4);
      table.Add(ObjectRule(0x0603, 0, index, std::move(speed)));
    }
  }
  xml.OutOfElem();
  table.Add(ObjectRule(0x0600, 0, std::nullopt, {uint8_t(count)}));
}

// Physical slot names of PCI functions. A function asks with its location as
// request data (segment and bus 16-bit, device, function); a <Slot> without
// Function names every function of the device.
void AddPciSlots(CMarkup& xml, CReplyTable& table) {
  xml.IntoElem();
  while (xml.FindElem("Slot")) {
    std::string designation = xml.GetAttrib("Designation");
    bool oneFunction = !xml.GetAttrib("Function").empty();
    for (int64_t function = oneFunction ? Number(xml, "Function", 0) : 0; function < 8; ++function) {
      _ReplyRule rule = ObjectRule(0x1403, 0, std::nullopt, {designation.begin(), designation.end()});
      rule.RequestData.emplace();
      AppendLittleEndian(*rule.RequestData, Number(xml, "Segment", 0), 2);
      AppendLittleEndian(*rule.RequestData, Number(xml, "Bus", 0), 2);
      AppendLittleEndian(*rule.RequestData, Number(xml, "Device", 0), 1);
      AppendLittleEndian(*rule.RequestData, function, 1);
      table.Add(std::move(rule));
      if (oneFunction) break;
    }
  }
  xml.OutOfElem();
}

}  // namespace hxmd_profile
