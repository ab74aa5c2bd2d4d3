#include "platform/sysroot.h"

#include <cstdlib>

std::string HxSysPath(const std::string& path) {
  const char* root = std::getenv("HX_SYSROOT");
  if (root == nullptr || *root == '\0' || path.empty() || path[0] != '/') return path;
  std::string resolved(root);
  while (!resolved.empty() && resolved.back() == '/') resolved.pop_back();
  return resolved + path;
}
