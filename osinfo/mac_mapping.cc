#include <glob.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "osinfo/net_interface.h"
#include "osinfo/os_info.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

// On a virtualisation host's service console the console's own adapters
// carry virtual MAC addresses; the agents report the physical adapter's
// address instead. Two routes: the host configuration through the agents'
// awk script, or the per-adapter files below /proc.

namespace {

void TraceNotPossible(const std::string& virtText) {
  HX_TRACE(4, "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical (mapping not possible)\n",
           virtText.c_str());
}

void TraceMapped(const std::string& virtText, const uint8_t* physMac) {
  HX_TRACE(4, "MapVirtToPhysHWAddr: virtual MAC-Address = %s  mapped to to physical = %s\n", virtText.c_str(),
           NetConfig::MacText(physMac).c_str());
}

// A script output line holds the virtual MAC and, at least 15 characters
// after its first ':', the physical one.
bool ParseScriptLine(const char* line, const std::string& virtText, uint8_t* physMac) {
  const char* first = std::strchr(line, ':');
  if (first == nullptr || first - line < 2 || std::strlen(first) < 33) return false;
  if (std::strncmp(first - 2, virtText.c_str(), 17) != 0) return false;
  const char* second = std::strchr(first + 15, ':');
  if (second == nullptr || std::strlen(second) < 15) return false;
  return NetConfig::ParseMac(second - 2, physMac);
}

bool MapThroughHostConfig(uint8_t* outMac, const uint8_t* virtMac, const std::string& virtText) {
  std::string command = HxSysPath("/usr/bin/gawk") + " -f " + HxSysPath("/etc/hxagt/macaddr.awk") + " " +
                        HxSysPath("/etc/vmware/esx.conf") + " 2>/dev/null";
  HX_TRACE(1, "MapVirtToPhysHWAddr: %s\n", command.c_str());
  bool mapped = false;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof(line), pipe) != nullptr) {
      if (!mapped) mapped = ParseScriptLine(line, virtText, outMac);
    }
    pclose(pipe);
  }
  if (mapped) {
    HX_TRACE(4, "MapVirtToPhysHWAddr: virtual MAC-Address = %s  mapped to physical = %s\n", virtText.c_str(),
             NetConfig::MacText(outMac).c_str());
    return true;
  }
  std::memcpy(outMac, virtMac, 6);
  HX_TRACE(4,
           "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical  -> use virtual MAC-Address "
           "%s\n",
           virtText.c_str(), virtText.c_str());
  return false;
}

// The single file named after the MAC below the adapter directories, or
// empty; sets *word to the directory word of the route that found it.
bool FindAdapterEntry(const std::string& virtText, std::string& hit, const char*& word) {
  static constexpr const char* kRoutes[2][2] = {{"/proc/vmware/net/vmnic*/", "vmnic"}, {"/proc/vmware/net/bond*/", "bond"}};
  for (int route = 0; route < 2; ++route) {
    std::string pattern = HxSysPath(kRoutes[route][0] + virtText);
    HX_TRACE(4, "MapVirtToPhysHWAddr: try to find the virtual MAC-Address = %s in %s\n", virtText.c_str(),
             pattern.c_str());
    glob_t found{};
    int result = glob(pattern.c_str(), 0, nullptr, &found);
    if (result == 0) {
      size_t hits = found.gl_pathc;
      if (hits == 1) hit = found.gl_pathv[0];
      globfree(&found);
      if (hits > 1) {
        HX_TRACE(4, "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical (too many hits)\n",
                 virtText.c_str());
        TraceNotPossible(virtText);
        return false;
      }
      word = kRoutes[route][1];
      return true;
    }
    globfree(&found);
    if (route == 0) {
      HX_TRACE(4, "MapVirtToPhysHWAddr: WARNING: glob failed for the virtual MAC-Address %s and Path = %s\n",
               virtText.c_str(), pattern.c_str());
    } else {
      HX_TRACE(4,
               "MapVirtToPhysHWAddr: WARNING: glob failed for the virtual MAC-Address %s and Path = %s --> bail out !!!\n",
               virtText.c_str(), pattern.c_str());
    }
  }
  return false;
}

bool ReadNicInfoFile(uint8_t* outMac, const std::string& virtText, const std::string& adapter) {
  std::string path = HxSysPath("/proc/net/nicinfo/vmnic" + adapter + ".info");
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    HX_TRACE(4,
             "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical (cannot open %s)--> bail out "
             "!!!\n",
             virtText.c_str(), path.c_str());
    TraceNotPossible(virtText);
    return false;
  }
  char line[256];
  bool mapped = false;
  while (!mapped && std::fgets(line, sizeof(line), file) != nullptr) {
    if (std::strncmp(line, "Current_HWaddr", 14) != 0) continue;
    const char* colon = std::strchr(line, ':');
    uint8_t physMac[6];
    if (colon != nullptr && colon - line >= 2 && NetConfig::ParseMac(colon - 2, physMac)) {
      std::memcpy(outMac, physMac, sizeof(physMac));
      mapped = true;
    }
  }
  std::fclose(file);
  if (mapped) {
    TraceMapped(virtText, outMac);
  } else {
    TraceNotPossible(virtText);
  }
  return mapped;
}

bool MapThroughAdapterFiles(uint8_t* outMac, const std::string& virtText) {
  std::string hit;
  const char* word = nullptr;
  if (!FindAdapterEntry(virtText, hit, word)) return false;
  std::string directory = hit.substr(0, hit.rfind('/'));
  size_t wordAt = directory.rfind(word);
  std::string adapter = wordAt == std::string::npos ? "" : directory.substr(wordAt + std::strlen(word));
  if (adapter.empty()) {
    HX_TRACE(4,
             "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical (vmnic or bond not found in "
             "%s)\n",
             virtText.c_str(), directory.c_str());
    TraceNotPossible(virtText);
    return false;
  }
  // Bonds are listed under the vmnic name as well.
  std::string path = HxSysPath("/proc/net/PRO_LAN_Adapters/vmnic" + adapter + "/Current_HWaddr");
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) {
    HX_TRACE(4,
             "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical (cannot open %s)--> try "
             "nicinfo-file\n",
             virtText.c_str(), path.c_str());
    return ReadNicInfoFile(outMac, virtText, adapter);
  }
  char text[18] = {};
  size_t length = std::fread(text, 1, 17, file);
  std::fclose(file);
  uint8_t physMac[6];
  if (length == 0 || !NetConfig::ParseMac(text, physMac)) {
    HX_TRACE(4, "MapVirtToPhysHWAddr: WARNING: cannot map the virtual MAC-Address %s to physical (cannot read from %s)\n",
             virtText.c_str(), path.c_str());
    TraceNotPossible(virtText);
    return false;
  }
  std::memcpy(outMac, physMac, sizeof(physMac));
  TraceMapped(virtText, outMac);
  return true;
}

}  // namespace

bool COsInfo::MapVirtToPhysHWAddr(uint8_t* outMac, const uint8_t* virtMac) {
  if (outMac == nullptr || virtMac == nullptr) return false;
  std::string virtText = NetConfig::MacText(virtMac);
  HX_TRACE(4, "MapVirtToPhysHWAddr: got a virtual MAC-Address = %s  -> map it to physical\n", virtText.c_str());
  if (access(HxSysPath("/etc/vmware/esx.conf").c_str(), F_OK) == 0) return MapThroughHostConfig(outMac, virtMac, virtText);
  return MapThroughAdapterFiles(outMac, virtText);
}
