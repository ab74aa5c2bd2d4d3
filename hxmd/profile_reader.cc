#include "hxmd/profile_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "xml/markup.h"

namespace hxmd_profile {

namespace {

std::string Where(const CMarkup& xml) { return "<" + xml.GetTagName() + ">"; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct DataKind {
  const char* name;
  int width;  // 0: text, -1: hex
};
constexpr DataKind kDataKinds[] = {{"Text", 0}, {"Hex", -1}, {"U8", 1}, {"U16", 2}, {"U32", 4}, {"U64", 8}};

void AppendData(const CMarkup& xml, std::vector<uint8_t>& data, const DataKind& kind, const std::string& value,
                bool withNul) {
  if (kind.width == 0) {
    data.insert(data.end(), value.begin(), value.end());
    if (withNul) data.push_back(0);
  } else if (kind.width < 0) {
    AppendHex(xml, data, value);
  } else {
    int64_t number;
    if (!ParseInteger(value, number)) Fail(xml, std::string(kind.name) + " is not a number: \"" + value + "\"");
    AppendLittleEndian(data, number, kind.width);
  }
}

}  // namespace

void Fail(const CMarkup& xml, const std::string& what) { throw ProfileError(Where(xml) + ": " + what); }

// Decimal or 0x-hex; a leading minus gives the two's complement.
bool ParseInteger(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  bool negative = *begin == '-';
  const char* digits = begin + (negative ? 1 : 0);
  // Decimal unless marked hex: a leading 0 is no octal marker here.
  int base = (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) ? 16 : 10;
  if (*digits == '-' || *digits == '+' || *digits == ' ') return false;
  uint64_t magnitude = std::strtoull(digits, &end, base);
  if (errno != 0 || *end != '\0' || end == digits) return false;
  value = negative ? -int64_t(magnitude) : int64_t(magnitude);
  return true;
}

int64_t Number(const CMarkup& xml, const char* name, int64_t fallback) {
  std::string text = xml.GetAttrib(name);
  if (text.empty()) return fallback;
  int64_t value;
  if (!ParseInteger(text, value)) Fail(xml, std::string("attribute ") + name + " is not a number: \"" + text + "\"");
  return value;
}

// A field of the command key: absent or "*" matches anything.
std::optional<uint32_t> Key(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  if (text.empty() || text == "*") return std::nullopt;
  return uint32_t(Number(xml, name, 0));
}

// Sensor readings in hundredths may be written as "12.05" or "-0.05".
int64_t Hundredths(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  if (text.find('.') == std::string::npos) return Number(xml, name, 0);
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) Fail(xml, std::string("attribute ") + name + " is not a number");
  return std::llround(value * 100);
}

void AppendLittleEndian(std::vector<uint8_t>& data, int64_t value, int width) {
  for (int i = 0; i < width; ++i) data.push_back(uint8_t(uint64_t(value) >> (8 * i)));
}

void AppendHex(const CMarkup& xml, std::vector<uint8_t>& data, const std::string& text) {
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ':') continue;
    int digit = HexDigit(c);
    if (digit < 0) Fail(xml, "not a hex digit: '" + std::string(1, c) + "'");
    if (high < 0) {
      high = digit;
    } else {
      data.push_back(uint8_t(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) Fail(xml, "odd number of hex digits");
}

bool Flag(const CMarkup& xml, const char* name) {
  std::string text = xml.GetAttrib(name);
  return text == "true" || text == "1" || text == "yes";
}

// Reply data: one inline attribute (Text="..", Hex="..", U16="..") or child
// elements concatenated in order.
std::vector<uint8_t> ParseData(CMarkup& xml) {
  std::vector<uint8_t> data;
  for (const DataKind& kind : kDataKinds) {
    std::string value = xml.GetAttrib(kind.name);
    if (!value.empty()) AppendData(xml, data, kind, value, Flag(xml, "Nul"));
  }
  xml.IntoElem();
  while (xml.FindElem()) {
    std::string tag = xml.GetTagName();
    if (tag == "Fill") {
      int64_t count = Number(xml, "Count", 0);
      // Checked against what is already there, so many fills cannot add up
      // to more memory than one reply may take.
      if (count < 0 || uint64_t(count) + data.size() > kMaxReplyData) Fail(xml, "Count out of range");
      data.insert(data.end(), size_t(count), uint8_t(Number(xml, "Byte", 0)));
      continue;
    }
    const DataKind* kind = nullptr;
    for (const DataKind& candidate : kDataKinds)
      if (tag == candidate.name) kind = &candidate;
    if (kind == nullptr) Fail(xml, "unknown data element");
    AppendData(xml, data, *kind, xml.GetData(), Flag(xml, "Nul"));
  }
  xml.OutOfElem();
  if (data.size() > kMaxReplyData) Fail(xml, "reply data too large");
  return data;
}


}  // namespace hxmd_profile
