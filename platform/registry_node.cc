#include "platform/registry_node.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Lines may be of any length. The line end ("\n" or "\r\n") is removed, and
// a line is taken as text up to its first NUL byte.
bool ReadLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  line.resize(std::strlen(line.c_str()));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// "[name]": the name runs from after the '[' to the last ']' of the line.
bool ParseKeyHeader(const std::string& line, std::string& name) {
  if (line.empty() || line[0] != '[') return false;
  size_t close = line.rfind(']');
  if (close == std::string::npos) return false;
  name.assign(line, 1, close - 1);
  return true;
}

bool HasLineEnd(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

bool IsStorableValueName(const char* name) {
  return name[0] != '[' && std::strchr(name, '=') == nullptr && !HasLineEnd(name);
}

const char* MarkerOf(uint64_t tag) {
  switch (tag) {
    case CRegistryNode::TypeString: return "=s=";
    case CRegistryNode::TypeExpandString: return "=es=";
    case CRegistryNode::TypeBinary: return "=b=";
    case CRegistryNode::TypeDword: return "=d=";
    default: return nullptr;
  }
}

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

}  // namespace

CRegistryNode::~CRegistryNode() {
  uint64_t tag = 0;
  intptr_t value = 0;
  for (int i = 0; getAt(i, &tag, &value) != nullptr; ++i) Release(value, tag);
}

intptr_t CRegistryNode::NewText(const std::string& text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return reinterpret_cast<intptr_t>(copy);
}

intptr_t CRegistryNode::NewBinary(const unsigned char* bytes, uint32_t count) {
  unsigned char* block = new unsigned char[sizeof(uint32_t) + count];
  std::memcpy(block, &count, sizeof(count));
  if (count > 0) std::memcpy(block + sizeof(count), bytes, count);
  return reinterpret_cast<intptr_t>(block);
}

uint32_t CRegistryNode::BinaryCount(intptr_t value) {
  uint32_t count = 0;
  if (value != 0) std::memcpy(&count, reinterpret_cast<const unsigned char*>(value), sizeof(count));
  return count;
}

const unsigned char* CRegistryNode::BinaryBytes(intptr_t value) {
  return value == 0 ? nullptr : reinterpret_cast<const unsigned char*>(value) + sizeof(uint32_t);
}

void CRegistryNode::Release(intptr_t value, uint64_t tag) {
  if (value == 0) return;
  switch (tag) {
    case TypeString:
    case TypeExpandString: delete[] reinterpret_cast<char*>(value); break;
    case TypeBinary: delete[] reinterpret_cast<unsigned char*>(value); break;
    case TypeSubkey: delete reinterpret_cast<CRegistryNode*>(value); break;
    default: break;  // numbers live in the slot itself
  }
}

void CRegistryNode::setEntry(const char* name, intptr_t value, uint64_t tag) {
  uint64_t oldTag = 0;
  intptr_t old = 0;
  try {
    old = add(name, value, tag, &oldTag);
  } catch (...) {
    Release(value, tag);
    throw;
  }
  if (old != value) Release(old, oldTag);
}

CRegistryNode* CRegistryNode::subkey(const char* name) {
  uint64_t tag = 0;
  intptr_t value = lookup(name, &tag);
  return tag == TypeSubkey ? reinterpret_cast<CRegistryNode*>(value) : nullptr;
}

bool CRegistryNode::ParseValueLine(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  std::string name = line.substr(0, eq);
  const char* marker = line.c_str() + eq;
  if (StartsWith(marker, "=s=")) {
    setEntry(name.c_str(), NewText(marker + 3), TypeString);
  } else if (StartsWith(marker, "=es=")) {
    setEntry(name.c_str(), NewText(marker + 4), TypeExpandString);
  } else if (StartsWith(marker, "=d=")) {
    const char* digits = marker + 3;
    char* end = nullptr;
    long long number = std::strtoll(digits, &end, 10);
    if (end == digits) return false;
    setEntry(name.c_str(), static_cast<int32_t>(static_cast<uint32_t>(number)), TypeDword);
  } else if (StartsWith(marker, "=b=")) {
    std::vector<unsigned char> bytes;
    const char* p = marker + 3;
    for (;;) {
      char* end = nullptr;
      unsigned long number = std::strtoul(p, &end, 16);
      if (end == p) break;
      bytes.push_back(static_cast<unsigned char>(number & 0xFF));
      p = end;
    }
    setEntry(name.c_str(), NewBinary(bytes.data(), static_cast<uint32_t>(bytes.size())), TypeBinary);
  } else {
    return false;
  }
  return true;
}

void CRegistryNode::restoreNode(std::istream& in) {
  // Open sections, innermost last; a null entry is a section too deep to
  // keep, read only to find where it ends.
  std::vector<CRegistryNode*> open{this};
  std::string line;
  std::string name;
  while (!open.empty() && ReadLine(in, line)) {
    if (line.empty()) {
      open.pop_back();
      continue;
    }
    CRegistryNode* node = open.back();
    if (ParseKeyHeader(line, name)) {
      CRegistryNode* child = nullptr;
      if (node != nullptr && open.size() <= static_cast<size_t>(kMaxDepth)) {
        child = new CRegistryNode;
        node->setEntry(name.c_str(), reinterpret_cast<intptr_t>(child), TypeSubkey);
      }
      open.push_back(child);
    } else if (node != nullptr) {
      node->ParseValueLine(line);
    }
  }
}

void CRegistryNode::DumpValue(const char* name, intptr_t value, uint64_t tag, std::string& out) {
  const char* marker = MarkerOf(tag);
  if (marker == nullptr || !IsStorableValueName(name)) return;
  if (tag != TypeDword && value == 0) return;
  char number[32];
  switch (tag) {
    case TypeDword:
      std::snprintf(number, sizeof(number), "%d", static_cast<int32_t>(value));
      out.append(name).append(marker).append(number).push_back('\n');
      break;
    case TypeBinary: {
      out.append(name).append(marker);
      const unsigned char* bytes = BinaryBytes(value);
      for (uint32_t i = 0, n = BinaryCount(value); i < n; ++i) {
        std::snprintf(number, sizeof(number), "%02x ", bytes[i]);
        out.append(number);
      }
      out.push_back('\n');
      break;
    }
    default:
      if (HasLineEnd(Text(value))) return;
      out.append(name).append(marker).append(Text(value)).push_back('\n');
      break;
  }
}

void CRegistryNode::dumpNode(std::string& out) {
  uint64_t tag = 0;
  intptr_t value = 0;
  const char* name = nullptr;
  for (int i = 0; (name = getAt(i, &tag, &value)) != nullptr; ++i) {
    if (tag != TypeSubkey) DumpValue(name, value, tag, out);
  }
  for (int i = 0; (name = getAt(i, &tag, &value)) != nullptr; ++i) {
    if (tag != TypeSubkey || value == 0 || HasLineEnd(name)) continue;
    out.append("[").append(name).append("]\n");
    reinterpret_cast<CRegistryNode*>(value)->dumpNode(out);
  }
  out.push_back('\n');
}
