#pragma once
#include <string>

// Where the built programs and the shared real-machine data are.
std::string ScannerBinary();
std::string HxmdBinary();
std::string SharedDataDir();
std::string SourceDir();

// A fresh, empty directory under the system's temporary directory, removed
// with everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  // Absolute path of a file below the directory.
  std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }
  // Writes a file below the directory, creating its parent directories.
  void WriteFile(const std::string& relative, const std::string& content) const;

 private:
  std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
