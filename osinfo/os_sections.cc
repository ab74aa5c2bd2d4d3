#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/diag_report.h"
#include "osinfo/os_info.h"
#include "platform/debug.h"
#include "platform/sysroot.h"

namespace {

// The name is built in a 272-character buffer; longer texts are cut.
constexpr size_t kMaxProductName = 271;

std::string ProductName() {
  std::string name;
  COsInfo::GetOSVendorName(name);
  std::string product;
  if (COsInfo::GetOSProductName(product)) name += " " + product;
  if (name.size() > kMaxProductName) name.resize(kMaxProductName);
  return name;
}

bool ProductVersion(std::string& version) {
  if (const char* release = std::getenv("HX_RELEASE")) {
    version = release;
    HX_TRACE(3, "\nCOsInfo             :    Product version: %s\n", release);
    return true;
  }
  struct utsname system;
  if (uname(&system) == 0 && std::strcmp(system.sysname, "VMkernel") == 0) {
    version = system.release;
    return true;
  }
  HX_TRACE(3, "\nCOsInfo             :    cannot determinate OS Product version\n");
  return false;
}

void AddLanguage(CMarkup& xml, const char* scope, const char* language) {
  xml.AddElem(scope);
  xml.IntoElem();
  xml.AddElem("LangId", 0);
  xml.AddElem("Description", language);
  xml.OutOfElem();
}

// The agents' event file holds one event per line: a 15-character time
// stamp, a blank, one word (the host) and the message.
constexpr size_t kEventLineBuffer = 512;
constexpr size_t kTimeStampLength = 15;
constexpr size_t kMessageSearchStart = 16;

// Reads one line of at most kEventLineBuffer - 1 bytes, its line feed
// included; the rest of a longer line comes with the next call.
bool ReadEventLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  while (line.size() < kEventLineBuffer - 1 && (c = std::fgetc(file)) != EOF) {
    line.push_back(char(c));
    if (c == '\n') break;
  }
  return !line.empty();
}

// The message follows the first blank, control character or non-ASCII byte
// at or after the search start; empty when there is none.
std::string EventMessage(const std::string& line) {
  for (size_t i = kMessageSearchStart; i < line.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c <= 32 || c >= 128) return line.substr(i + 1);
  }
  return {};
}

int AddEventRecords(CMarkup& xml, const char* logName, FILE* file) {
  int count = 0;
  std::string line;
  while (ReadEventLine(file, line)) {
    // Too short to hold a time stamp and a message.
    if (line.size() <= kMessageSearchStart) continue;
    std::string message = EventMessage(line);
    xml.AddElem("Record");
    xml.AddAttrib("Source", "Halvex Agents");
    xml.AddAttrib("Type", "Info");
    xml.AddAttrib("Created", line.substr(0, kTimeStampLength));
    xml.AddAttrib("Important", "false");
    xml.IntoElem();
    xml.AddElem("Message", message.c_str(), CMarkup::MNF_WITHCDATA);
    xml.OutOfElem();
    HX_TRACE(2, "\nCDiagReport         : Event(%s) 0x%08X: Message: %s ", logName, 0u, message.c_str());
    ++count;
  }
  return count;
}

}  // namespace

_ActionState CDiagReport::ScanOsVersion(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanOsVersion()");
  const char* language = COsInfo::GetOSLanguageName(0);
  std::string version;
  AddSectionElem(xml, "Product", 1);
  xml.IntoElem();
  xml.AddElem("Name", ProductName().c_str());
  if (ProductVersion(version)) xml.AddElem("Version", version.c_str());
  xml.AddElem("Language");
  xml.IntoElem();
  AddLanguage(xml, "System", language);
  AddLanguage(xml, "User", language);
  xml.OutOfElem();
  xml.OutOfElem();
  HX_TRACE(4, "\nCDiagReport         : <- ScanOsVersion()");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanOsBoot(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanOsBoot()");
  AddSectionElem(xml, "BootOptions", 2);
  xml.AddChildElem("Config");
  HX_TRACE(4, "\nCDiagReport         : <- ScanOsBoot()");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanNetSettings(CMarkup& xml) {
  COsInfo::interface first{};
  COsInfo::GetInterface(0, &first, COsInfo::IF_DNS);
  int dnsEnabled = first.dnsEnabled != 0 ? 1 : 0;
  HX_TRACE(3, "CNetworkInterfaceConfig: IsDnsEnabled() <-- %d\n", dnsEnabled);
  AddSectionElem(xml, "Settings", 1);
  xml.AddChildElem("DNS", dnsEnabled ? "enabled" : "disabled");
  return ACTION_STATE_NOTHING;
}

_ActionState CDiagReport::ScanOsEventlog(CMarkup& xml) {
  HX_TRACE(4, "\nCDiagReport         : -> ScanOsEventlog()");
  static constexpr const char* kLogs[] = {"System"};
  try {
    AddSectionElem(xml, "Eventlog", 1);
    xml.IntoElem();
    for (const char* logName : kLogs) {
      xml.AddElem(logName);
      int count = 0;
      std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(HxSysPath("/var/hxagt/ZCSysScan-traps").c_str(), "r"),
                                                  &std::fclose);
      if (file) {
        xml.IntoElem();
        count = AddEventRecords(xml, logName, file.get());
        xml.OutOfElem();
      }
      xml.SetAttrib("Count", count);
    }
    xml.OutOfElem();
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! EXCEPTION in ScanOsEventlog()");
  }
  HX_TRACE(4, "\nCDiagReport         : <- ScanOsEventlog()");
  return ACTION_STATE_NOTHING;
}
