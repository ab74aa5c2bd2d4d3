#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "app/diag_report.h"
#include "osinfo/daemon_query.h"
#include "platform/debug.h"

// The driver monitor's adapters, drives and events, one daemon command per
// value. Every child is requested even when an earlier one failed; children
// without an OK reply are left out.

namespace {

// A huge count from a broken daemon must not keep the scan busy for hours;
// the Count attribute still shows what the daemon reported.
constexpr uint32_t kMaxListEntries = 4096;

struct CodeText {
  uint8_t code;
  const char* text;
};

constexpr std::array<CodeText, 3> kStatusNames{{{1, "Ok"}, {2, "Warning"}, {3, "Error"}}};
constexpr std::array<CodeText, 4> kClassNames{{{1, "Software"}, {2, "Network"}, {3, "Storage"}, {255, "Other"}}};

template <size_t N>
const char* CodeName(const std::array<CodeText, N>& table, uint8_t code) {
  for (const CodeText& entry : table) {
    if (entry.code == code) return entry.text;
  }
  return "N/A";
}

enum class ValueKind { Text, Number, Byte, Status, Class, Time };

struct ChildCommand {
  const char* element;
  uint32_t opCode;
  ValueKind kind;
};

constexpr std::array<ChildCommand, 6> kAdapterChildren{{
    {"Status", 0x1801, ValueKind::Status},
    {"Name", 0x1803, ValueKind::Text},
    {"Class", 0x1805, ValueKind::Class},
    {"Designation", 0x1804, ValueKind::Text},
    {"DriverName", 0x1807, ValueKind::Text},
    {"LocationKey", 0x1802, ValueKind::Text},
}};

constexpr std::array<ChildCommand, 6> kDriveChildren{{
    {"Status", 0x1831, ValueKind::Status},
    {"Name", 0x1833, ValueKind::Text},
    {"Vendor", 0x1834, ValueKind::Text},
    {"SerialNumber", 0x1835, ValueKind::Text},
    {"Designation", 0x1836, ValueKind::Text},
    {"LogicalName", 0x1837, ValueKind::Text},
}};

constexpr std::array<ChildCommand, 9> kEventChildren{{
    {"Time", 0x181A, ValueKind::Time},
    {"EventId", 0x1817, ValueKind::Number},
    {"Severity", 0x1816, ValueKind::Byte},
    {"ErrorCode", 0x1819, ValueKind::Number},
    {"Message", 0x1815, ValueKind::Text},
    {"OrigLogMessage", 0x1811, ValueKind::Text},
    {"OrigLogSource", 0x1814, ValueKind::Text},
    {"OrigLogId", 0x1813, ValueKind::Number},
    {"OrigLogSeverity", 0x1812, ValueKind::Byte},
}};

std::string UtcTimeText(uint32_t seconds) {
  time_t when = time_t(seconds);
  struct tm utc {};
  gmtime_r(&when, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%m/%d/%Y %H:%M:%S", &utc);
  return text;
}

void AddChild(CMarkup& xml, const CDaemonQuery& query, const ChildCommand& child) {
  if (!query.Ok()) return;
  const SwitchInterfacePacket& packet = query.Reply();
  switch (child.kind) {
    case ValueKind::Text: {
      std::string text;
      packet.GetDataString(text);
      xml.AddElem(child.element, text.c_str());
      break;
    }
    case ValueKind::Number:
      xml.AddElem(child.element, std::to_string(packet.GetDataValue()).c_str());
      break;
    case ValueKind::Time:
      xml.AddElem(child.element, std::to_string(packet.GetDataValue()).c_str());
      xml.AddAttrib("AsString", UtcTimeText(packet.GetDataValue()));
      break;
    case ValueKind::Byte:
      xml.AddElem(child.element, packet.DataByte());
      break;
    case ValueKind::Status:
      xml.AddElem(child.element, packet.DataByte());
      xml.AddAttrib("AsString", CodeName(kStatusNames, packet.DataByte()));
      break;
    case ValueKind::Class:
      xml.AddElem(child.element, packet.DataByte());
      xml.AddAttrib("AsString", CodeName(kClassNames, packet.DataByte()));
      break;
  }
}

// A list element with Count and one item per index, or nothing when the
// count request fails.
template <size_t N>
void AddList(CMarkup& xml, CDaemonQuery& query, const char* list, const char* item, uint32_t countOpCode,
             const std::array<ChildCommand, N>& children) {
  uint32_t count = 0;
  query.Send(countOpCode, 0, 0);
  if (!query.Number(count)) return;
  xml.AddElem(list);
  xml.AddAttrib("Count", std::to_string(count));
  xml.IntoElem();
  for (uint32_t i = 0; i < count && i < kMaxListEntries; ++i) {
    xml.AddElem(item);
    xml.IntoElem();
    for (const ChildCommand& child : children) {
      query.Send(child.opCode, 0, i);
      AddChild(xml, query, child);
    }
    xml.OutOfElem();
  }
  xml.OutOfElem();
}

}  // namespace

_ActionState CDiagReport::ScanHalvexDrivewatch(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanHalvexDrivewatch()");
  xml.AddElem("Drivewatch");
  xml.AddAttrib("Schema", 1);
  if (m_bHxmdAvailable) {
    CDaemonQuery query(m_SwitchClient);
    xml.IntoElem();
    xml.AddElem("Components");
    xml.IntoElem();
    AddList(xml, query, "Adapters", "Adapter", 0x1800, kAdapterChildren);
    AddList(xml, query, "Drives", "Drive", 0x1830, kDriveChildren);
    xml.OutOfElem();
    AddList(xml, query, "Events", "Event", 0x1810, kEventChildren);
    xml.OutOfElem();
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanHalvexDrivewatch()");
  return ACTION_STATE_NOTHING;
}
