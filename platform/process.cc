#include "platform/process.h"

#include <unistd.h>

bool CProcess::GetCurrentDir(std::string& dir) {
  char buffer[4096] = {};
  if (getcwd(buffer, sizeof(buffer)) == nullptr) buffer[0] = '\0';
  if (buffer[0] == '\0') return false;
  dir = buffer;
  return true;
}
