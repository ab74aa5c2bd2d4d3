#include "mgmt/event_log_records.h"

#include <ctime>

#include "firmware/byte_reader.h"

namespace {

constexpr size_t kSelHeaderSize = 16;
constexpr size_t kSelMinRecord = 18;
constexpr size_t kIelHeaderSize = 40;
constexpr size_t kIelMinRecord = 42;

// How the records of one log are framed and decoded.
struct LogLayout {
  size_t headerSize;
  size_t minRecord;
  bool wideLength;  // 4-byte length field instead of 2
  _LogRecord (*decode)(const CByteReader& record);
};

// The record's text ends at its NUL or, without one, at the record's end.
std::string TextUpToNul(const CByteReader& record, size_t offset) {
  std::string text = record.text(offset, record.size());
  return text.substr(0, text.find('\0'));
}

_LogRecord DecodeSel(const CByteReader& record) {
  _LogRecord entry;
  entry.severity = record.u8(3);
  uint16_t code = record.u16(4);
  // The report shows the code's two bytes as separate 16-bit halves.
  entry.errorCode = uint32_t(code >> 8) << 16 | (code & 0xFF);
  entry.timeStamp = int32_t(record.u32(8));
  entry.dataHandle = record.u32(12);
  entry.text = TextUpToNul(record, kSelHeaderSize);
  return entry;
}

_LogRecord DecodeIel(const CByteReader& record) {
  _LogRecord entry;
  entry.severity = record.u8(5);
  entry.errorCode = record.u32(8);
  entry.timeStamp = int64_t(uint64_t(record.u32(20)) << 32 | record.u32(16));
  entry.text = TextUpToNul(record, kIelHeaderSize);
  return entry;
}

std::vector<_LogRecord> Walk(const uint8_t* data, size_t size, const LogLayout& layout) {
  CByteReader reply(data, size);
  std::vector<_LogRecord> records;
  for (size_t offset = 0; reply.size() - offset >= layout.minRecord;) {
    size_t length = layout.wideLength ? reply.u32(offset) : reply.u16(offset);
    if (length < layout.headerSize || !reply.has(offset, length)) break;
    records.push_back(layout.decode(reply.sub(offset, length)));
    offset += length;
  }
  return records;
}

constexpr const char* kSeverityNames[] = {"INFO", "MINOR", "MAJOR", "CRITICAL"};

}  // namespace

std::vector<_LogRecord> ParseSelRecords(const uint8_t* data, size_t size) {
  return Walk(data, size, {kSelHeaderSize, kSelMinRecord, false, DecodeSel});
}

std::vector<_LogRecord> ParseIelRecords(const uint8_t* data, size_t size) {
  return Walk(data, size, {kIelHeaderSize, kIelMinRecord, true, DecodeIel});
}

std::string FormatLogDate(int64_t timeStamp) {
  static const std::string kNoDate = " <no date/no time> ";
  if (timeStamp <= 0) return kNoDate;
  time_t seconds = time_t(timeStamp);
  std::tm broken{};
  if (int64_t(seconds) != timeStamp || gmtime_r(&seconds, &broken) == nullptr) return kNoDate;
  char text[64];
  if (std::strftime(text, sizeof(text), "%Y/%m/%d %H:%M:%S", &broken) == 0) return kNoDate;
  return text;
}

const char* LogSeverityName(uint8_t severity) {
  return severity < std::size(kSeverityNames) ? kSeverityNames[severity] : "";
}
