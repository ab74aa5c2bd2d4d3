#pragma once
#include <string>
#include <string_view>
#include <vector>

// One element of a parsed or built document. Offsets are kept relative to the
// parent's content start (the end of its start tag) so that an edit only has
// to move the elements that follow it at each level above the edit, never a
// whole subtree.
struct MarkupElem {
  enum Flags {
    kEmpty = 0x1,       // written "<name/>"
    kIllFormed = 0x2,   // end tag missing or start tag malformed
    kIllData = 0x4,     // holds text inserted unparsed because it was ill-formed
  };
  int start = 0;        // relative to the parent's content start
  int length = 0;       // start tag to end of end tag
  int startTagLength = 0;
  int endTagLength = 0;  // 0 for empty and unterminated elements
  int parent = 0;
  int firstChild = 0;
  int lastChild = 0;
  int prev = 0;
  int next = 0;
  int flags = 0;
};

// Element records of a text: record 0 is the virtual root spanning the whole
// text, the others follow in document order.
struct MarkupParseResult {
  std::vector<MarkupElem> elems;
  bool hasError = false;
  std::string error;  // description of the first problem found
};

// Single tolerant pass over the text: never throws, never reads past the end,
// records every problem and carries on so well-formed parts stay usable.
// Elements are matched by tag name; an end tag closes the nearest open element
// of that name, implicitly closing (and marking) elements left open inside it.
MarkupParseResult ParseMarkup(std::string_view text);

// XML name characters, treating every byte above 0x7F as part of a name.
inline bool IsNameStartChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}
inline bool IsNameChar(unsigned char c) {
  return IsNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
inline bool IsXmlSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Length of the name starting at pos (0 when none starts there).
size_t NameLengthAt(std::string_view text, size_t pos);
