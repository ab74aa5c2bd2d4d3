#pragma once
#include <string>

// Where the agents package recorded its installation in the registry. All
// keys are below HKEY_LOCAL_MACHINE; missing keys and values fall back to
// the package's default locations.
class CSetupPaths {
 public:
  // The products' registration key, naming each component's own key.
  static constexpr const char* kRegistrationKey =
      "SYSTEM\\CurrentControlSet\\Control\\UUID\\7E2A1C40-3B95-11D3-9A41-00B0D4E72C19";

  // Drops a trailing '/' at position 3 or later (/opt/x/ becomes /opt/x;
  // "/" and "/a/" stay as they are).
  static std::string& MakeValidDirPath(std::string& path);

  // A text value of a key, read whole; false when the key or value is
  // missing or the value is not text. An empty text counts as present.
  static bool ReadText(const std::string& keyPath, const char* valueName, std::string& text);
  // A directory value, normalised; `dir` is untouched when it is absent.
  static bool ReadDir(const std::string& keyPath, const char* valueName, std::string& dir);
};

class CServerControlPaths : public CSetupPaths {
 public:
  static constexpr const char* kDefaultKey = "SOFTWARE\\Varnel Ostrum\\Management\\Server Control";

  // The server-control key followed by "\Setup".
  static const char* GetServerControlSetupRoot(std::string& root);
  // The directory holding the server-control programs.
  static const char* GetServerControlBinPath(std::string& path);
};

class CSnmpAgentsPaths : public CSetupPaths {
 public:
  static constexpr const char* kDefaultKey = "SOFTWARE\\Varnel Ostrum";

  CSnmpAgentsPaths();
  ~CSnmpAgentsPaths();

  std::string m_strAgentsKey;
  std::string m_strFilesKey;
  std::string m_strParametersKey;
  std::string m_strSetupKey;
  std::string m_strReserved;
  std::string m_strFileRoot;
  std::string m_strDataRoot;
};
