#include "hxmd/event_log_encoder.h"

namespace {

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

void Append(std::vector<uint8_t>& log, std::vector<uint8_t>& record, const std::string& text) {
  record.insert(record.end(), text.begin(), text.end());
  record.push_back(0);
  log.insert(log.end(), record.begin(), record.end());
}

}  // namespace

void AppendSelRecord(std::vector<uint8_t>& log, const _LogRecordFields& r, std::optional<uint32_t> length) {
  std::vector<uint8_t> record(16, 0);
  Put(record, 0, length.value_or(16 + r.text.size() + 1), 2);
  record[3] = r.severity;
  Put(record, 4, r.code, 2);
  Put(record, 8, uint64_t(r.time), 4);
  Put(record, 12, r.dataHandle, 4);
  Append(log, record, r.text);
}

void AppendIelRecord(std::vector<uint8_t>& log, const _LogRecordFields& r, std::optional<uint32_t> length) {
  std::vector<uint8_t> record(40, 0);
  Put(record, 0, length.value_or(40 + r.text.size() + 1), 4);
  record[5] = r.severity;
  Put(record, 8, r.code, 4);
  Put(record, 16, uint64_t(r.time), 8);
  Append(log, record, r.text);
}
