#include "firmware/device_io.h"

#include <unistd.h>

#include <cerrno>

#include "platform/debug.h"

CDeviceIo::~CDeviceIo() {
  if (!m_bKeepOpen) Close();
}

void CDeviceIo::SetOpenParameters(const std::string& path, uint32_t desiredAccess, uint32_t shareMode,
                                  uint32_t creationDisposition, uint32_t flagsAndAttributes) {
  m_strDevicePath = path;
  m_dwDesiredAccess = desiredAccess;
  m_dwShareMode = shareMode;
  m_dwCreationDisposition = creationDisposition;
  m_dwFlagsAndAttributes = flagsAndAttributes;
}

int64_t CDeviceIo::Open() {
  if (m_hDevice != -1 || m_strDevicePath.empty()) return m_hDevice;
  m_hDevice = CreateFile(m_strDevicePath.c_str(), m_dwDesiredAccess, m_dwShareMode, m_pSecurityAttributes,
                         m_dwCreationDisposition, m_dwFlagsAndAttributes, 0);
  m_nLastError = m_hDevice == -1 ? errno : 0;
  HX_TRACE(5, "\nCDeviceIo::Open: Device %s %s opened, fd=%d", m_strDevicePath.c_str(), m_hDevice == -1 ? "NOT" : "",
           static_cast<int>(m_hDevice));
  return m_hDevice;
}

bool CDeviceIo::Close() {
  if (m_hDevice == -1) return true;
  HX_TRACE(5, "\nCDeviceIo::Close: Device closed, fd=%d", static_cast<int>(m_hDevice));
  bool closed = close(static_cast<int>(m_hDevice)) == 0;
  m_nLastError = closed ? 0 : errno;
  m_hDevice = -1;
  return closed;
}

bool CDeviceIo::termHandling(int64_t handle) {
  if (handle == -1) return true;
  HX_TRACE(5, "\nCDeviceIo::termHandling: Device closed, fd=%d", static_cast<int>(handle));
  return close(static_cast<int>(handle)) == 0;
}
