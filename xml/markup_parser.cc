#include "xml/markup_parser.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// A mismatched end tag looks this far down the open elements for its start
// tag; deeper matches are treated as stray end tags. This keeps hostile input
// (thousands of open elements, thousands of stray end tags) linear.
constexpr size_t kMaxEndTagSearch = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : m_text(text) {}
  MarkupParseResult Run();

 private:
  struct OpenElem {
    int index;
    size_t start;
    size_t nameLength;
    size_t contentStart;
  };

  void Error(const char* what, size_t pos);
  void CheckTopLevelText(size_t from, size_t to);
  size_t ParseMarkupAt(size_t pos);
  size_t SkipTo(std::string_view terminator, size_t from, const char* what, size_t markupStart);
  size_t SkipDeclaration(size_t pos);
  size_t ParseStartTag(size_t pos);
  size_t SkipAttribute(size_t pos, bool& ok) const;
  size_t ParseEndTag(size_t pos);
  size_t SkipSpace(size_t pos) const;
  int AddElem(size_t start, size_t tagLength, bool empty, bool illFormed);
  void CloseTop(size_t end, size_t endTagLength, bool illFormed);

  std::string_view m_text;
  MarkupParseResult m_result;
  std::vector<OpenElem> m_open;
};

// Every element starts with a '<', so this bounds the number of records and
// lets the record array be allocated once.
size_t CountMarkupStarts(std::string_view text) {
  size_t count = 0;
  const char* end = text.data() + text.size();
  const char* p = text.data();
  while ((p = static_cast<const char*>(std::memchr(p, '<', end - p))) != nullptr) {
    ++count;
    ++p;
  }
  return count;
}

MarkupParseResult Parser::Run() {
  if (m_text.size() > static_cast<size_t>(INT_MAX)) {
    m_result.elems.emplace_back();
    Error("document too large", 0);
    return std::move(m_result);
  }
  m_result.elems.reserve(CountMarkupStarts(m_text) + 1);
  m_result.elems.emplace_back();
  m_result.elems[0].length = static_cast<int>(m_text.size());
  const size_t n = m_text.size();
  size_t pos = 0;
  while (pos < n) {
    const void* found = std::memchr(m_text.data() + pos, '<', n - pos);
    size_t lt = found ? static_cast<const char*>(found) - m_text.data() : n;
    if (m_open.empty()) CheckTopLevelText(pos, lt);
    if (lt >= n) break;
    pos = ParseMarkupAt(lt);
  }
  while (!m_open.empty()) {
    Error("element not closed", m_open.back().start);
    CloseTop(n, 0, true);
  }
  return std::move(m_result);
}

void Parser::Error(const char* what, size_t pos) {
  if (m_result.hasError) return;
  m_result.hasError = true;
  m_result.error = std::string(what) + " at offset " + std::to_string(pos);
}

void Parser::CheckTopLevelText(size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (!IsXmlSpace(m_text[i])) {
      Error("text outside elements", i);
      return;
    }
  }
}

// Returns the position after the markup starting at pos; always > pos.
size_t Parser::ParseMarkupAt(size_t pos) {
  std::string_view rest = m_text.substr(pos);
  if (rest.starts_with("<!--")) return SkipTo("-->", pos + 4, "unterminated comment", pos);
  if (rest.starts_with("<![CDATA[")) {
    if (m_open.empty()) Error("CDATA section outside elements", pos);
    return SkipTo("]]>", pos + 9, "unterminated CDATA section", pos);
  }
  if (rest.starts_with("<!")) {
    if (!rest.starts_with("<!DOCTYPE") || !m_open.empty()) Error("misplaced declaration", pos);
    return SkipDeclaration(pos);
  }
  if (rest.starts_with("<?")) return SkipTo("?>", pos + 2, "unterminated processing instruction", pos);
  if (rest.starts_with("</")) return ParseEndTag(pos);
  if (rest.size() > 1 && IsNameStartChar(rest[1])) return ParseStartTag(pos);
  Error("stray '<'", pos);
  return pos + 1;
}

size_t Parser::SkipTo(std::string_view terminator, size_t from, const char* what, size_t markupStart) {
  size_t end = m_text.find(terminator, from);
  if (end == std::string_view::npos) {
    Error(what, markupStart);
    return m_text.size();
  }
  return end + terminator.size();
}

// A document type declaration may hold an internal subset in brackets, which
// itself holds '>' characters.
size_t Parser::SkipDeclaration(size_t pos) {
  int depth = 0;
  for (size_t i = pos + 2; i < m_text.size(); ++i) {
    char c = m_text[i];
    if (c == '[') {
      ++depth;
    } else if (c == ']') {
      depth = std::max(depth - 1, 0);
    } else if (c == '>' && depth == 0) {
      return i + 1;
    }
  }
  Error("unterminated declaration", pos);
  return m_text.size();
}

size_t Parser::SkipSpace(size_t pos) const {
  while (pos < m_text.size() && IsXmlSpace(m_text[pos])) ++pos;
  return pos;
}

