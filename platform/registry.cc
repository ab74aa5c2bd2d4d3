#include "platform/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>

#include "platform/debug.h"
#include "platform/sysroot.h"

CRegistryNode* CRegistry::MRoot = nullptr;
CRegistryNode* CRegistry::MLocalMachine = nullptr;
CRegistryNode* CRegistry::MCurrentUser = nullptr;
CRegistryNode* CRegistry::MUsers = nullptr;
CRegistryNode* CRegistry::MClassesRoot = nullptr;
CRegistryNode* CRegistry::MCurrentConfig = nullptr;
bool CRegistry::MIsSetup = false;
bool CRegistry::MIsDirty = false;
char CRegistry::MPszRegistry[4096];
char CRegistry::MPszRegistryBackup[4096];
char CRegistry::MPszRegistryTemp[4096];

namespace {

constexpr const char* kRegistryDir = "/etc/hxagt";

struct RootKey {
  const char* name;
  CRegistryNode** node;
};
constexpr RootKey kRootKeys[] = {
    {"HKEY_LOCAL_MACHINE", &CRegistry::MLocalMachine}, {"HKEY_CURRENT_USER", &CRegistry::MCurrentUser},
    {"HKEY_USERS", &CRegistry::MUsers},                {"HKEY_CLASSES_ROOT", &CRegistry::MClassesRoot},
    {"HKEY_CURRENT_CONFIG", &CRegistry::MCurrentConfig},
};

// Splits the next component off a key path: at the first '\' of the rest,
// or at its first '/' when the rest has no '\'. False when nothing is left.
bool NextComponent(const char*& rest, std::string& component) {
  if (*rest == '\0') return false;
  const char* separator = std::strchr(rest, '\\');
  if (separator == nullptr) separator = std::strchr(rest, '/');
  if (separator == nullptr) {
    component = rest;
    rest += component.size();
  } else {
    component.assign(rest, static_cast<size_t>(separator - rest));
    rest = separator + 1;
  }
  return true;
}

bool IsText(uint64_t tag) { return tag == CRegistryNode::TypeString || tag == CRegistryNode::TypeExpandString; }

}  // namespace

std::string ExpandEnvironmentReferences(const char* text) {
  std::string out;
  const char* p = text;
  while (*p != '\0') {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    const char* close = std::strchr(p + 1, '%');
    if (close == nullptr) {
      ++p;
      continue;
    }
    if (close == p + 1) {
      out.push_back('%');
    } else {
      const char* value = std::getenv(std::string(p + 1, close).c_str());
      if (value != nullptr) out.append(value);
    }
    p = close + 1;
  }
  return out;
}

CCriticalSection& CRegistry::MSpinlock() {
  static CCriticalSection lock;
  return lock;
}

void CRegistry::BuildFileNames() {
  std::string dir = HxSysPath(kRegistryDir);
  std::snprintf(MPszRegistry, sizeof(MPszRegistry), "%s/%s", dir.c_str(), "registry");
  std::snprintf(MPszRegistryBackup, sizeof(MPszRegistryBackup), "%s/%s", dir.c_str(), "registry.old");
  std::snprintf(MPszRegistryTemp, sizeof(MPszRegistryTemp), "%s/%s", dir.c_str(), "registry.new");
}

void CRegistry::FindRootKeys() {
  for (const RootKey& root : kRootKeys) *root.node = MRoot->subkey(root.name);
}

void CRegistry::SetupTree() {
  CCriticalSectionLock guard(MSpinlock());
  if (MIsSetup) return;
  BuildFileNames();
  std::ifstream in(MPszRegistry, std::ios::binary);
  if (!in) {
    Debug.PrintAlways(1, "CRegistry: WARNING: Could not find \"%s\", trying backup\n", MPszRegistry);
    in.open(MPszRegistryBackup, std::ios::binary);
    if (!in) {
      Debug.PrintAlways(1, "CRegistry: ERROR: Could not find \"%s\"\n", MPszRegistryBackup);
      return;
    }
  }
  try {
    if (MRoot == nullptr) MRoot = new CRegistryNode;
    MRoot->restoreNode(in);
  } catch (const std::bad_alloc&) {
    // Keep what was read before memory ran out.
  }
  if (MRoot != nullptr) FindRootKeys();
  MIsSetup = true;
}

