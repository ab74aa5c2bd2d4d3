#include "firmware/device_bios.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

constexpr uint32_t kBiosPageMask = 0xFFFu;  // windows are aligned to fixed 4096-byte pages
constexpr const char* kBiosInterfaceDevice = "/dev/pci/smbus";
constexpr uint32_t kGetSmbiInfo = 0x4022735D;

}  // namespace

CDeviceBiosBase::~CDeviceBiosBase() { HX_TRACE(4, "\nCDeviceBiosBase     : ~CDeviceBiosBase()"); }

void CDeviceBiosBase::ProbeInterface() {
  HX_TRACE(4, "\nCDeviceBiosBase     : connect to BIOS device...");
  SetOpenParameters(HxSysPath(kBiosInterfaceDevice), 0xC0000000u, 3, 3, 128);
  m_bConnected = Open() != -1;
  HX_TRACE(4, "\nCDeviceBiosBase     : %sconnected", m_bConnected ? "" : "not");
  if (!m_bConnected) {
    HX_TRACE(1, "\nCDeviceBiosBase     : ## ERROR! Device driver could not be connected, don't detect interfaces");
    return;
  }
  uint32_t returned = 0;
  if (!DeviceIoControl(getHandle(), kGetSmbiInfo, nullptr, 0, &m_SmbiInfo, sizeof m_SmbiInfo, &returned, nullptr)) {
    m_nLastError = errno;
    return;
  }
  if (returned != sizeof m_SmbiInfo) return;
  HX_TRACE(1, "\nSMBI interface found");
  HX_TRACE(3, "\n  Version:        %d, revision: %d", m_SmbiInfo.version, m_SmbiInfo.revision);
  HX_TRACE(3, "\n  CMD pointer:    0x%05X size 0x%X", m_SmbiInfo.commandBuffer, m_SmbiInfo.commandBufferSize);
  HX_TRACE(3, "\n  Result pointer: 0x%05X size 0x%X", m_SmbiInfo.resultBuffer, m_SmbiInfo.resultBufferSize);
  HX_TRACE(3, "\n  Command32:      0x%05X", m_SmbiInfo.command32);
  HX_TRACE(3, "\n  Command32 near: 0x%05X", m_SmbiInfo.command32Near);
  HX_TRACE(3, "\n  Command16:      0x%05X", m_SmbiInfo.command16);
  m_bInterfaceFound = 1;
}

CDeviceBios::CDeviceBios() { pthread_mutex_init(&m_Mutex, nullptr); }

CDeviceBios::~CDeviceBios() {
  HX_TRACE(5, "\nCDeviceBios         : ~CDeviceBios()");
  if (m_bConnected) {
    Close();
    m_bConnected = 0;
    m_bInterfaceFound = 0;
  }
  // A window left mapped by the user goes with the object.
  UnmapPhysicalMemory();
  pthread_mutex_destroy(&m_Mutex);
}

void* CDeviceBios::MapWindow(int fd, uint64_t offset, size_t length) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return nullptr;
  if (S_ISREG(info.st_mode) && offset + length > static_cast<uint64_t>(info.st_size)) {
    errno = ENXIO;
    return nullptr;
  }
  void* mapped = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
  return mapped == MAP_FAILED ? nullptr : mapped;
}

uint8_t* CDeviceBios::MapPhysicalMemory(uint32_t, uint32_t physicalAddress, uint32_t length) {
  if (m_pMapped != nullptr) {
    HX_TRACE(2, "\nCDeviceBios (Map)   : ## WARNING! Mapped physical memory already existing, will be unmapped!");
    UnmapPhysicalMemory();
  }
  std::string path = HxSysPath("/dev/mem");
  m_hMem = open(path.c_str(), O_RDONLY);
  if (m_hMem == -1) {
    HX_TRACE(1, "\nERROR: Opening of /dev/mem failed\n");
    return nullptr;
  }
  HX_TRACE(3, "CDeviceBios (Map) : opened DMI device %s on %d\n", path.c_str(), m_hMem);

  uint32_t base = physicalAddress & ~kBiosPageMask;
  uint32_t mappedLength = physicalAddress + length - base;
  void* mapped = mappedLength == 0 ? nullptr : MapWindow(m_hMem, base, mappedLength);
  if (mapped == nullptr) {
    int error = mappedLength == 0 ? EINVAL : errno;
    HX_TRACE(1, "\nERROR: mapping of the SMBIOS memory failed\n");
    close(m_hMem);
    m_hMem = -1;
    errno = error;
    return nullptr;
  }
  m_pMapped = static_cast<uint8_t*>(mapped);
  m_dwMappedBase = base;
  m_dwMappedLength = mappedLength;
  HX_TRACE(3, "CDeviceBios (Map) : mapped 0x%x bytes at 0x%x to 0x%p\n", mappedLength, base, mapped);
  return m_pMapped + (physicalAddress - base);
}

bool CDeviceBios::UnmapPhysicalMemory() {
  if (m_pMapped != nullptr) {
    HX_TRACE(3, "CDeviceBios (Unmap) : unmapped 0x%x bytes at 0x%x from 0x%p on %d...\n", m_dwMappedLength,
             m_dwMappedBase, static_cast<void*>(m_pMapped), m_hMem);
    munmap(m_pMapped, m_dwMappedLength);
    m_pMapped = nullptr;
    m_dwMappedBase = 0;
    m_dwMappedLength = 0;
  }
  if (m_hMem != -1) {
    close(m_hMem);
    m_hMem = -1;
  }
  return true;
}
