#include "firmware/bios_tables.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "firmware/byte_reader.h"
#include "firmware/device_bios.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

constexpr size_t kEntryWindow = 32;
constexpr size_t kEsxEntryLength = 31;
constexpr size_t kEsxHeaderRead = 64;

// The systab files list "KEY=value" lines; the SMBIOS key holds the physical
// address of the 32-bit entry point.
FILE* OpenSystab(std::string& path) {
  for (const char* candidate : {"/sys/firmware/efi/systab", "/proc/efi/systab"}) {
    path = HxSysPath(candidate);
    if (FILE* file = std::fopen(path.c_str(), "r")) return file;
    HX_TRACE(1, "\nGetBiosTable:      cannot open \"%s\" (errno=%d, \"%s\")\n", path.c_str(), errno, strerror(errno));
  }
  HX_TRACE(1, "\nGetBiosTable:      cannot open System-SMBIOS Files (in case of UEFI-BIOS) --> giving up!\n");
  return nullptr;
}

bool FindSmbiosAddress(FILE* file, uint64_t& address) {
  char line[255];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    char* separator = std::strchr(line, '=');
    if (separator == nullptr) continue;
    *separator = '\0';
    if (std::strcmp(line, "SMBIOS") != 0) continue;
    address = std::strtoull(separator + 1, nullptr, 0);
    return true;
  }
  return false;
}

// A page-aligned read-only window over physical memory; released with the object.
class CPhysicalWindow {
 public:
  CPhysicalWindow(int fd, uint64_t address, size_t length) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    m_nSlack = address % page;
    m_nBase = address - m_nSlack;
    m_nLength = m_nSlack + length;
    m_pMapped = static_cast<uint8_t*>(CDeviceBios::MapWindow(fd, m_nBase, m_nLength));
  }
  ~CPhysicalWindow() {
    if (m_pMapped != nullptr) munmap(m_pMapped, m_nLength);
  }
  CPhysicalWindow(const CPhysicalWindow&) = delete;
  CPhysicalWindow& operator=(const CPhysicalWindow&) = delete;

  const uint8_t* data() const { return m_pMapped == nullptr ? nullptr : m_pMapped + m_nSlack; }
  void TraceFailure() const {
    HX_TRACE(1, "\nGetBiosTable:      ERROR: cannot map 0x%016lx, size=0x%016lx, (errno=%d, \"%s\")\n",
             static_cast<unsigned long>(m_nBase), static_cast<unsigned long>(m_nLength), errno, strerror(errno));
  }
  uint8_t* mapped() const { return m_pMapped; }
  uint64_t base() const { return m_nBase; }
  size_t length() const { return m_nLength; }

 private:
  uint8_t* m_pMapped = nullptr;
  uint64_t m_nBase = 0;
  size_t m_nSlack = 0;
  size_t m_nLength = 0;
};

