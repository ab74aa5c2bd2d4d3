#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/critical_section.h"
#include "platform/registry_node.h"

// A handle on the process-wide registry tree, which is loaded from
// /etc/hxagt/registry (or its backup registry.old) on first use and written
// back through registry.new whenever a handle goes away after the tree was
// changed. Key paths use '\' (or '/' where a path has no '\' left) between
// their components.
//
// Result numbers of the queries: 0 success, 22 no open key or a missing
// argument, 34 the value does not fit, 61 no such value or wrong type.
class CRegistry {
 public:
  enum : int { kInvalidArgument = 22, kResultTooLarge = 34, kNoValue = 61 };

  CRegistry();
  ~CRegistry();
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;

  // Opens an existing key below root (null: the tree's root). 0 or -1.
  int Open(const char* path, CRegistryNode* root = nullptr, int access = 0);
  // Opens the key below root (null: the open key), creating missing
  // components. 0 or -1.
  int CreateKey(CRegistryNode* root, const char* path, int options = 0, int access = 0);
  // Forgets the open key; true when one was open.
  bool Close();

  // Size in bytes of a value of the node (null: the open key); 0 when absent.
  uint32_t GetValueSize(const char* name, CRegistryNode* node = nullptr);
  // A copy of the value in the handle's buffer (texts NUL-terminated,
  // expandable texts expanded); null when absent or empty.
  const void* GetValue(const char* name, CRegistryNode* node = nullptr);
  // A text value into buffer; *count is the buffer size in characters and
  // receives the text length. A null buffer asks for the size needed.
  int QueryValue(char* buffer, const char* name, uint32_t* count, CRegistryNode* node = nullptr);
  int QueryValue(char* buffer, const char* name, uint32_t size, CRegistryNode* node = nullptr);
  // A 4-byte value as a number.
  int QueryValue(uint32_t* number, const char* name, CRegistryNode* node = nullptr);

  CRegistryNode* Key() const { return m_pCurrent; }
  int Status() const { return m_nStatus; }
  uint32_t ValueSize() const { return m_dwValueSize; }
  uint32_t ValueType() const { return m_dwValueType; }
  void SetExpand(bool expand) { m_bExpand = expand; }

  // Writes the tree to the registry file when it was changed in this run.
  static void SaveTree();
  // Drops the loaded tree so that the next handle loads the file again. No
  // handle may be open across this call.
  static void ReleaseTree();

  static CRegistryNode* MRoot;
  static CRegistryNode* MLocalMachine;
  static CRegistryNode* MCurrentUser;
  static CRegistryNode* MUsers;
  static CRegistryNode* MClassesRoot;
  static CRegistryNode* MCurrentConfig;
  static bool MIsSetup;
  static bool MIsDirty;
  static char MPszRegistry[4096];
  static char MPszRegistryBackup[4096];
  static char MPszRegistryTemp[4096];

 private:
  // Guards loading and saving. A function-local static, so the registry can
  // be used from other static constructors (the trace reads its settings
  // before main).
  static CCriticalSection& MSpinlock();
  static void SetupTree();
  static void BuildFileNames();
  static void FindRootKeys();
  static bool WriteTreeTo(const char* path);
  void InitClass();
  // Copies a value into m_valueBuffer; false when absent or empty.
  bool CopyValue(const char* name, CRegistryNode* node, bool expand);
  int OpenPath(const char* path, CRegistryNode* root);

  int m_nStatus = 0;
  uint32_t m_dwValueSize = 0;
  uint32_t m_dwValueType = 0;
  bool m_bExpand = true;
  CRegistryNode* m_pCurrent = nullptr;
  std::vector<unsigned char> m_valueBuffer;
  std::string m_path;
};

// Replaces %NAME% by the environment variable NAME (nothing when unset) and
// %% by %; an unpaired last % is dropped and the text after it kept.
std::string ExpandEnvironmentReferences(const char* text);
