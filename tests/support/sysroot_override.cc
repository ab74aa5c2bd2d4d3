#include "support/sysroot_override.h"

#include <cstdlib>

CSysrootOverride::CSysrootOverride(const std::string& root) {
  if (const char* previous = std::getenv("HX_SYSROOT")) {
    m_bHadValue = true;
    m_strPrevious = previous;
  }
  setenv("HX_SYSROOT", root.c_str(), 1);
}

CSysrootOverride::~CSysrootOverride() {
  if (m_bHadValue)
    setenv("HX_SYSROOT", m_strPrevious.c_str(), 1);
  else
    unsetenv("HX_SYSROOT");
}
