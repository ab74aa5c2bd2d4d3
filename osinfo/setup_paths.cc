#include "osinfo/setup_paths.h"

#include "platform/process.h"
#include "platform/registry_data_store.h"

std::string& CSetupPaths::MakeValidDirPath(std::string& path) {
  size_t slash = path.rfind('/');
  if (!path.empty() && slash == path.size() - 1 && slash >= 3) path.pop_back();
  return path;
}

bool CSetupPaths::ReadText(const std::string& keyPath, const char* valueName, std::string& text) {
  CDataStore store;
  return store.Read(keyPath.c_str(), valueName, text);
}

bool CSetupPaths::ReadDir(const std::string& keyPath, const char* valueName, std::string& dir) {
  std::string value;
  if (!ReadText(keyPath, valueName, value)) return false;
  dir = MakeValidDirPath(value);
  return true;
}

static std::string ComponentKey(const char* valueName, const char* defaultKey) {
  std::string key;
  if (!CSetupPaths::ReadText(CSetupPaths::kRegistrationKey, valueName, key)) key = defaultKey;
  return key;
}

const char* CServerControlPaths::GetServerControlSetupRoot(std::string& root) {
  root = ComponentKey("Server Control", kDefaultKey) + "\\Setup";
  return root.c_str();
}

const char* CServerControlPaths::GetServerControlBinPath(std::string& path) {
  std::string setupKey;
  GetServerControlSetupRoot(setupKey);
  if (ReadDir(setupKey, "BinRoot", path) || ReadDir(setupKey, "FileRoot", path) || CProcess::GetCurrentDir(path)) {
    return path.c_str();
  }
  // Neither the registry nor the working directory names a directory: the
  // programs' subdirectory of whatever the caller passed in.
  path += "/Bin";
  return path.c_str();
}

CSnmpAgentsPaths::CSnmpAgentsPaths()
    : m_strAgentsKey(ComponentKey("Halvex SNMP Agents", kDefaultKey)),
      m_strFilesKey(m_strAgentsKey + "\\#Files"),
      m_strParametersKey(m_strAgentsKey + "\\#Parameters"),
      m_strSetupKey(m_strAgentsKey + "\\#Setup") {
  if (!ReadDir(m_strSetupKey, "FileRoot", m_strFileRoot)) ReadDir(m_strSetupKey, "AgentRoot", m_strFileRoot);
  ReadDir(m_strSetupKey, "DataRoot", m_strDataRoot);
}

CSnmpAgentsPaths::~CSnmpAgentsPaths() = default;
