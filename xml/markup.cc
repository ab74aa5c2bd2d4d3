#include "xml/markup.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "xml/markup_parser.h"
#include "xml/text_encoding.h"

namespace {

bool IsValidName(const char* name) {
  return name != nullptr && *name != '\0' && NameLengthAt(name, 0) == std::strlen(name);
}

std::string FormatInt(int value) { return std::to_string(value); }

// "]]>" cannot appear inside a section, so it is split across two.
std::string CdataSection(std::string_view text) {
  std::string out = "<![CDATA[";
  size_t pos = 0;
  for (size_t found; (found = text.find("]]>", pos)) != std::string_view::npos; pos = found + 3) {
    out.append(text.substr(pos, found - pos));
    out += "]]]]><![CDATA[>";
  }
  out.append(text.substr(pos));
  out += "]]>";
  return out;
}

bool IsDigit(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// Length of the character or entity reference starting with '&' at pos, 0 when
// no well-formed reference starts there.
size_t ReferenceLength(std::string_view text, size_t pos) {
  size_t i = pos + 1;
  if (i < text.size() && text[i] == '#') {
    bool hex = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
    i += hex ? 2 : 1;
    size_t digits = i;
    while (i < text.size() && IsDigit(text[i], hex)) ++i;
    if (i == digits) return 0;
  } else {
    i += NameLengthAt(text, i);
    if (i == pos + 1) return 0;
  }
  return i < text.size() && text[i] == ';' ? i + 1 - pos : 0;
}

void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

struct EntityName {
  std::string_view name;
  char ch;
};
constexpr EntityName kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};

// Appends the resolution of a well-formed reference ("&...;"); unknown names
// and invalid code points are copied unchanged.
void AppendReference(std::string& out, std::string_view ref) {
  std::string_view body = ref.substr(1, ref.size() - 2);
  if (body.starts_with('#')) {
    bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    unsigned long cp = 0;
    for (char c : body.substr(hex ? 2 : 1)) {
      cp = cp * (hex ? 16 : 10) + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
      if (cp > 0x10FFFF) break;
    }
    if (cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)) {
      AppendUtf8(out, cp);
      return;
    }
  } else {
    for (const EntityName& entity : kEntities) {
      if (entity.name == body) {
        out += entity.ch;
        return;
      }
    }
  }
  out.append(ref);
}

void AppendUnescaped(std::string& out, std::string_view text) {
  size_t pos = 0;
  for (size_t amp; (amp = text.find('&', pos)) != std::string_view::npos;) {
    out.append(text.substr(pos, amp - pos));
    size_t length = ReferenceLength(text, amp);
    if (length == 0) {
      out += '&';
      pos = amp + 1;
    } else {
      AppendReference(out, text.substr(amp, length));
      pos = amp + length;
    }
  }
  out.append(text.substr(pos));
}

// One attribute of a start tag; offsets are relative to the tag. A value
// written without quotes (or missing) spans from the end of the name.
struct AttribSpan {
  std::string_view name;
  size_t nameEnd = 0;
  size_t valueStart = 0;
  size_t valueLength = 0;
  bool quoted = false;
};

// Steps through the attributes of a start tag, tolerating broken ones.
class AttribReader {
 public:
  explicit AttribReader(std::string_view tag) : m_tag(tag), m_pos(1 + NameLengthAt(tag, 1)) {}

  bool Next(AttribSpan& attrib) {
    SkipSpace();
    size_t nameLength = NameLengthAt(m_tag, m_pos);
    if (nameLength == 0) return false;
    attrib.name = m_tag.substr(m_pos, nameLength);
    m_pos += nameLength;
    attrib.nameEnd = attrib.valueStart = m_pos;
    attrib.valueLength = 0;
    attrib.quoted = false;
    SkipSpace();
    if (m_pos >= m_tag.size() || m_tag[m_pos] != '=') return true;
    ++m_pos;
    SkipSpace();
    if (m_pos < m_tag.size() && (m_tag[m_pos] == '"' || m_tag[m_pos] == '\'')) {
      size_t close = m_tag.find(m_tag[m_pos], m_pos + 1);
      if (close == std::string_view::npos) close = m_tag.size();
      attrib.valueStart = m_pos + 1;
      attrib.valueLength = close - attrib.valueStart;
      attrib.quoted = true;
      m_pos = close + 1;
    } else {
      attrib.valueStart = m_pos;
      while (m_pos < m_tag.size() && !IsXmlSpace(m_tag[m_pos]) && m_tag[m_pos] != '>' && m_tag[m_pos] != '/' &&
             m_tag[m_pos] != '<') {
        ++m_pos;
      }
      attrib.valueLength = m_pos - attrib.valueStart;
    }
    return true;
  }

