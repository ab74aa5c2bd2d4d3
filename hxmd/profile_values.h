#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "hxmd/reply_table.h"
#include "xml/markup.h"

// Readers for the values of a machine profile's elements. Every reader
// throws ProfileError, naming the element, when a value is malformed.
class ProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Largest reply a profile may script (replies beyond the client's 1 MiB
// buffer are allowed on purpose, to test truncation).
inline constexpr uint64_t kMaxReplyData = 16u << 20;

[[noreturn]] void Fail(const CMarkup& xml, const std::string& what);

// Decimal or 0x-hex; a leading minus gives the two's complement.
bool ParseInteger(const std::string& text, int64_t& value);
// The attribute as a number; `fallback` when it is absent.
int64_t Number(const CMarkup& xml, const char* name, int64_t fallback);
// A field of the command key: absent or "*" matches anything.
std::optional<uint32_t> Key(const CMarkup& xml, const char* name);
// Sensor readings in hundredths may be written as "12.05" or "-0.05".
int64_t Hundredths(const CMarkup& xml, const char* name);
bool Flag(const CMarkup& xml, const char* name);

void AppendLittleEndian(std::vector<uint8_t>& data, int64_t value, int width);
// Hex digit pairs; blanks, line breaks, ',' and ':' between them are ignored.
void AppendHex(const CMarkup& xml, std::vector<uint8_t>& data, const std::string& text);
// Reply data: one inline attribute (Text="..", Hex="..", U16="..") or child
// elements concatenated in order.
std::vector<uint8_t> ParseData(CMarkup& xml);

// A rule answering one command with status 0 and the given data.
_ReplyRule MakeReplyRule(uint32_t opCode, uint32_t opCodeExt, uint32_t objectId, std::optional<uint32_t> cabinetNr,
                         std::vector<uint8_t> data);
