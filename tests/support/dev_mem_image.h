#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A sparse image of physical memory for the dev/mem of a fixture tree: byte N
// of the file is physical address N. Unplaced bytes read as 0.
class CDevMemImage {
 public:
  // Images cover at least the first MiB, so the BIOS area can be mapped.
  static constexpr uint64_t kMinimumSize = 0x100000;

  void Place(uint64_t address, const std::vector<uint8_t>& bytes);
  // Grows (never shrinks) the image to whole 4 KiB pages; a window beyond
  // its end cannot be mapped.
  void SetSize(uint64_t size);
  // Writes the image as a sparse file, creating its parent directories.
  void Write(const std::string& path) const;

 private:
  std::map<uint64_t, std::vector<uint8_t>> m_Blocks;
  uint64_t m_nSize = kMinimumSize;
};
