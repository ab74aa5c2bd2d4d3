#pragma once
#include <cstddef>
#include <string>

#include "xml/markup.h"

// Makes document text acceptable to any XML 1.0 parser, whatever bytes were
// copied into it from firmware or devices.
class CXmlValidator {
 public:
  // Replaces, in the document's text, every byte an XML 1.0 parser would
  // reject (control characters other than tab, line feed and carriage
  // return, bytes that do not form valid UTF-8, and the non-characters
  // U+FFFE and U+FFFF) and re-parses the document when something changed.
  // Returns the number of bytes replaced.
  static size_t ValidateElements(CMarkup& doc);
  // The same for a plain text.
  static size_t ValidateText(std::string& text);

  // What a rejected byte becomes.
  static constexpr char kReplacement = '?';
};
