#include <cstdio>

#include "app/diag_report.h"
#include "mgmt/controller_request.h"
#include "mgmt/event_log_records.h"
#include "mgmt/log_msg_decoder.h"
#include "platform/debug.h"

namespace {

// One of the controller's event logs and how the report shows it.
struct EventLogKind {
  const char* element;
  uint32_t logCmd;
  std::vector<_LogRecord> (*parse)(const uint8_t* data, size_t size);
  bool withRawData;  // SEL records come with their raw bytes
  const char* errorSummary;
  const char* warningSummary;
};

constexpr EventLogKind kSel{"SystemEventlog", 0x0B10, ParseSelRecords, true,
                            "%d important error(s) in system event log (SEL)!",
                            "%d important warning(s) in system event log SEL"};
constexpr EventLogKind kIel{"InternalEventlog", 0x0B31, ParseIelRecords, false,
                            "%d important error(s) in internal event log (IEL)!",
                            "%d important warning(s) in internal event log IEL"};

// The whole log comes in one reply, which the controller may take a while
// to collect.
constexpr uint16_t kLogTimeoutSeconds = 90;
constexpr uint32_t kRawRecordCmd = 0x0B19;

std::string HexCode(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof(text), "%06X", code);
  return text;
}

void AddRawRecord(CMarkup& xml, CControllerRequest& request, uint32_t dataHandle) {
  if (!request.Accepts(_ControllerCommand(kRawRecordCmd).Parameter(dataHandle))) return;
  std::vector<uint8_t> raw = request.Bytes();
  xml.AddChildElem("Data");
  xml.AddChildAttrib("Size", int(raw.size()));
  xml.IntoElem();
  CMarkup dump = CDiagReport::AddRawDataDump(raw.data(), raw.size(), 16, 0);
  if (dump.IsWellFormed()) xml.AddChildSubDoc(dump.GetDoc());
  xml.OutOfElem();
}

struct SeverityCounts {
  int errors = 0;
  int warnings = 0;
};

SeverityCounts AddLogEntries(CMarkup& xml, CControllerRequest& request, const EventLogKind& kind,
                             const std::vector<_LogRecord>& records) {
  SeverityCounts counts;
  for (const _LogRecord& record : records) {
    xml.AddChildElem("Entry");
    xml.IntoElem();
    xml.AddChildElem("Date", FormatLogDate(record.timeStamp));
    xml.AddChildElem("Severity", LogSeverityName(record.severity));
    xml.AddChildElem("ErrorCode", HexCode(record.errorCode));
    xml.AddChildElem("Message", record.text);
    counts.errors += IsLogError(record.severity);
    counts.warnings += IsLogWarning(record.severity);
    if (kind.withRawData) AddRawRecord(xml, request, record.dataHandle);
    xml.OutOfElem();
  }
  return counts;
}

void FileSummary(CDiagReport& report, const char* category, const char* format, int count, const char* kind) {
  if (count <= 0) return;
  char text[128];
  std::snprintf(text, sizeof(text), format, count);
  report.AddSummaryEntry(report.m_Report, category, text, kind);
}

void AddEventLog(CDiagReport& report, CMarkup& xml, const EventLogKind& kind) {
  xml.ResetPos();
  xml.AddElem(kind.element);
  xml.AddAttrib("Schema", "1");
  if (!report.m_bHxmdAvailable) return;

  // The message file stays open for the scan; the entries' texts come with
  // the records themselves.
  CLogMsgDecoder messages(CLogMsgDecoder::MSG_FILE_ERRORS);
  CControllerRequest request(report.m_SwitchClient);
  if (!request.Accepts(_ControllerCommand(kind.logCmd).Timeout(kLogTimeoutSeconds))) return;
  std::vector<uint8_t> log = request.Bytes();
  SeverityCounts counts = AddLogEntries(xml, request, kind, kind.parse(log.data(), log.size()));
  FileSummary(report, kind.element, kind.errorSummary, counts.errors, "Errors");
  FileSummary(report, kind.element, kind.warningSummary, counts.warnings, "Warnings");
}

}  // namespace

_ActionState CDiagReport::ScanSel(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  HX_TRACE(4, "\nCDiagReport         : -> ScanSel()");
  try {
    AddEventLog(*this, xml, kSel);
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION in  ScanSel()");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanSel()");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanIel(CMarkup& xml) {
  if (m_bHxasInstallation) return ACTION_STATE_NOTHING;
  HX_TRACE(4, "\nCDiagReport         : -> ScanIel()");
  try {
    AddEventLog(*this, xml, kIel);
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION in ScanIel()");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanIel()");
  return ACTION_STATE_NOTHING;
}