size_t Parser::ParseStartTag(size_t pos) {
  const size_t n = m_text.size();
  const size_t nameLength = NameLengthAt(m_text, pos + 1);
  size_t i = pos + 1 + nameLength;
  size_t end = std::string_view::npos;
  bool ok = true;
  bool empty = false;
  while (i < n) {
    char c = m_text[i];
    if (IsXmlSpace(c)) {
      ++i;
    } else if (c == '>') {
      end = i + 1;
      break;
    } else if (c == '/' && i + 1 < n && m_text[i + 1] == '>') {
      empty = true;
      end = i + 2;
      break;
    } else if (c == '<') {  // tag cut short by the next markup
      ok = false;
      end = i;
      break;
    } else if (IsNameStartChar(c)) {
      if (!IsXmlSpace(m_text[i - 1])) ok = false;
      i = SkipAttribute(i, ok);
    } else {
      ok = false;
      ++i;
    }
  }
  if (end == std::string_view::npos) {
    Error("unterminated start tag", pos);
    return n;
  }
  if (!ok) Error("malformed start tag", pos);
  int index = AddElem(pos, end - pos, empty, !ok);
  if (!empty) m_open.push_back({index, pos, nameLength, end});
  return end;
}

// Skips name="value" (or a broken version of it), clearing ok when broken.
size_t Parser::SkipAttribute(size_t pos, bool& ok) const {
  const size_t n = m_text.size();
  size_t i = SkipSpace(pos + NameLengthAt(m_text, pos));
  if (i >= n || m_text[i] != '=') {
    ok = false;
    return i;
  }
  i = SkipSpace(i + 1);
  if (i < n && (m_text[i] == '"' || m_text[i] == '\'')) {
    const size_t close = m_text.find(m_text[i], i + 1);
    const size_t valueEnd = close == std::string_view::npos ? n : close;
    const void* lt = std::memchr(m_text.data() + i + 1, '<', valueEnd - i - 1);
    if (lt != nullptr) {
      // A value running into markup is unterminated: resume at that markup
      // rather than swallowing it.
      ok = false;
      return static_cast<const char*>(lt) - m_text.data();
    }
    if (close == std::string_view::npos) ok = false;
    return close == std::string_view::npos ? n : close + 1;
  }
  ok = false;
  while (i < n && !IsXmlSpace(m_text[i]) && m_text[i] != '>' && m_text[i] != '<') ++i;
  return i;
}

size_t Parser::ParseEndTag(size_t pos) {
  const size_t n = m_text.size();
  const size_t nameStart = pos + 2;
  const size_t nameLength = NameLengthAt(m_text, nameStart);
  size_t i = SkipSpace(nameStart + nameLength);
  size_t end;
  bool ok = nameLength > 0;
  if (i < n && m_text[i] == '>') {
    end = i + 1;
  } else {
    ok = false;
    while (i < n && m_text[i] != '>' && m_text[i] != '<') ++i;
    end = (i < n && m_text[i] == '>') ? i + 1 : i;
  }
  if (!ok) Error("malformed end tag", pos);

  std::string_view name = m_text.substr(nameStart, nameLength);
  size_t depth = 0;
  const size_t limit = std::min(m_open.size(), kMaxEndTagSearch);
  while (depth < limit) {
    const OpenElem& open = m_open[m_open.size() - 1 - depth];
    if (nameLength > 0 && open.nameLength == nameLength && m_text.substr(open.start + 1, nameLength) == name) break;
    ++depth;
  }
  if (depth == limit) {
    Error("end tag without start tag", pos);
    return end;
  }
  // Elements left open inside the one being closed end where its end tag starts.
  for (size_t k = 0; k < depth; ++k) {
    Error("element not closed", m_open.back().start);
    CloseTop(pos, 0, true);
  }
  CloseTop(end, end - pos, !ok);
  return end;
}

int Parser::AddElem(size_t start, size_t tagLength, bool empty, bool illFormed) {
  std::vector<MarkupElem>& elems = m_result.elems;
  const int parent = m_open.empty() ? 0 : m_open.back().index;
  const size_t contentStart = m_open.empty() ? 0 : m_open.back().contentStart;
  const int index = static_cast<int>(elems.size());
  MarkupElem elem;
  elem.start = static_cast<int>(start - contentStart);
  elem.length = static_cast<int>(tagLength);
  elem.startTagLength = static_cast<int>(tagLength);
  elem.parent = parent;
  elem.prev = elems[parent].lastChild;
  elem.flags = (empty ? MarkupElem::kEmpty : 0) | (illFormed ? MarkupElem::kIllFormed : 0);
  elems.push_back(elem);
  if (elem.prev != 0) {
    elems[elem.prev].next = index;
  } else {
    elems[parent].firstChild = index;
  }
  elems[parent].lastChild = index;
  return index;
}

void Parser::CloseTop(size_t end, size_t endTagLength, bool illFormed) {
  const OpenElem open = m_open.back();
  m_open.pop_back();
  MarkupElem& elem = m_result.elems[open.index];
  elem.length = static_cast<int>(end - open.start);
  elem.endTagLength = static_cast<int>(endTagLength);
  if (illFormed) elem.flags |= MarkupElem::kIllFormed;
}

}  // namespace

MarkupParseResult ParseMarkup(std::string_view text) { return Parser(text).Run(); }

size_t NameLengthAt(std::string_view text, size_t pos) {
  if (pos >= text.size() || !IsNameStartChar(text[pos])) return 0;
  size_t end = pos + 1;
  while (end < text.size() && IsNameChar(text[end])) ++end;
  return end - pos;
}