void CRegistry::InitClass() {
  m_nStatus = 0;
  m_dwValueSize = 0;
  m_dwValueType = 0;
  m_bExpand = true;
  m_pCurrent = nullptr;
  m_valueBuffer.clear();
  m_path.clear();
  if (!MIsSetup) SetupTree();
  CCriticalSectionLock guard(MSpinlock());
  if (MRoot == nullptr) MRoot = new CRegistryNode;
  uint64_t tag = 0;
  MRoot->lookup("HKEY_LOCAL_MACHINE", &tag);
  if (tag != 0) return;
  Debug.PrintAlways(1, "CRegistry::InitClass() : re-initialize the registry-tree\n");
  for (const RootKey& root : kRootKeys) {
    MRoot->lookup(root.name, &tag);
    if (tag == 0) MRoot->add(root.name, reinterpret_cast<intptr_t>(*root.node), CRegistryNode::TypeSubkey);
  }
}

CRegistry::CRegistry() {
  try {
    InitClass();
  } catch (const std::bad_alloc&) {
    // Without memory for the tree every Open fails and every query gives 22.
  }
}

CRegistry::~CRegistry() {
  try {
    SaveTree();
  } catch (const std::bad_alloc&) {
    Debug.PrintAlways(1, "CRegistry: ERROR: Cannot write \"%s\"\n", MPszRegistryTemp);
  }
}

