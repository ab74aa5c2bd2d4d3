#pragma once
#include <string>

// Points HX_SYSROOT at a fixture tree for the lifetime of the object and
// restores the previous value afterwards.
class CSysrootOverride {
 public:
  explicit CSysrootOverride(const std::string& root);
  ~CSysrootOverride();
  CSysrootOverride(const CSysrootOverride&) = delete;
  CSysrootOverride& operator=(const CSysrootOverride&) = delete;

 private:
  bool m_bHadValue = false;
  std::string m_strPrevious;
};
