#pragma once
#include <cstdint>
#include <string>

// Platform wrappers that keep the names and parameter shapes of the
// corresponding Windows calls. All members are static; each group of
// wrappers is defined in the source file of its subject.
class CSysBase {
 public:
  // The system's text for an error number (sys_base.cc): errno's text when
  // the code is all ones, else the text of the code with its top bit cleared.
  static std::string GetLastErrorMsg(unsigned errorCode);

  // Profile files (profile_file.cc). With section and key: the key's value,
  // or the default when the file, section or key is missing or the value is
  // empty. With a section and no key: the section's key names, each ended by
  // a NUL, and a closing NUL. Without a section: the file's section names in
  // the same list form. Returns the characters placed, without the final
  // terminator.
  static uint32_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                          char* buffer, uint32_t size, const char* path);
};
