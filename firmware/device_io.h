#pragma once
#include <cstdint>
#include <string>

#include "platform/sys_base.h"

// A device handle opened with Windows-style open parameters. Every device
// this program builds shares one descriptor between all users, so the
// per-thread descriptor variant is not provided.
class CDeviceIo : public CSysBase {
 public:
  CDeviceIo() = default;
  virtual ~CDeviceIo();
  CDeviceIo(const CDeviceIo&) = delete;
  CDeviceIo& operator=(const CDeviceIo&) = delete;

  // Remembers the open parameters used by later opens.
  void SetOpenParameters(const std::string& path, uint32_t desiredAccess, uint32_t shareMode,
                         uint32_t creationDisposition, uint32_t flagsAndAttributes);
  // Opens the stored path with the stored parameters; the descriptor or -1.
  int64_t Open();
  int64_t getHandle() const { return m_hDevice; }
  // True when the descriptor was closed or nothing was open.
  bool Close();
  static bool termHandling(int64_t handle);

  int64_t m_hDevice = -1;
  int m_nLastError = 0;
  bool m_bPerThreadHandle = false;
  std::string m_strDevicePath;
  uint32_t m_dwDesiredAccess = 0;
  uint32_t m_dwShareMode = 0;
  uint32_t m_dwCreationDisposition = 0;
  uint32_t m_dwFlagsAndAttributes = 0;
  void* m_pSecurityAttributes = nullptr;
  bool m_bKeepOpen = false;
};
