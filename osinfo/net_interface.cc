#include "osinfo/net_interface.h"

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "osinfo/os_info.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

struct InterfaceType {
  const char* prefix;
  int type;
};

// First match wins; the numbers are the SNMP interface types.
constexpr std::array<InterfaceType, 10> kInterfaceTypes{{
    {"lo", 24},
    {"eth", 6},
    {"vswif", 6},
    {"bond", 6},
    {"sha", 6},
    {"br", 6},
    {"xenbr", 6},
    {"ppp", 23},
    {"sl", 28},
    {"en", 6},
}};

// Names of the LAN interfaces the agents report on a standard host.
constexpr std::array<const char*, 7> kLanPrefixes{"eth", "bond", "sha", "vswif", "br", "xenbr", "en"};

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

bool IsLanName(const char* name) {
  for (const char* prefix : kLanPrefixes) {
    if (StartsWith(name, prefix)) return true;
  }
  return false;
}

// Closes what it holds on every path out of GetInterface.
class FileCloser {
 public:
  explicit FileCloser(FILE* file) : m_file(file) {}
  ~FileCloser() {
    if (m_file != nullptr) std::fclose(m_file);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  FILE* get() const { return m_file; }

 private:
  FILE* m_file;
};

class SocketCloser {
 public:
  SocketCloser() : m_fd(socket(AF_INET, SOCK_DGRAM, 0)) {}
  ~SocketCloser() {
    if (m_fd >= 0) close(m_fd);
  }
  SocketCloser(const SocketCloser&) = delete;
  SocketCloser& operator=(const SocketCloser&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

bool QueryInterface(int fd, unsigned long request, const char* name, ifreq& request_data) {
  std::memset(&request_data, 0, sizeof(request_data));
  std::strncpy(request_data.ifr_name, name, IFNAMSIZ - 1);
  return ioctl(fd, request, &request_data) == 0;
}

// Runs a command through the shell; the exit code when it ended normally,
// -1 otherwise.
int RunShellCommand(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool ReadIfcfgFile(FILE* file) {
  char line[256];
  while (std::fgets(line, sizeof(line), file) != nullptr) {
    if (!StartsWith(line, "BOOTPROTO")) continue;
    const char* equals = std::strchr(line, '=');
    if (equals == nullptr) continue;
    return std::strstr(equals, "dhcp") != nullptr;
  }
  return false;
}

// Older distributions list their interfaces as NETDEV_<n>="name" in
// /etc/rc.config and the matching IFCONFIG_<n> says "dhcpclient".
bool IsDhcpInRcConfig(const std::string& name) {
  std::string rcConfig = HxSysPath("/etc/rc.config");
  if (access(rcConfig.c_str(), F_OK) != 0) return false;
  // The name goes inside a single-quoted awk program.
  if (name.find('\'') != std::string::npos) return false;
  char command[256];
  int length = std::snprintf(command, sizeof(command), "awk '/^NETDEV_.=\"%s\"/ {exit(substr($0,8,1)+100)}' %s",
                             name.c_str(), rcConfig.c_str());
  if (length < 0 || size_t(length) >= sizeof(command)) return false;
  int code = RunShellCommand(command);
  if (code <= 99) return false;
  length = std::snprintf(
      command, sizeof(command),
      "awk -F= '/^IFCONFIG_%d=/ {if(($2==\"\\\"dhcpclient\\\"\")||($2==\"dhcpclient\"))exit(100)}' %s", code - 100,
      rcConfig.c_str());
  if (length < 0 || size_t(length) >= sizeof(command)) return false;
  return RunShellCommand(command) == 100;
}

bool IsServiceConsole() {
  struct stat info;
  bool console = stat(HxSysPath("/proc/vmware").c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  HX_TRACE(3, "\nCOsInfo             : ESX-Console %sdetected!", console ? "" : "not ");
  return console;
}

bool IsVirtualAdapterMac(const uint8_t* mac) {
  return (mac[0] == 0x00 && mac[1] == 0x0C && mac[2] == 0x29) || (mac[0] == 0x00 && mac[1] == 0x50 && mac[2] == 0x56);
}

void FillHardwareAddress(int fd, const char* name, COsInfo::interface* out) {
  ifreq request;
  if (!QueryInterface(fd, SIOCGIFHWADDR, name, request)) {
    HX_TRACE(4, "GetInterface: WARNING: Cannot get MAC-Address for Interface = %s\n", name);
    return;
  }
  std::memcpy(out->hwAddress, request.ifr_hwaddr.sa_data, sizeof(out->hwAddress));
  if (!IsServiceConsole() || !IsVirtualAdapterMac(out->hwAddress)) return;
  uint8_t virtMac[6];
  std::memcpy(virtMac, out->hwAddress, sizeof(virtMac));
  COsInfo::MapVirtToPhysHWAddr(out->hwAddress, virtMac);
}

bool FillIPv4(int fd, unsigned long query, const char* name, sockaddr_in& target, const char* warning) {
  ifreq request;
  if (!QueryInterface(fd, query, name, request)) {
    HX_TRACE(4, warning, name);
    return false;
  }
  std::memcpy(&target, &request.ifr_addr, sizeof(target));
  return true;
}

// Fills what the mask asks for the chosen interface.
uint32_t FillInterface(int fd, const char* name, COsInfo::interface* out, int mask) {
  bool complete = true;
  if (mask & COsInfo::IF_TYPE) out->type = uint16_t(COsInfo::GetTypeFromName(name));
  if (mask & COsInfo::IF_NAME) std::strncpy(out->name, name, sizeof(out->name) - 1);
  if ((mask & COsInfo::IF_ADDRESS) &&
      !FillIPv4(fd, SIOCGIFADDR, name, out->address,
                "GetInterface: WARNING: Cannot get IPv4-Address for Interface = %s\n")) {
    complete = false;
  }
  if ((mask & COsInfo::IF_NETMASK) &&
      !FillIPv4(fd, SIOCGIFNETMASK, name, out->netmask,
                "GetInterface: WARNING: Cannot get IPv4-MASK for Interface = %s\n")) {
    complete = false;
  }
  if (mask & COsInfo::IF_HWADDRESS) FillHardwareAddress(fd, name, out);
  // The agents never report DNS per interface.
  if (mask & COsInfo::IF_DNS) out->dnsEnabled = 0;
  if (mask & COsInfo::IF_DHCP) out->dhcpEnabled = NetConfig::IsDhcpConfigured(name) ? 1 : 0;
  if (mask & COsInfo::IF_GATEWAY) {
    uint32_t gateway = 0;
    complete = NetConfig::FindDefaultGateway(name, gateway);
    out->gateway.sin_addr.s_addr = gateway;
  }
  return complete ? 0 : COsInfo::IF_FAILED;
}

// The interface name of a /proc/net/dev line: the first word up to its last
// ':' ("eth0:" and "eth0:1234" both give eth0). Empty when there is none.
std::string InterfaceNameOfLine(const char* line) {
  char word[33] = {};
  if (std::sscanf(line, "%32s", word) != 1) return {};
  char* colon = std::strrchr(word, ':');
  if (colon == nullptr) return {};
  *colon = '\0';
  return word;
}

}  // namespace

namespace NetConfig {

bool IsOvm3Host(const char* caller) {
  const char* nickname = std::getenv("HX_NICKNAME");
  bool ovm3 = false;
  if (nickname != nullptr && *nickname != '\0') {
    HX_TRACE(3, "%s: INFO: pHxNickname = \"%s\"\n", caller, nickname);
    if (std::strstr(nickname, "OVM3") != nullptr) {
      HX_TRACE(3, "%s: INFO: Found string \"OVM3\" in pHxNickname!", caller);
      ovm3 = true;
    }
  }
  HX_TRACE(3, "%s: INFO: LAN interface names: isOVM3 = %s.", caller, ovm3 ? "TRUE" : "FALSE");
  return ovm3;
}

bool IsDhcpConfigured(const std::string& name) {
  char path[256];
  std::snprintf(path, sizeof(path), "/etc/sysconfig/network/ifcfg-%s", name.c_str());
  FileCloser file(std::fopen(HxSysPath(path).c_str(), "r"));
  if (file.get() != nullptr) return ReadIfcfgFile(file.get());
  std::snprintf(path, sizeof(path), "/etc/sysconfig/network-scripts/ifcfg-%s", name.c_str());
  FileCloser scripts(std::fopen(HxSysPath(path).c_str(), "r"));
  if (scripts.get() != nullptr) return ReadIfcfgFile(scripts.get());
  HX_TRACE(1, "GetInterface: Warning: cannot open .../ifcfg* file\n");
  return IsDhcpInRcConfig(name);
}

bool FindDefaultGateway(const std::string& name, uint32_t& gateway) {
  gateway = 0;
  FileCloser routes(std::fopen(HxSysPath("/proc/net/route").c_str(), "r"));
  if (routes.get() == nullptr) return false;
  char line[256];
  while (std::fgets(line, sizeof(line), routes.get()) != nullptr) {
    char interfaceName[33] = {};
    unsigned destination = 0, via = 0, flags = 0;
    if (std::sscanf(line, "%32s %x %x %x", interfaceName, &destination, &via, &flags) != 4) continue;
    if (name == interfaceName && destination == 0 && (flags & 0x2) != 0) {
      gateway = via;
      return true;
    }
  }
  return false;
}

std::string MacText(const uint8_t* mac) {
  char text[18];
  std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  return text;
}

bool ParseMac(const char* text, uint8_t* mac) {
  unsigned fields[6];
  if (std::sscanf(text, "%02x:%02x:%02x:%02x:%02x:%02x", &fields[0], &fields[1], &fields[2], &fields[3], &fields[4],
                  &fields[5]) != 6) {
    return false;
  }
  for (int i = 0; i < 6; ++i) mac[i] = uint8_t(fields[i]);
  return true;
}

}  // namespace NetConfig

int COsInfo::GetTypeFromName(const char* name) {
  bool ovm3 = NetConfig::IsOvm3Host("GetTypeFromName");
  if (name == nullptr) return ovm3 ? 6 : 1;
  for (const InterfaceType& entry : kInterfaceTypes) {
    if (StartsWith(name, entry.prefix)) return entry.type;
  }
  return ovm3 ? 6 : 1;
}

uint32_t COsInfo::GetInterface(uint32_t index, interface* out, int mask) {
  bool counting = (mask & IF_COUNT) != 0;
  if (!counting) {
    if (out == nullptr) return IF_FAILED;
    std::memset(out, 0, sizeof(*out));
  }
  bool ovm3 = NetConfig::IsOvm3Host("GetInterface");
  FileCloser devices(std::fopen(HxSysPath("/proc/net/dev").c_str(), "r"));
  if (devices.get() == nullptr) {
    HX_TRACE(1, "GetInterface: ERROR: cannot open /proc/net/dev\n");
    return IF_FAILED;
  }
  SocketCloser query;
  if (query.get() < 0) {
    HX_TRACE(1, "GetInterface: ERROR: cannot open socket\n");
    return IF_FAILED;
  }
  char line[256];
  for (int header = 0; header < 2; ++header) {
    if (std::fgets(line, sizeof(line), devices.get()) == nullptr) return counting ? 0 : IF_FAILED;
  }
  uint32_t position = 0;
  while (std::fgets(line, sizeof(line), devices.get()) != nullptr) {
    std::string name = InterfaceNameOfLine(line);
    if (name.empty() || name.size() >= IFNAMSIZ) continue;
    if (!ovm3 && !IsLanName(name.c_str())) continue;
    ifreq flags;
    if (!QueryInterface(query.get(), SIOCGIFFLAGS, name.c_str(), flags)) continue;
    HX_TRACE(4, "GetInterface: Interface Name = %s\n", name.c_str());
    if (!counting && position == index) return FillInterface(query.get(), name.c_str(), out, mask);
    ++position;
  }
  return counting ? position : IF_FAILED;
}
