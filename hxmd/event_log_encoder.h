#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Packed event log records as the daemon delivers them: system event log
// (SEL) records with a 16-byte header, internal event log (IEL) records with
// a 40-byte one, each followed by its NUL-terminated text.
struct _LogRecordFields {
  uint8_t severity = 0;
  uint32_t code = 0;
  int64_t time = 0;
  uint32_t dataHandle = 0;
  std::string text;
};

// Appends one record; `length` overrides the length field.
void AppendSelRecord(std::vector<uint8_t>& log, const _LogRecordFields& r, std::optional<uint32_t> length = std::nullopt);
void AppendIelRecord(std::vector<uint8_t>& log, const _LogRecordFields& r, std::optional<uint32_t> length = std::nullopt);
