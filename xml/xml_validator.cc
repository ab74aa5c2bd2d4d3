#include "xml/xml_validator.h"

#include <cstdint>

namespace {

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence of an allowed XML character at the
// position, or 0 when the byte there has to be replaced.
size_t AllowedSequenceLength(const std::string& text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[pos + i]); };
  uint8_t lead = byte(0);
  if (lead < 0x80) return (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') ? 1 : 0;
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || pos + length > text.size()) return 0;
  uint32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF) return 0;  // overlong or out of range
  if (code >= 0xD800 && code <= 0xDFFF) return 0;             // surrogates
  if (code == 0xFFFE || code == 0xFFFF) return 0;
  return length;
}

}  // namespace

size_t CXmlValidator::ValidateText(std::string& text) {
  size_t replaced = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t length = AllowedSequenceLength(text, pos);
    if (length == 0) {
      text[pos] = kReplacement;
      ++replaced;
      length = 1;
    }
    pos += length;
  }
  return replaced;
}

size_t CXmlValidator::ValidateElements(CMarkup& doc) {
  std::string text = doc.GetDoc();
  size_t replaced = ValidateText(text);
  if (replaced != 0) doc.SetDoc(text);
  return replaced;
}
