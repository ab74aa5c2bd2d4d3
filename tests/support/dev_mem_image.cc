#include "support/dev_mem_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

void CDevMemImage::Place(uint64_t address, const std::vector<uint8_t>& bytes) {
  m_Blocks[address] = bytes;
  SetSize(address + bytes.size());
}

// Memory comes in whole pages, so the size is rounded up to one.
void CDevMemImage::SetSize(uint64_t size) {
  size = (size + 0xFFF) & ~uint64_t{0xFFF};
  if (size > m_nSize) m_nSize = size;
}

void CDevMemImage::Write(const std::string& path) const {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd == -1) throw std::runtime_error("cannot create " + path);
  bool ok = ftruncate(fd, static_cast<off_t>(m_nSize)) == 0;
  for (const auto& [address, bytes] : m_Blocks)
    ok = ok && pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(address)) ==
                   static_cast<ssize_t>(bytes.size());
  close(fd);
  if (!ok) throw std::runtime_error("cannot write " + path);
}
