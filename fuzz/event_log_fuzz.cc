// Walks an arbitrary log reply as packed SEL records and as packed IEL
// records, and formats each record's date and severity as the event log
// sections do.
#include "fuzz/fuzz_support.h"
#include "mgmt/event_log_records.h"

namespace {

void Format(const std::vector<_LogRecord>& records) {
  for (const _LogRecord& record : records) {
    FormatLogDate(record.timeStamp);
    LogSeverityName(record.severity);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Format(ParseSelRecords(data, size));
  Format(ParseIelRecords(data, size));
  return 0;
}
