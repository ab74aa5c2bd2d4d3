#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One record of the controller's system (SEL) or internal (IEL) event log.
struct _LogRecord {
  int64_t timeStamp = 0;    // seconds since 1970-01-01 UTC, signed
  uint8_t severity = 0;
  uint32_t errorCode = 0;   // as the report shows it in "%06X"
  uint32_t dataHandle = 0;  // SEL only: asks the daemon for the raw record
  std::string text;
};

enum _LogSeverity : uint8_t {
  LOG_SEVERITY_INFO = 0,
  LOG_SEVERITY_MINOR = 1,
  LOG_SEVERITY_MAJOR = 2,
  LOG_SEVERITY_CRITICAL = 3,
};

// The packed records of a log reply, each starting where the previous one
// ends. The walk stops when fewer bytes remain than the smallest record
// (18 SEL, 42 IEL), or at a length field that is shorter than the record
// header or runs past the reply.
std::vector<_LogRecord> ParseSelRecords(const uint8_t* data, size_t size);
std::vector<_LogRecord> ParseIelRecords(const uint8_t* data, size_t size);

// "%Y/%m/%d %H:%M:%S" in UTC, or " <no date/no time> " for a time stamp that
// is not positive or cannot be broken down.
std::string FormatLogDate(int64_t timeStamp);
// INFO, MINOR, MAJOR, CRITICAL; an empty text for any other severity.
const char* LogSeverityName(uint8_t severity);
inline bool IsLogWarning(uint8_t severity) { return severity == LOG_SEVERITY_MINOR; }
inline bool IsLogError(uint8_t severity) {
  return severity == LOG_SEVERITY_MAJOR || severity == LOG_SEVERITY_CRITICAL;
}