class CFileDescriptor {
 public:
  explicit CFileDescriptor(int fd) : m_fd(fd) {}
  ~CFileDescriptor() {
    if (m_fd != -1) close(m_fd);
  }
  CFileDescriptor(const CFileDescriptor&) = delete;
  CFileDescriptor& operator=(const CFileDescriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

bool CopyTable(int mem, uint64_t entryAddress, std::vector<uint8_t>& table) {
  uint8_t entry[kEntryWindow];
  {
    CPhysicalWindow window(mem, entryAddress, kEntryWindow);
    if (window.data() == nullptr) {
      window.TraceFailure();
      return false;
    }
    std::memcpy(entry, window.data(), kEntryWindow);
  }
  CByteReader header(entry, sizeof entry);
  uint16_t length = header.u16(22);
  uint32_t address = header.u32(24);
  if (length == 0 || address == 0) {
    HX_TRACE(1, "\nGetBiosTable:      ERROR: cannot get the size of SMBIOS data\n");
    return !table.empty();
  }
  CPhysicalWindow window(mem, address, length);
  if (window.data() == nullptr) {
    window.TraceFailure();
    return false;
  }
  HX_TRACE(1, "\nGetBiosTable:      SMBIOS segment mapped (p=%p, size=0x%016lx, address=0x%08x, MMapOffset=0x%016lx)\n",
           static_cast<void*>(window.mapped()), static_cast<unsigned long>(window.length()), address,
           static_cast<unsigned long>(window.base()));
  table.assign(entry, entry + kEntryWindow);
  table.insert(table.end(), window.data(), window.data() + length);
  return !table.empty();
}

// Reads until count bytes arrived or the device has no more; -1 on a read error.
ssize_t ReadFully(int fd, uint8_t* buffer, size_t count) {
  size_t got = 0;
  while (got < count) {
    ssize_t n = read(fd, buffer + got, count - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

bool CBiosTables::GetBiosTable(uint32_t, uint32_t, std::vector<uint8_t>& table) {
  std::string systabPath;
  FILE* systab = OpenSystab(systabPath);
  if (systab == nullptr) return false;
  HX_TRACE(1, "GetBiosTable: UEFI interface detected: try to get SMBIOS info from \"%s\"\n", systabPath.c_str());
  uint64_t address = 0;
  bool found = FindSmbiosAddress(systab, address);
  std::fclose(systab);
  if (!found) {
    HX_TRACE(1, "\nGetBiosTable:      cannot get SMBIOS address from \"%s\" --> giving up!\n", systabPath.c_str());
    return false;
  }
  HX_TRACE(1, "\nGetBiosTable:      SMBIOS address = 0x%016lx from \"%s\"\n", static_cast<unsigned long>(address),
           systabPath.c_str());

  std::string memPath = HxSysPath("/dev/mem");
  CFileDescriptor mem(open(memPath.c_str(), O_RDONLY));
  if (mem.get() == -1) {
    HX_TRACE(1, "\nGetBiosTable:      ERROR: Opening of \"%s\" failed, (errno=%d, \"%s\")\n", memPath.c_str(), errno,
             strerror(errno));
    return false;
  }
  return CopyTable(mem.get(), address, table);
}

bool CBiosTables::GetBiosTableESX(std::vector<uint8_t>& entry, std::vector<uint8_t>& table) {
  std::string path = HxSysPath("/vmfs/devices/char/mem/smbios");
  uint8_t scratch[kEsxHeaderRead] = {};
  ssize_t headerLength = 0;
  {
    CFileDescriptor device(open(path.c_str(), O_RDONLY));
    if (device.get() == -1) return false;
    HX_TRACE(1, "GetBiosTableESX        : we are running on ESX; file %s succesfully opened!\n", path.c_str());
    headerLength = read(device.get(), scratch, sizeof scratch);
    if (headerLength < static_cast<ssize_t>(kEsxEntryLength)) {
      HX_TRACE(1,
               "GetBiosTableESX        : ERROR: read SMBIOS header from %s failed! (readlen = %d, hdrlen = %d), "
               "Reason: %s\n",
               path.c_str(), static_cast<int>(headerLength), static_cast<int>(kEsxEntryLength), strerror(errno));
      return false;
    }
  }
  if (Debug.m_bEnabled) Debug.DumpHex(5, scratch, static_cast<size_t>(headerLength), 1, 1);
  entry.assign(scratch, scratch + kEsxEntryLength);
  CByteReader header(scratch, sizeof scratch);
  size_t entryLength = header.u8(5);
  size_t tableLength = header.u16(22);

  CFileDescriptor device(open(path.c_str(), O_RDONLY));
  for (size_t due = entryLength; due > 0;) {
    ssize_t n = device.get() == -1 ? -1 : read(device.get(), scratch, std::min(due, kEsxHeaderRead));
    if (n <= 0) {
      HX_TRACE(1,
               "GetBiosTableESX        : ERROR: read SMBIOS header from %s failed! (len = %d, BytesToRead = %d), "
               "Reason: %s\n",
               path.c_str(), static_cast<int>(n), static_cast<int>(due), n == 0 ? "end of file" : strerror(errno));
      return false;
    }
    due -= static_cast<size_t>(n);
  }

  std::vector<uint8_t> buffer(tableLength + 32, 0);
  ssize_t got = ReadFully(device.get(), buffer.data(), buffer.size());
  if (got < 0) {
    HX_TRACE(1, "GetBiosTableESX        : ERROR: read SMBIOS Table from %s failed! (BytesToRead = %d), Reason: %s\n",
             path.c_str(), static_cast<int>(buffer.size()), strerror(errno));
    return false;
  }
  if (static_cast<size_t>(got) < tableLength) {
    HX_TRACE(1,
             "GetBiosTableESX        : ERROR: read SMBIOS Table from %s failed! (len = %d, TableLen = %d), Reason: no "
             "sufficiant data available\n",
             path.c_str(), static_cast<int>(got), static_cast<int>(tableLength));
    return false;
  }
  HX_TRACE(1, "GetBiosTableESX        : %d bytes read from SMBIOS Table %s (TableLen = %d, BytesToRead = %d)\n",
           static_cast<int>(got), path.c_str(), static_cast<int>(tableLength), static_cast<int>(buffer.size()));
  table.assign(buffer.begin(), buffer.begin() + got);
  return true;
}