bool CRegistry::WriteTreeTo(const char* path) {
  std::string text;
  MRoot->dumpNode(text);
  FILE* file = std::fopen(path, "w");
  if (file == nullptr) {
    Debug.PrintAlways(1, "CRegistry: ERROR: Cannot open \"%s\" for writing\n", path);
    return false;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = (std::fclose(file) == 0) && written;
  if (!written) {
    Debug.PrintAlways(1, "CRegistry: ERROR: Cannot write \"%s\"\n", path);
    std::remove(path);
  }
  return written;
}

void CRegistry::SaveTree() {
  if (!MIsDirty) return;
  CCriticalSectionLock guard(MSpinlock());
  if (MRoot == nullptr) return;
  if (MPszRegistry[0] == '\0') BuildFileNames();
  if (!WriteTreeTo(MPszRegistryTemp)) return;
  if (access(MPszRegistry, F_OK) == 0) std::rename(MPszRegistry, MPszRegistryBackup);
  std::rename(MPszRegistryTemp, MPszRegistry);
  chmod(MPszRegistry, 0644);
}

void CRegistry::ReleaseTree() {
  CCriticalSectionLock guard(MSpinlock());
  delete MRoot;
  MRoot = nullptr;
  for (const RootKey& root : kRootKeys) *root.node = nullptr;
  MIsSetup = false;
  MIsDirty = false;
  MPszRegistry[0] = MPszRegistryBackup[0] = MPszRegistryTemp[0] = '\0';
}

int CRegistry::OpenPath(const char* path, CRegistryNode* root) {
  if (path == nullptr) return -1;
  m_path = path;
  CRegistryNode* node = root != nullptr ? root : MRoot;
  std::string component;
  for (const char* rest = path; node != nullptr && NextComponent(rest, component);) node = node->subkey(component.c_str());
  if (node == nullptr) return -1;
  m_pCurrent = node;
  return 0;
}

int CRegistry::Open(const char* path, CRegistryNode* root, int) {
  int result = -1;
  try {
    result = OpenPath(path, root);
  } catch (const std::bad_alloc&) {
    HX_TRACE(2, "\nCRegistry::Open ##ERROR while opening !!!\n");
  }
  if (result != 0) {
    m_pCurrent = nullptr;
    m_path.clear();
  }
  m_nStatus = result;
  HX_TRACE(2, "\nCRegistry::Open \"%s\", hKey = %d\n", path != nullptr ? path : "<null>", result);
  return result;
}

int CRegistry::CreateKey(CRegistryNode* root, const char* path, int, int) {
  HX_TRACE(2, "CRegistry::CreateKey \"%s\"\n", path != nullptr ? path : "<null>");
  CRegistryNode* node = root != nullptr ? root : m_pCurrent;
  if (node == nullptr || path == nullptr) return m_nStatus = -1;
  try {
    std::string component;
    for (const char* rest = path; NextComponent(rest, component);) {
      uint64_t tag = 0;
      intptr_t value = node->lookup(component.c_str(), &tag);
      if (tag == 0) {
        // A name with a line end could not be written back to the file.
        if (component.find_first_of("\r\n") != std::string::npos) return m_nStatus = -1;
        CRegistryNode* child = new CRegistryNode;
        node->setEntry(component.c_str(), reinterpret_cast<intptr_t>(child), CRegistryNode::TypeSubkey);
        MIsDirty = true;
        node = child;
      } else if (tag == CRegistryNode::TypeSubkey && value != 0) {
        node = reinterpret_cast<CRegistryNode*>(value);
      } else {
        return m_nStatus = -1;
      }
    }
  } catch (const std::bad_alloc&) {
    return m_nStatus = -1;
  }
  m_pCurrent = node;
  return m_nStatus = 0;
}

bool CRegistry::Close() {
  bool wasOpen = m_pCurrent != nullptr;
  m_pCurrent = nullptr;
  return wasOpen;
}

uint32_t CRegistry::GetValueSize(const char* name, CRegistryNode* node) {
  if (node == nullptr) node = m_pCurrent;
  if (node == nullptr) return 0;
  uint64_t tag = 0;
  intptr_t value = node->lookup(name, &tag);
  switch (tag) {
    case CRegistryNode::TypeString:
    case CRegistryNode::TypeExpandString:
      return value != 0 ? static_cast<uint32_t>(std::strlen(CRegistryNode::Text(value)) + 1) : 0;
    case CRegistryNode::TypeBinary: return CRegistryNode::BinaryCount(value);
    case CRegistryNode::TypeDword: return sizeof(int32_t);
    default: return 0;
  }
}

bool CRegistry::CopyValue(const char* name, CRegistryNode* node, bool expand) {
  if (node == nullptr) node = m_pCurrent;
  uint32_t size = GetValueSize(name, node);
  if (size == 0) return false;
  uint64_t tag = 0;
  intptr_t value = node->lookup(name, &tag);
  try {
    if (IsText(tag) && value != 0) {
      const char* text = CRegistryNode::Text(value);
      if (expand && tag == CRegistryNode::TypeExpandString) {
        std::string expanded = ExpandEnvironmentReferences(text);
        m_valueBuffer.assign(expanded.c_str(), expanded.c_str() + expanded.size() + 1);
        size = static_cast<uint32_t>(expanded.size());
      } else {
        m_valueBuffer.assign(text, text + std::strlen(text) + 1);
      }
    } else if (tag == CRegistryNode::TypeBinary) {
      const unsigned char* bytes = CRegistryNode::BinaryBytes(value);
      m_valueBuffer.assign(bytes, bytes + CRegistryNode::BinaryCount(value));
    } else if (tag == CRegistryNode::TypeDword) {
      int32_t number = static_cast<int32_t>(value);
      const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&number);
      m_valueBuffer.assign(bytes, bytes + sizeof(number));
    } else {
      return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_dwValueSize = size;
  m_dwValueType = static_cast<uint32_t>(tag);
  return true;
}

const void* CRegistry::GetValue(const char* name, CRegistryNode* node) {
  HX_TRACE(4, "CRegistry::GetValue \"%s\" --> len %d\n", name != nullptr ? name : "<null>",
           static_cast<int>(GetValueSize(name, node)));
  return CopyValue(name, node, m_bExpand) ? m_valueBuffer.data() : nullptr;
}

int CRegistry::QueryValue(char* buffer, const char* name, uint32_t* count, CRegistryNode* node) {
  if (node == nullptr) node = m_pCurrent;
  if (node == nullptr) return m_nStatus = kInvalidArgument;
  uint64_t tag = 0;
  node->lookup(name, &tag);
  if (!IsText(tag) || !CopyValue(name, node, m_bExpand)) return m_nStatus = kNoValue;
  if (count == nullptr) {
    Debug.PrintAlways(1, "CRegistry::QueryValue: ** ERROR **  pdwCount is a NULL pointer\n");
    return kResultTooLarge;
  }
  const char* text = reinterpret_cast<const char*>(m_valueBuffer.data());
  uint32_t length = static_cast<uint32_t>(std::strlen(text));
  if (buffer == nullptr) {
    *count = length + 1;
    return 0;
  }
  if (length >= *count) {
    std::memcpy(buffer, text, *count);
    return m_nStatus = kResultTooLarge;
  }
  std::memcpy(buffer, text, length + 1);
  *count = length;
  return m_nStatus = 0;
}

int CRegistry::QueryValue(char* buffer, const char* name, uint32_t size, CRegistryNode* node) {
  return QueryValue(buffer, name, &size, node);
}

int CRegistry::QueryValue(uint32_t* number, const char* name, CRegistryNode* node) {
  if (node == nullptr) node = m_pCurrent;
  if (node == nullptr) return m_nStatus = kInvalidArgument;
  if (number == nullptr || GetValueSize(name, node) != sizeof(uint32_t) || !CopyValue(name, node, false))
    return m_nStatus = kNoValue;
  std::memcpy(number, m_valueBuffer.data(), sizeof(uint32_t));
  return m_nStatus = 0;
}