 private:
  void SkipSpace() {
    while (m_pos < m_tag.size() && IsXmlSpace(m_tag[m_pos])) ++m_pos;
  }
  std::string_view m_tag;
  size_t m_pos;
};

bool FindAttrib(std::string_view tag, std::string_view name, AttribSpan& attrib) {
  AttribReader reader(tag);
  while (reader.Next(attrib)) {
    if (attrib.name == name) return true;
  }
  return false;
}

// Reads to the end straight into the string, sized from the file when known
// (files under /proc report no size).
std::string ReadWholeFile(FILE* file) {
  struct stat info;
  size_t capacity = 65536;
  if (fstat(fileno(file), &info) == 0 && info.st_size > 0) capacity = static_cast<size_t>(info.st_size) + 1;
  std::string bytes(capacity, '\0');
  size_t used = 0;
  size_t got;
  while ((got = std::fread(bytes.data() + used, 1, bytes.size() - used, file)) > 0) {
    used += got;
    if (used > static_cast<size_t>(INT_MAX)) break;
    if (used == bytes.size()) bytes.resize(2 * bytes.size());
  }
  bytes.resize(used);
  return bytes;
}

// Writes the UTF-8 text converted to the file encoding, without a byte-order
// mark; returns what went wrong, empty on success.
std::string WriteEncoded(const std::string& path, const std::string& text, const std::string& fileEncoding) {
  std::string converted;
  std::string_view out = text;
  if (!IsUtf8EncodingName(fileEncoding)) {
    std::string error;
    if (!ConvertTextEncoding(text, "UTF-8", fileEncoding, converted, error)) return error;
    out = converted;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return "cannot open " + path + " for writing: " + std::strerror(errno);
  const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed ? std::string() : "cannot write " + path;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and whole document

CMarkup::CMarkup() { x_Reset(); }

CMarkup::CMarkup(const char* doc) { SetDoc(doc); }

CMarkup::CMarkup(const CMarkup&) = default;
CMarkup& CMarkup::operator=(const CMarkup&) = default;

CMarkup::CMarkup(CMarkup&& other) noexcept { *this = std::move(other); }

CMarkup& CMarkup::operator=(CMarkup&& other) noexcept {
  if (this == &other) return *this;
  m_strDoc = std::move(other.m_strDoc);
  m_strResult = std::move(other.m_strResult);
  m_aPos = std::move(other.m_aPos);
  m_SavedPos = std::move(other.m_SavedPos);
  m_iPosParent = other.m_iPosParent;
  m_iPos = other.m_iPos;
  m_iPosChild = other.m_iPosChild;
  m_nDocFlags = other.m_nDocFlags;
  m_nNodeOffset = other.m_nNodeOffset;
  m_nNodeLength = other.m_nNodeLength;
  other.x_Reset();
  return *this;
}

CMarkup::~CMarkup() = default;

void CMarkup::x_Reset() {
  m_strDoc.clear();
  m_strResult.clear();
  m_aPos.assign(1, MarkupElem{});
  m_SavedPos.clear();
  m_nDocFlags = 0;
  x_SetPos(0, 0, 0);
}

bool CMarkup::SetDoc(const char* doc) {
  m_strDoc = doc ? doc : "";
  x_Parse();
  return IsWellFormed();
}

void CMarkup::x_Parse() {
  MarkupParseResult parsed = ParseMarkup(m_strDoc);
  // An emptied document keeps its record array for the next build.
  if (parsed.elems.size() == 1) {
    m_aPos.assign(1, parsed.elems[0]);
  } else {
    m_aPos = std::move(parsed.elems);
  }
  if (parsed.hasError) m_aPos[0].flags |= MarkupElem::kIllFormed;
  m_strResult = parsed.error;
  m_SavedPos.clear();
  x_SetPos(0, 0, 0);
}

bool CMarkup::IsWellFormed() const {
  if (m_nDocFlags & MDF_WRITEFILE) return true;
  const MarkupElem& root = m_aPos[0];
  return root.firstChild != 0 && root.firstChild == root.lastChild && !(root.flags & MarkupElem::kIllFormed);
}

bool CMarkup::Load(const std::string& path) {
  x_Reset();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    m_strResult = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string bytes = ReadWholeFile(file);
  const bool readFailed = std::ferror(file) != 0;
  std::fclose(file);
  if (readFailed || bytes.size() > static_cast<size_t>(INT_MAX)) {
    m_strResult = "cannot read " + path + (readFailed ? ": read error" : ": file too large");
    return false;
  }

  const TextEncoding encoding = DetectTextEncoding(bytes);
  bytes.erase(0, encoding.bomLength);
  std::string conversionError;
  bool converted = true;
  if (IsUtf8EncodingName(encoding.name)) {
    m_strDoc = std::move(bytes);
  } else if (!ConvertTextEncoding(bytes, encoding.name, "UTF-8", m_strDoc, conversionError)) {
    // Keep whatever is readable; the document is still parsed.
    converted = false;
    if (m_strDoc.empty()) m_strDoc = std::move(bytes);
  }
  x_Parse();
  if (!converted) m_strResult = conversionError + (m_strResult.empty() ? "" : "; " + m_strResult);
  return converted && IsWellFormed();
}

bool CMarkup::WriteTextFile(const std::string& path, const std::string& text, std::string* result, int* flags,
                            std::string* encoding) {
  std::string fileEncoding = encoding && !encoding->empty() ? *encoding : DeclaredEncoding(text);
  if (fileEncoding.empty()) fileEncoding = "UTF-8";
  if (encoding) *encoding = fileEncoding;
  if (flags) *flags |= MDF_WRITEFILE;
  const std::string error = WriteEncoded(path, text, fileEncoding);
  if (flags) *flags &= ~MDF_WRITEFILE;
  if (result) *result = error.empty() ? "wrote " + path + " in " + fileEncoding : error;
  return error.empty();
}

// ---------------------------------------------------------------------------
// Element records

bool CMarkup::x_IsElem(int index) const { return index > 0 && index < static_cast<int>(m_aPos.size()); }

int CMarkup::x_Start(int index) const {
  int start = 0;
  for (int i = index; i != 0; i = m_aPos[i].parent) {
    const MarkupElem& parent = m_aPos[m_aPos[i].parent];
    start += m_aPos[i].start + parent.startTagLength;
  }
  return start;
}

int CMarkup::x_End(int index) const { return x_Start(index) + m_aPos[index].length; }

int CMarkup::x_ContentStart(int index) const { return x_Start(index) + m_aPos[index].startTagLength; }

int CMarkup::x_ContentEnd(int index) const { return x_End(index) - m_aPos[index].endTagLength; }

std::string_view CMarkup::x_StartTag(int index) const {
  return std::string_view(m_strDoc).substr(x_Start(index), m_aPos[index].startTagLength);
}

int CMarkup::x_FindSibling(int from, const char* name) const {
  if (from == 0 || name == nullptr || *name == '\0') return from;
  const std::string_view wanted(name);
  const std::string_view doc(m_strDoc);
  const int contentStart = x_ContentStart(m_aPos[from].parent);
  for (int i = from; i != 0; i = m_aPos[i].next) {
    std::string_view tag = doc.substr(contentStart + m_aPos[i].start, m_aPos[i].startTagLength);
    if (tag.substr(1, NameLengthAt(tag, 1)) == wanted) return i;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Navigation

bool CMarkup::x_SetPos(int parent, int main, int child) {
  auto valid = [this](int i) { return i == 0 || x_IsElem(i); };
  if (!valid(parent) || !valid(main) || !valid(child)) return false;
  m_iPosParent = parent;
  m_iPos = main;
  m_iPosChild = child;
  m_nNodeOffset = -1;
  m_nNodeLength = 0;
  return true;
}

bool CMarkup::FindElem(const char* name) {
  int from = m_iPos ? m_aPos[m_iPos].next : m_aPos[m_iPosParent].firstChild;
  int found = x_FindSibling(from, name);
  return found != 0 && x_SetPos(m_iPosParent, found, 0);
}

bool CMarkup::FindChildElem(const char* name) {
  if (m_iPos == 0 && !FindElem()) return false;
  int from = m_iPosChild ? m_aPos[m_iPosChild].next : m_aPos[m_iPos].firstChild;
  int found = x_FindSibling(from, name);
  return found != 0 && x_SetPos(m_iPosParent, m_iPos, found);
}

bool CMarkup::IntoElem() { return m_iPos != 0 && x_SetPos(m_iPos, m_iPosChild, 0); }

bool CMarkup::OutOfElem() { return m_iPosParent != 0 && x_SetPos(m_aPos[m_iPosParent].parent, m_iPosParent, m_iPos); }

bool CMarkup::SavePos(const char* name) {
  m_SavedPos[name ? name : ""] = {m_iPosParent, m_iPos, m_iPosChild};
  return true;
}

bool CMarkup::RestorePos(const char* name) {
  auto it = m_SavedPos.find(name ? name : "");
  return it != m_SavedPos.end() && x_SetPos(it->second.parent, it->second.main, it->second.child);
}

// ---------------------------------------------------------------------------
// Reading

std::string CMarkup::x_GetTagName(int element) const {
  if (!x_IsElem(element)) return {};
  std::string_view tag = x_StartTag(element);
  return std::string(tag.substr(1, NameLengthAt(tag, 1)));
}

std::string CMarkup::x_GetData(int element) const {
  if (!x_IsElem(element) || m_aPos[element].firstChild != 0) return {};
  const int start = x_ContentStart(element);
  std::string_view content = std::string_view(m_strDoc).substr(start, x_ContentEnd(element) - start);
  std::string data;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t lt = content.find('<', pos);
    AppendUnescaped(data, content.substr(pos, lt - pos));
    if (lt == std::string_view::npos) break;
    std::string_view rest = content.substr(lt);
    if (rest.starts_with("<![CDATA[")) {
      const size_t end = rest.find("]]>", 9);
      data.append(rest.substr(9, end - 9));
      pos = end == std::string_view::npos ? content.size() : lt + end + 3;
    } else if (rest.starts_with("<!--") || rest.starts_with("<?")) {
      const std::string_view terminator = rest[1] == '!' ? "-->" : "?>";
      const size_t end = rest.find(terminator, 2);
      pos = end == std::string_view::npos ? content.size() : lt + end + terminator.size();
    } else {
      data += '<';
      pos = lt + 1;
    }
  }
  return data;
}

std::string CMarkup::x_GetAttrib(int element, const char* name) const {
  if (!x_IsElem(element) || name == nullptr) return {};
  const std::string_view tag = x_StartTag(element);
  AttribSpan attrib;
  std::string value;
  if (FindAttrib(tag, name, attrib)) AppendUnescaped(value, tag.substr(attrib.valueStart, attrib.valueLength));
  return value;
}

std::string CMarkup::GetAttribName(int n) const {
  if (!x_IsElem(m_iPos) || n < 0) return {};
  AttribReader reader(x_StartTag(m_iPos));
  AttribSpan attrib;
  for (int i = 0; reader.Next(attrib); ++i) {
    if (i == n) return std::string(attrib.name);
  }
  return {};
}

std::string CMarkup::x_GetSubDoc(int element) const {
  if (!x_IsElem(element)) return {};
  const size_t start = x_Start(element);
  size_t end = start + m_aPos[element].length;
  size_t after = end;
  while (after < m_strDoc.size() && IsXmlSpace(m_strDoc[after])) ++after;
  if (after == m_strDoc.size() || m_strDoc[after] == '<') end = after;
  return m_strDoc.substr(start, end - start);
}

std::string CMarkup::EscapeText(const char* text, int flags) {
  std::string out;
  if (text == nullptr) return out;
  std::string_view in(text);
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += (flags & MNF_ESCAPEQUOTES) ? "&quot;" : "\""; break;
      case '\'': out += (flags & MNF_ESCAPEQUOTES) ? "&apos;" : "'"; break;
      case '&': {
        size_t ref = (flags & MNF_WITHREFS) ? ReferenceLength(in, i) : 0;
        if (ref == 0) {
          out += "&amp;";
        } else {
          out.append(in.substr(i, ref));
          i += ref - 1;
        }
        break;
      }
      default: out += c;
    }
  }
  return out;
}

std::string CMarkup::UnescapeText(const char* text, int length) {
  std::string out;
  if (text == nullptr) return out;
  AppendUnescaped(out, length < 0 ? std::string_view(text) : std::string_view(text, length));
  return out;
}

// ---------------------------------------------------------------------------
// Editing the text and keeping the records in step

// After the text of parent's content grew by delta in front of `following`
// (and its later siblings), moves those siblings and grows every ancestor,
// moving the siblings that follow each ancestor in turn. Offsets are relative
// to the parent's content, so nothing inside a moved element is touched.
void CMarkup::x_Shift(int parent, int following, int delta) {
  while (true) {
    for (int i = following; i != 0; i = m_aPos[i].next) m_aPos[i].start += delta;
    MarkupElem& elem = m_aPos[parent];
    elem.length += delta;
    if (parent == 0) return;
    following = elem.next;
    parent = elem.parent;
  }
}

// Replaces a run inside one element (its start tag or its content).
void CMarkup::x_Edit(int index, int offset, int oldLength, std::string_view text, bool inStartTag) {
  m_strDoc.replace(offset, oldLength, text);
  const int delta = static_cast<int>(text.size()) - oldLength;
  if (m_nNodeOffset >= offset + oldLength) m_nNodeOffset += delta;
  MarkupElem& elem = m_aPos[index];
  elem.length += delta;
  if (inStartTag) elem.startTagLength += delta;
  x_Shift(elem.parent, elem.next, delta);
}

// "<name .../>" becomes "<name ...>" content "</name>".
void CMarkup::x_OpenEmpty(int index, std::string_view content) {
  const std::string name = x_GetTagName(index);
  std::string replacement = ">";
  replacement.append(content).append("</").append(name).append(">");
  x_Edit(index, x_ContentStart(index) - 2, 2, replacement, false);
  MarkupElem& elem = m_aPos[index];
  elem.startTagLength -= 1;
  elem.endTagLength = static_cast<int>(name.size()) + 3;
  elem.flags &= ~MarkupElem::kEmpty;
}

bool CMarkup::x_FindSlot(int flags, Slot& slot) {
  const bool child = (flags & MNF_CHILD) != 0;
  const bool insert = (flags & MNF_INSERT) != 0;
  if (child && m_iPos == 0) return false;
  slot.parent = child ? m_iPos : m_iPosParent;
  const int ref = child ? m_iPosChild : m_iPos;
  auto afterLineEnd = [this](int offset) {
    return offset < static_cast<int>(m_strDoc.size()) && m_strDoc[offset] == '\n' ? offset + 1 : offset;
  };

  if (ref != 0) {
    slot.prev = insert ? m_aPos[ref].prev : ref;
    slot.offset = insert ? x_Start(ref) : afterLineEnd(x_End(ref));
    slot.appending = !insert;
    return true;
  }
  if (!child && m_nNodeOffset >= 0) {
    slot.offset = insert ? m_nNodeOffset : afterLineEnd(m_nNodeOffset + m_nNodeLength);
    slot.appending = !insert;
    slot.prev = 0;
    for (int i = m_aPos[slot.parent].firstChild; i != 0 && x_Start(i) < slot.offset; i = m_aPos[i].next) slot.prev = i;
    return true;
  }
  if (m_aPos[slot.parent].flags & MarkupElem::kEmpty) x_OpenEmpty(slot.parent, (flags & MNF_WITHNOLINES) ? "" : "\n");
  slot.appending = true;
  if (insert) {
    slot.prev = 0;
    slot.offset = slot.parent ? afterLineEnd(x_ContentStart(slot.parent)) : 0;
  } else {
    slot.prev = m_aPos[slot.parent].lastChild;
    slot.offset = slot.prev ? afterLineEnd(x_End(slot.prev)) : x_ContentEnd(slot.parent);
  }
  return true;
}

// Inserts a node's text at the slot, with a line feed after it (and one in
// front when the slot does not start a line); returns where the node starts.
int CMarkup::x_Insert(const Slot& slot, std::string_view text, bool withLines) {
  const bool lineBefore = withLines && slot.appending && slot.offset > 0 && m_strDoc[slot.offset - 1] != '\n';
  const int nodeStart = slot.offset + (lineBefore ? 1 : 0);
  const int length = static_cast<int>(text.size()) + (lineBefore ? 1 : 0) + (withLines ? 1 : 0);
  // Line feeds first, then the node over the middle ones: the text after the
  // slot moves once and no temporary copy of a large sub-document is made.
  m_strDoc.insert(slot.offset, length, '\n');
  m_strDoc.replace(nodeStart, text.size(), text);
  if (m_nNodeOffset >= slot.offset) m_nNodeOffset += length;
  const int following = slot.prev ? m_aPos[slot.prev].next : m_aPos[slot.parent].firstChild;
  x_Shift(slot.parent, following, length);
  return nodeStart;
}

// Links the sibling run first..last (already chained) into the slot.
void CMarkup::x_Link(const Slot& slot, int first, int last) {
  MarkupElem& parent = m_aPos[slot.parent];
  const int next = slot.prev ? m_aPos[slot.prev].next : parent.firstChild;
  m_aPos[first].prev = slot.prev;
  m_aPos[last].next = next;
  if (slot.prev) {
    m_aPos[slot.prev].next = first;
  } else {
    parent.firstChild = first;
  }
  if (next) {
    m_aPos[next].prev = last;
  } else {
    parent.lastChild = last;
  }
}

// ---------------------------------------------------------------------------
// Building

bool CMarkup::x_AddElem(const char* name, const char* value, int flags) {
  if (!x_Editable() || !IsValidName(name)) return false;
  std::string text = std::string("<") + name;
  const bool empty = value == nullptr || *value == '\0';
  if (empty) {
    text += "/>";
  } else {
    text += '>';
    text += (flags & MNF_WITHCDATA) ? CdataSection(value) : EscapeText(value, flags & MNF_WITHREFS);
    text += std::string("</") + name + ">";
  }
  if (m_strDoc.size() + text.size() + 2 * std::strlen(name) + 8 > static_cast<size_t>(INT_MAX)) return false;

  Slot slot;
  if (!x_FindSlot(flags, slot)) return false;
  const int nodeStart = x_Insert(slot, text, (flags & MNF_WITHNOLINES) == 0);
  MarkupElem elem;
  elem.start = nodeStart - x_ContentStart(slot.parent);
  elem.length = static_cast<int>(text.size());
  elem.startTagLength = empty ? elem.length : static_cast<int>(std::strlen(name)) + 2;
  elem.endTagLength = empty ? 0 : static_cast<int>(std::strlen(name)) + 3;
  elem.parent = slot.parent;
  elem.flags = empty ? MarkupElem::kEmpty : 0;
  const int index = static_cast<int>(m_aPos.size());
  m_aPos.push_back(elem);
  x_Link(slot, index, index);
  return (flags & MNF_CHILD) ? x_SetPos(m_iPosParent, m_iPos, index) : x_SetPos(slot.parent, index, 0);
}

bool CMarkup::x_AddElem(const char* name, int value, int flags) {
  return x_AddElem(name, FormatInt(value).c_str(), flags);
}

bool CMarkup::x_SetAttrib(int element, const char* name, const char* value, int flags) {
  if (!x_Editable() || !x_IsElem(element) || !IsValidName(name)) return false;
  const std::string escaped = EscapeText(value ? value : "", MNF_ESCAPEQUOTES | (flags & MNF_WITHREFS));
  if (m_strDoc.size() + escaped.size() + std::strlen(name) + 4 > static_cast<size_t>(INT_MAX)) return false;
  const int tagStart = x_Start(element);
  std::string_view tag = x_StartTag(element);
  AttribSpan attrib;
  if (FindAttrib(tag, name, attrib)) {
    if (attrib.quoted) {
      x_Edit(element, tagStart + static_cast<int>(attrib.valueStart), static_cast<int>(attrib.valueLength), escaped,
             true);
    } else {
      const size_t end = attrib.valueStart + attrib.valueLength;
      x_Edit(element, tagStart + static_cast<int>(attrib.nameEnd), static_cast<int>(end - attrib.nameEnd),
             "=\"" + escaped + "\"", true);
    }
    return true;
  }
  // Appended after the last attribute, before any blanks and the closing
  // "/>" or ">" (a tag cut short by the next markup has neither).
  size_t at = tag.size();
  if (tag.ends_with('>')) at -= (m_aPos[element].flags & MarkupElem::kEmpty) ? 2 : 1;
  while (at > 1 && IsXmlSpace(tag[at - 1])) --at;
  x_Edit(element, tagStart + static_cast<int>(at), 0, std::string(" ") + name + "=\"" + escaped + "\"", true);
  return true;
}

bool CMarkup::x_SetAttrib(int element, const char* name, int value, int flags) {
  return x_SetAttrib(element, name, FormatInt(value).c_str(), flags);
}

bool CMarkup::x_SetData(int element, const char* value, int flags) {
  if (!x_Editable() || !x_IsElem(element)) return false;
  MarkupElem& elem = m_aPos[element];
  const bool empty = (elem.flags & MarkupElem::kEmpty) != 0;
  if (elem.firstChild != 0 || (!empty && elem.endTagLength == 0)) return false;
  std::string content;
  if (value != nullptr && *value != '\0') {
    content = (flags & MNF_WITHCDATA) ? CdataSection(value) : EscapeText(value, flags & MNF_WITHREFS);
  }
  if (m_strDoc.size() + content.size() + elem.length + 3 > static_cast<size_t>(INT_MAX)) return false;
  if (!empty) {
    const int start = x_ContentStart(element);
    x_Edit(element, start, x_ContentEnd(element) - start, content, false);
    return true;
  }
  if (!content.empty()) x_OpenEmpty(element, content);
  return true;
}

bool CMarkup::x_SetData(int element, int value) { return x_SetData(element, FormatInt(value).c_str(), 0); }

bool CMarkup::x_AddSubDoc(const char* text, int flags) {
  if (!x_Editable() || ((flags & MNF_CHILD) && m_iPos == 0)) return false;
  std::string_view source(text ? text : "");
  if (source.find_first_not_of(" \t\r\n") == std::string_view::npos) return false;
  if (m_strDoc.size() + source.size() + 1 > static_cast<size_t>(INT_MAX)) return false;
  MarkupParseResult parsed = ParseMarkup(source);
  const bool wellFormed = !parsed.hasError && parsed.elems[0].firstChild != 0;

  Slot slot;
  if (!x_FindSlot(wellFormed ? flags : flags | MNF_WITHNOLINES, slot)) return false;
  if (!wellFormed) {
    x_Insert(slot, source, false);
    m_aPos[slot.parent].flags |= MarkupElem::kIllData;
    // Whatever made the fragment fail now sits in the document's text.
    m_aPos[0].flags |= MarkupElem::kIllFormed;
    return false;
  }

  // Only the run from the first element's start to the last one's end goes in.
  const std::vector<MarkupElem>& elems = parsed.elems;
  const int first = elems[0].firstChild;
  const int last = elems[0].lastChild;
  const int runStart = elems[first].start;
  const int runEnd = elems[last].start + elems[last].length;
  const int nodeStart = x_Insert(slot, source.substr(runStart, runEnd - runStart), (flags & MNF_WITHNOLINES) == 0);

  // Fragment record i becomes record base + i; its top-level records move
  // under the slot's parent.
  const int base = static_cast<int>(m_aPos.size()) - 1;
  const int topShift = nodeStart - runStart - x_ContentStart(slot.parent);
  auto map = [base](int i) { return i ? i + base : 0; };
  if (m_aPos.capacity() < m_aPos.size() + elems.size()) m_aPos.reserve(2 * (m_aPos.size() + elems.size()));
  for (size_t i = 1; i < elems.size(); ++i) {
    MarkupElem elem = elems[i];
    if (elem.parent == 0) {
      elem.start += topShift;
      elem.parent = slot.parent;
    } else {
      elem.parent += base;
    }
    elem.firstChild = map(elem.firstChild);
    elem.lastChild = map(elem.lastChild);
    elem.prev = map(elem.prev);
    elem.next = map(elem.next);
    m_aPos.push_back(elem);
  }
  x_Link(slot, first + base, last + base);
  return (flags & MNF_CHILD) ? x_SetPos(m_iPosParent, m_iPos, last + base) : x_SetPos(slot.parent, last + base, 0);
}

bool CMarkup::x_AddNode(int nodeType, const char* text, int flags) {
  if (!x_Editable() || text == nullptr) return false;
  std::string node;
  std::string_view body(text);
  switch (nodeType) {
    case MNT_PROCESSING_INSTRUCTION:
      if (body.find("?>") != std::string_view::npos) return false;
      node = "<?" + std::string(body) + "?>";
      break;
    case MNT_COMMENT:
      if (body.find("--") != std::string_view::npos) return false;
      node = "<!--" + std::string(body) + "-->";
      break;
    default:
      return false;
  }
  if (m_strDoc.size() + node.size() + 2 > static_cast<size_t>(INT_MAX)) return false;
  Slot slot;
  if (!x_FindSlot(flags, slot)) return false;
  const int nodeStart = x_Insert(slot, node, (flags & MNF_WITHNOLINES) == 0);
  if (flags & MNF_CHILD) return true;
  x_SetPos(slot.parent, 0, 0);
  m_nNodeOffset = nodeStart;
  m_nNodeLength = static_cast<int>(node.size());
  return true;
}
