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

  // Devices (sys_base_device.cc). Opens a file or device; only the path, the
  // access bits (generic read 0x80000000, generic write 0x40000000) and the
  // creation disposition are used. Returns the descriptor or -1 with errno set.
  static int64_t CreateFile(const char* path, uint32_t desiredAccess, uint32_t shareMode, void* securityAttributes,
                            uint32_t creationDisposition, uint32_t flagsAndAttributes, int64_t templateFile);

  // Issues one ioctl through a local transfer buffer; the lengths must not
  // exceed its 6 KiB. On success a given bytesReturned receives the ioctl's
  // own return value.
  static bool DeviceIoControl(int64_t handle, uint32_t code, const void* inBuffer, uint32_t inLength, void* outBuffer,
                              uint32_t outLength, uint32_t* bytesReturned, void* overlapped);

  // Profile files (profile_file.cc). With section and key: the key's value,
  // or the default when the file, section or key is missing or the value is
  // empty. With a section and no key: the section's key names, each ended by
  // a NUL, and a closing NUL. Without a section: the file's section names in
  // the same list form. Returns the characters placed, without the final
  // terminator.
  static uint32_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                          char* buffer, uint32_t size, const char* path);
};
