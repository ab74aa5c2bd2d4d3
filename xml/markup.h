#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct MarkupElem;

// In-memory XML document: the whole text in one string plus a tree of element
// records indexing into it. Building edits the text in place at the current
// position (parent, main, child); reading walks the tree. Parsing is tolerant:
// it never throws and never stops at the first error.
class CMarkup {
 public:
  enum MarkupNodeFlags {
    MNF_WITHCDATA = 0x1,
    MNF_WITHNOLINES = 0x2,
    MNF_WITHREFS = 0x8,
    MNF_ESCAPEQUOTES = 0x100,
    MNF_INSERT = 0x2000,
    MNF_CHILD = 0x4000,
  };
  enum MarkupNodeType {
    MNT_ELEMENT = 1,
    MNT_TEXT = 2,
    MNT_WHITESPACE = 4,
    MNT_CDATA_SECTION = 8,
    MNT_PROCESSING_INSTRUCTION = 16,
    MNT_COMMENT = 32,
    MNT_DOCUMENT_TYPE = 64,
  };
  enum MarkupDocFlags {
    MDF_READFILE = 0x10,
    MDF_WRITEFILE = 0x20,
  };

  CMarkup();
  explicit CMarkup(const char* doc);
  CMarkup(const CMarkup&);
  CMarkup& operator=(const CMarkup&);
  CMarkup(CMarkup&&) noexcept;
  CMarkup& operator=(CMarkup&&) noexcept;
  ~CMarkup();

  // Whole document.
  bool SetDoc(const char* doc);
  bool SetDoc(const std::string& doc) { return SetDoc(doc.c_str()); }
  const std::string& GetDoc() const { return m_strDoc; }
  bool IsWellFormed() const;
  bool Load(const std::string& path);
  bool Save(const std::string& path) const { return WriteTextFile(path, m_strDoc); }
  static bool WriteTextFile(const std::string& path, const std::string& text,
                            std::string* result = nullptr, int* flags = nullptr,
                            std::string* encoding = nullptr);
  const std::string& GetResult() const { return m_strResult; }

  // Navigation.
  bool FindElem(const char* name = nullptr);
  bool FindChildElem(const char* name = nullptr);
  bool IntoElem();
  bool OutOfElem();
  void ResetPos() { x_SetPos(0, 0, 0); }
  void ResetMainPos() { x_SetPos(m_iPosParent, 0, 0); }
  void ResetChildPos() { x_SetPos(m_iPosParent, m_iPos, 0); }
  bool SavePos(const char* name = "");
  bool RestorePos(const char* name = "");
  bool x_SetPos(int parent, int main, int child);

  // Reading at the current position.
  std::string GetTagName() const { return x_GetTagName(m_iPos); }
  std::string GetChildTagName() const { return x_GetTagName(m_iPosChild); }
  std::string GetData() const { return x_GetData(m_iPos); }
  std::string GetChildData() const { return x_GetData(m_iPosChild); }
  std::string GetAttrib(const char* name) const { return x_GetAttrib(m_iPos, name); }
  std::string GetChildAttrib(const char* name) const { return x_GetAttrib(m_iPosChild, name); }
  std::string GetAttribName(int n) const;
  std::string GetSubDoc() const { return x_GetSubDoc(m_iPos); }
  std::string GetChildSubDoc() const { return x_GetSubDoc(m_iPosChild); }

