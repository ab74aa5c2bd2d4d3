#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// A scratch system root for the fuzz targets, created once per process and
// put into HX_SYSROOT, so the code under test reads and writes only there.
inline const std::string& FuzzSysroot() {
  static const std::string root = [] {
    char pattern[] = "/tmp/hxfuzz.XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    std::string path = made;
    std::filesystem::create_directories(path + "/etc/hxagt");
    std::filesystem::create_directories(path + "/dev");
    setenv("HX_SYSROOT", path.c_str(), 1);
    return path;
  }();
  return root;
}

inline void WriteFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

inline std::string FuzzText(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}
