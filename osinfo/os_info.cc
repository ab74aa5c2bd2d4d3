#include "osinfo/os_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug.h"
#include "platform/sysroot.h"

bool COsInfo::GetOSVendorName(std::string& name) {
  const char* vendor = std::getenv("HX_VENDOR");
  if (vendor == nullptr) {
    HX_TRACE(3, "\nCOsInfo             :    cannot determinate OS Vendor name\n");
    return false;
  }
  name = vendor;
  HX_TRACE(3, "\nCOsInfo             :    Vendor name: %s\n", name.c_str());
  return true;
}

// First line of the service console's product file, without its line end.
static bool ReadProductStringFile(std::string& name) {
  FILE* file = std::fopen(HxSysPath("/opt/bnk/vmware-product-string").c_str(), "r");
  if (file == nullptr) return false;
  char line[256] = {};
  if (std::fgets(line, sizeof(line), file) == nullptr) line[0] = '\0';
  std::fclose(file);
  line[std::strcspn(line, "\r\n")] = '\0';
  name = line;
  return true;
}

bool COsInfo::GetOSProductName(std::string& name) {
  const char* product = std::getenv("HX_OS");
  if (product != nullptr) {
    name = product;
    HX_TRACE(3, "\nCOsInfo             :    Product name: %s\n", name.c_str());
    return true;
  }
  if (ReadProductStringFile(name)) return true;
  HX_TRACE(3, "\nCOsInfo             :    cannot determinate OS Product name\n");
  return false;
}

const char* COsInfo::GetOSLanguageName(uint16_t) {
  static const std::string language = [] {
    const char* lang = std::getenv("LANG");
    return std::string(lang != nullptr ? lang : "UNKNOWN");
  }();
  return language.c_str();
}