  // Building at the current position.
  bool AddElem(const char* name, const char* value = nullptr, int flags = 0) { return x_AddElem(name, value, flags); }
  bool AddElem(const char* name, int value, int flags = 0) { return x_AddElem(name, value, flags); }
  bool InsertElem(const char* name, const char* value = nullptr, int flags = 0) { return x_AddElem(name, value, flags | MNF_INSERT); }
  bool AddChildElem(const char* name, const char* value = nullptr, int flags = 0) { return x_AddElem(name, value, flags | MNF_CHILD); }
  bool AddChildElem(const char* name, int value, int flags = 0) { return x_AddElem(name, value, flags | MNF_CHILD); }
  bool AddChildElem(const char* name, const std::string& value, int flags = 0) { return x_AddElem(name, value.c_str(), flags | MNF_CHILD); }
  bool InsertChildElem(const char* name, const char* value = nullptr, int flags = 0) { return x_AddElem(name, value, flags | MNF_CHILD | MNF_INSERT); }
  bool AddAttrib(const char* name, const char* value) { return x_SetAttrib(m_iPos, name, value); }
  bool AddAttrib(const char* name, const std::string& value) { return x_SetAttrib(m_iPos, name, value.c_str()); }
  bool AddAttrib(const char* name, int value) { return x_SetAttrib(m_iPos, name, value); }
  bool SetAttrib(const char* name, const char* value) { return x_SetAttrib(m_iPos, name, value); }
  bool SetAttrib(const char* name, int value) { return x_SetAttrib(m_iPos, name, value); }
  bool AddChildAttrib(const char* name, const char* value) { return x_SetAttrib(m_iPosChild, name, value); }
  bool AddChildAttrib(const char* name, const std::string& value) { return x_SetAttrib(m_iPosChild, name, value.c_str()); }
  bool AddChildAttrib(const char* name, int value) { return x_SetAttrib(m_iPosChild, name, value); }
  bool SetChildAttrib(const char* name, const char* value) { return x_SetAttrib(m_iPosChild, name, value); }
  bool SetChildAttrib(const char* name, int value) { return x_SetAttrib(m_iPosChild, name, value); }
  bool SetData(const char* value, int flags = 0) { return x_SetData(m_iPos, value, flags); }
  bool SetData(int value) { return x_SetData(m_iPos, value); }
  bool SetChildData(const char* value, int flags = 0) { return x_SetData(m_iPosChild, value, flags); }
  bool SetChildData(int value) { return x_SetData(m_iPosChild, value); }
  bool AddSubDoc(const char* text) { return x_AddSubDoc(text, 0); }
  bool AddChildSubDoc(const char* text) { return x_AddSubDoc(text, MNF_CHILD); }
  bool AddChildSubDoc(const std::string& text) { return x_AddSubDoc(text.c_str(), MNF_CHILD); }
  bool InsertChildSubDoc(const char* text) { return x_AddSubDoc(text, MNF_CHILD | MNF_INSERT); }
  bool AddNode(int nodeType, const char* text) { return x_AddNode(nodeType, text, 0); }
  bool InsertNode(int nodeType, const char* text) { return x_AddNode(nodeType, text, MNF_INSERT); }

  // The operations the conveniences above are built on; element index 0
  // means "none".
  bool x_AddElem(const char* name, const char* value, int flags);
  bool x_AddElem(const char* name, int value, int flags);
  bool x_SetAttrib(int element, const char* name, const char* value, int flags = 0);
  bool x_SetAttrib(int element, const char* name, int value, int flags = 0);
  bool x_SetData(int element, const char* value, int flags = 0);
  bool x_SetData(int element, int value);
  bool x_AddSubDoc(const char* text, int flags);
  bool x_AddNode(int nodeType, const char* text, int flags);
  std::string x_GetTagName(int element) const;
  std::string x_GetData(int element) const;
  std::string x_GetAttrib(int element, const char* name) const;
  std::string x_GetSubDoc(int element) const;

  // Escaping as used for element values (flags 0 or MNF_WITHREFS) and
  // attribute values (MNF_ESCAPEQUOTES).
  static std::string EscapeText(const char* text, int flags = 0);
  static std::string UnescapeText(const char* text, int length = -1);

 private:
  struct SavedPos {
    int parent = 0;
    int main = 0;
    int child = 0;
  };
  // Where a new node goes: inside parent, after prev (0: before the first
  // child), at an absolute text offset.
  struct Slot {
    int parent = 0;
    int prev = 0;
    int offset = 0;
    bool appending = false;  // after a node or at the end of the content
  };

  bool x_IsElem(int index) const;
  int x_Start(int index) const;
  int x_End(int index) const;
  int x_ContentStart(int index) const;
  int x_ContentEnd(int index) const;
  std::string_view x_StartTag(int index) const;
  int x_FindSibling(int from, const char* name) const;
  bool x_Editable() const { return (m_nDocFlags & (MDF_READFILE | MDF_WRITEFILE)) == 0; }

  void x_Reset();
  void x_Parse();
  bool x_FindSlot(int flags, Slot& slot);
  void x_OpenEmpty(int index, std::string_view content);
  int x_Insert(const Slot& slot, std::string_view text, bool withLines);
  void x_Link(const Slot& slot, int first, int last);
  void x_Edit(int index, int offset, int oldLength, std::string_view text, bool inStartTag);
  void x_Shift(int parent, int following, int delta);

  std::string m_strDoc;
  std::string m_strResult;
  std::vector<MarkupElem> m_aPos;
  std::map<std::string, SavedPos> m_SavedPos;
  int m_iPosParent = 0;
  int m_iPos = 0;
  int m_iPosChild = 0;
  int m_nDocFlags = 0;
  // The last node (not element) added at the main level; the next sibling
  // insertion goes after it.
  int m_nNodeOffset = -1;
  int m_nNodeLength = 0;
};
