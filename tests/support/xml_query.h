#pragma once
#include <string>

#include "xml/markup.h"

// Reads a document by element paths: "BIOS/SMBIOS/Type4/Entry[1]/Socket"
// names one element per level, "[n]" picking the n-th (0-based) match.
class CXmlQuery {
 public:
  explicit CXmlQuery(const std::string& doc);

  bool Exists(const std::string& path);
  // Text content; empty when the element is missing.
  std::string Text(const std::string& path);
  // Attribute value; empty when the element or the attribute is missing.
  std::string Attrib(const std::string& path, const char* name);
  // Number of elements the last step's name matches below its parent.
  int Count(const std::string& path);
  // The element's text from its start to its end tag; empty when missing.
  std::string SubDoc(const std::string& path);
  // Names of the children of an element, in document order, joined by ",".
  std::string ChildNames(const std::string& path);

 private:
  bool MoveTo(const std::string& path);
  CMarkup m_Doc;
};
