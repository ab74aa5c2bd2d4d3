#include "firmware/device_bus_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

constexpr const char* kPciProcDirectory = "/proc/bus/pci";

// A field of hexadecimal digits only; sscanf would accept blanks and signs.
bool ParseHex(std::string_view text, int32_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = value * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  return true;
}

// "bb" (segment 0) or "ssss:bb".
bool ParseBusDirectory(std::string_view name, CPciAddress& address) {
  address.segment = 0;
  if (name.size() == 2) return ParseHex(name, address.bus) && address.bus <= 255;
  if (name.size() == 7 && name[4] == ':')
    return ParseHex(name.substr(0, 4), address.segment) && address.segment <= 0xFFFF &&
           ParseHex(name.substr(5, 2), address.bus) && address.bus <= 255;
  return false;
}

// "dd.f" with device 0-31 and function 0-7.
bool ParseFunctionFile(std::string_view name, CPciAddress& address) {
  return name.size() == 4 && name[2] == '.' && ParseHex(name.substr(0, 2), address.device) &&
         address.device <= 31 && ParseHex(name.substr(3, 1), address.function) && address.function <= 7;
}

// The entries of a directory sorted by name, without "." names; false when
// it cannot be listed or holds nothing else.
bool ListDirectory(const std::string& path, std::vector<std::string>& names) {
  dirent** entries = nullptr;
  int count = scandir(path.c_str(), &entries, nullptr, alphasort);
  int error = count < 0 ? errno : ENOENT;
  for (int i = 0; i < count; ++i) {
    if (entries[i]->d_name[0] != '\0' && entries[i]->d_name[0] != '.') names.emplace_back(entries[i]->d_name);
    free(entries[i]);
  }
  free(entries);
  if (names.empty()) {
    HX_TRACE(3, "BuildPciDeviceNameList  : scandir for directory %s failed; ## ERROR: errno=%d (%s)\n", path.c_str(),
             error, strerror(error));
    return false;
  }
  return true;
}

bool IsPciDevDirValid(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    HX_TRACE(2, "IsPciDevDirValid  : stat() for %s failed errno=%d (%s)--> ignoring\n", path.c_str(), errno,
             strerror(errno));
    return false;
  }
  return S_ISDIR(info.st_mode);
}

bool IsPciDevFileValid(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) {
    HX_TRACE(2, "IsPciDevFileValid  : stat() for %s failed errno=%d (%s)--> ignoring\n", path.c_str(), errno,
             strerror(errno));
    return false;
  }
  return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

}  // namespace

bool CDeviceBusIo::BuildPciDeviceNameList(DeviceNameList& names) {
  std::string root = HxSysPath(kPciProcDirectory);
  HX_TRACE(3, "BuildPciDeviceNameList  : from directory %s\n", root.c_str());
  std::vector<std::string> buses;
  if (!ListDirectory(root, buses)) return false;
  for (const std::string& busName : buses) {
    CPciAddress address;
    if (!ParseBusDirectory(busName, address)) continue;
    std::string busPath = root + "/" + busName;
    std::vector<std::string> functions;
    if (!IsPciDevDirValid(busPath) || !ListDirectory(busPath, functions)) continue;
    for (const std::string& functionName : functions) {
      if (!ParseFunctionFile(functionName, address)) continue;
      std::string path = busPath + "/" + functionName;
      if (IsPciDevFileValid(path)) names[address] = path;
    }
  }
  return true;
}

bool CDeviceBusIo::GetPciConfigSpace(const std::string& path, uint8_t* header) {
  HX_TRACE(4, "CDeviceBusIo::GetPciConfigSpace: open and read %s\n", path.c_str());
  // A link may lead to a pipe or device: never wait for a writer or data.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    HX_TRACE(4, "GetPciConfigSpace: cannot open %s\n", path.c_str());
    return false;
  }
  // A short read leaves the caller's header as it was.
  uint8_t bytes[pci_header::kSize];
  ssize_t got = lseek(fd, 0, SEEK_SET) == 0 ? read(fd, bytes, sizeof bytes) : -1;
  close(fd);
  if (got != static_cast<ssize_t>(sizeof bytes)) {
    HX_TRACE(3, "GetPciConfigSpace : read error from %s\n", path.c_str());
    return false;
  }
  std::memcpy(header, bytes, sizeof bytes);
  HX_TRACE(3, "GetPciConfigSpace : %d bytes read at offset 0x%02x from %s\n", static_cast<int>(pci_header::kSize), 0,
           path.c_str());
  return true;
}
