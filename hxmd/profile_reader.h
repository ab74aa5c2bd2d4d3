#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class CMarkup;

// Readers for the values of machine-profile elements. Each reads from the
// element at the document's current position and throws ProfileError, naming
// the element, when a value is malformed.
namespace hxmd_profile {

// Largest reply a profile may script (replies beyond the client's 1 MiB
// buffer are allowed on purpose, to test truncation).
inline constexpr uint64_t kMaxReplyData = 16u << 20;

class ProfileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const CMarkup& xml, const std::string& what);

// Decimal or 0x-hex; a leading minus gives the two's complement.
bool ParseInteger(const std::string& text, int64_t& value);
// The attribute as a number, `fallback` when it is absent.
int64_t Number(const CMarkup& xml, const char* name, int64_t fallback);
// A field of a command key: absent or "*" matches anything.
std::optional<uint32_t> Key(const CMarkup& xml, const char* name);
// A reading in hundredths, which may be written as "12.05" or "-0.05".
int64_t Hundredths(const CMarkup& xml, const char* name);
// "true", "yes" or "1".
bool Flag(const CMarkup& xml, const char* name);

void AppendLittleEndian(std::vector<uint8_t>& data, int64_t value, int width);
// Hex digit pairs; blanks, commas and colons between them are ignored.
void AppendHex(const CMarkup& xml, std::vector<uint8_t>& data, const std::string& text);
// Reply data: inline attributes (Text, Hex, U8, U16, U32, U64) or child
// elements of those names and <Fill Count= Byte=>, concatenated in order.
std::vector<uint8_t> ParseData(CMarkup& xml);

}  // namespace hxmd_profile
