#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/diag_report.h"
#include "osinfo/daemon_query.h"
#include "platform/debug.h"

// The version inventory: the component scan's state and, after a completed
// scan, every component record of one inventory handle.

namespace {

constexpr std::array<const char*, 4> kScanMessages{"no data", "scanning", "scan completed - no changes",
                                                   "scan completed - changes detected"};

constexpr std::array<const char*, 9> kComponentTexts{"Vendor",       "Name",    "PartNumber",
                                                     "Description",  "ManufacturingDate", "Version",
                                                     "SerialNumber", "Language", "UniqueID"};

// A huge count from a broken daemon must not keep the scan busy for hours.
constexpr uint32_t kMaxComponents = 4096;

constexpr size_t kRecordHeader = 6;

uint16_t Load16(const std::vector<uint8_t>& bytes, size_t offset) {
  return uint16_t(bytes[offset] | bytes[offset + 1] << 8);
}

// The NUL-terminated texts after the record header; an unterminated last
// text ends with the data.
std::vector<std::string> RecordTexts(const std::vector<uint8_t>& record) {
  std::vector<std::string> texts;
  size_t offset = kRecordHeader;
  while (offset < record.size() && texts.size() < kComponentTexts.size()) {
    size_t end = offset;
    while (end < record.size() && record[end] != 0) ++end;
    texts.emplace_back(record.begin() + offset, record.begin() + end);
    offset = end + 1;
  }
  return texts;
}

std::string ComponentTypeName(CSwitchClient& client, uint16_t type) {
  SwitchInterfacePacket packet(0x0C87, type, 0, 0xFFFFFFFF, 19, nullptr, 0);
  client.Request(packet, 0, 0, 0);
  std::string name;
  if (packet.HasReplyData(0, 0)) packet.GetDataString(name);
  return name;
}

void AddComponent(CMarkup& xml, CSwitchClient& client, const SwitchInterfacePacket& reply) {
  std::vector<uint8_t> record;
  reply.GetDataStream(record, 0);
  xml.AddElem("Component");
  if (record.size() <= kRecordHeader) return;
  uint16_t type = Load16(record, 4);
  xml.AddAttrib("TypeEnum", type);
  xml.AddAttrib("TypeName", ComponentTypeName(client, type));
  xml.AddAttrib("PhysicalContainer", Load16(record, 0));
  xml.AddAttrib("FunctionalContainer", Load16(record, 2));
  xml.IntoElem();
  std::vector<std::string> texts = RecordTexts(record);
  for (size_t i = 0; i < texts.size(); ++i) {
    xml.AddElem(kComponentTexts[i], texts[i].empty() ? "N/A" : texts[i].c_str());
  }
  xml.OutOfElem();
}

void AddComponents(CMarkup& xml, CSwitchClient& client) {
  CDaemonQuery query(client);
  uint32_t handle = 0;
  query.Send(0x0C82, 0, 0);
  if (!query.Number(handle)) return;
  uint32_t count = 0;
  query.Send(0x0C85, handle, 0);
  if (query.Number(count) && count != 0) {
    xml.AddElem("Components");
    xml.IntoElem();
    for (uint32_t i = 1; i <= count && i <= kMaxComponents; ++i) {
      query.Send(0x0C86, handle, i);
      if (query.Ok()) AddComponent(xml, client, query.Reply());
    }
    xml.OutOfElem();
  }
  query.Send(0x0C83, handle, 0);
}

}  // namespace

_ActionState CDiagReport::ScanRevscope(CMarkup& xml) {
  xml.AddElem("Revscope");
  xml.AddAttrib("Schema", 1);
  if (!m_bHxmdAvailable) return ACTION_STATE_NOTHING;
  xml.IntoElem();
  CDaemonQuery query(m_SwitchClient);
  query.Send(0x0C80, 0, 0);
  uint8_t state = 0;
  if (query.Byte(state)) {
    xml.AddElem("ScanState", state);
    if (state < kScanMessages.size()) xml.AddElem("ScanMessage", kScanMessages[state]);
    if (state == 2 || state == 3) AddComponents(xml, m_SwitchClient);
  } else {
    xml.AddElem("ScanState");
    xml.AddElem("ScanMessage", "no status available");
  }
  xml.OutOfElem();
  return ACTION_STATE_NOTHING;
}
