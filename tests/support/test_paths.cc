#include "support/test_paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

std::string ScannerBinary() { return std::string(HX_BIN_DIR) + "/ZcSysScan"; }
std::string HxmdBinary() { return std::string(HX_BIN_DIR) + "/hxmd"; }
std::string SharedDataDir() { return HX_SHARED_DIR; }
std::string SourceDir() { return HX_SOURCE_DIR; }

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "hxtest.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(m_path, ignored);
}

void TempDir::WriteFile(const std::string& relative, const std::string& content) const {
  fs::path target = fs::path(m_path) / relative;
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
