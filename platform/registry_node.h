#pragma once
#include <cstdint>
#include <istream>
#include <string>

#include "platform/registry_str_map.h"

// One key of the registry tree: its named values and its subkeys share one
// name space in the map. The data tag of an entry says what the value slot
// holds; the node owns and releases every slot.
//
// File format, one line per value or subkey header:
//   name=s=text   name=es=text   name=d=-5   name=b=0a ff
//   [Subkey]      ... the subkey's lines, closed by an empty line
// Lines may be of any length; a line is text up to its first NUL byte.
// Names and texts the format cannot carry (a value name with '=' or a leading
// '[', any name or text with a line end, a key name with ']') are left out
// when the tree is written, so they can never damage the file.
class CRegistryNode : public CStrMap {
 public:
  enum : uint64_t {
    TypeString = 1,
    TypeExpandString = 2,
    TypeBinary = 3,
    TypeDword = 4,
    TypeSubkey = 666,
  };
  // Subkey sections nested deeper than this are skipped when reading, so a
  // damaged file cannot drive the recursive walks of the tree too deep.
  static constexpr int kMaxDepth = 64;

  CRegistryNode() = default;
  ~CRegistryNode();

  // Reads lines until the end of the input or an empty line, which ends this
  // node; subkey sections are read with their own closing empty lines. Lines
  // that do not parse are skipped.
  void restoreNode(std::istream& in);
  // Appends this node's text (values, then subkeys, then the closing empty
  // line) to out.
  void dumpNode(std::string& out);

  // The subkey of that name; null when absent, not a key, or a null slot.
  CRegistryNode* subkey(const char* name);
  // Adds or replaces an entry, releasing what it replaces.
  void setEntry(const char* name, intptr_t value, uint64_t tag);

  // Value slot helpers: texts are NUL-terminated, binary blocks hold a 32-bit
  // byte count followed by the bytes.
  static intptr_t NewText(const std::string& text);
  static intptr_t NewBinary(const unsigned char* bytes, uint32_t count);
  static const char* Text(intptr_t value) { return reinterpret_cast<const char*>(value); }
  static uint32_t BinaryCount(intptr_t value);
  static const unsigned char* BinaryBytes(intptr_t value);

 private:
  static void Release(intptr_t value, uint64_t tag);
  // Parses one value line into this node; false when it does not parse.
  bool ParseValueLine(const std::string& line);
  void DumpValue(const char* name, intptr_t value, uint64_t tag, std::string& out);
};
