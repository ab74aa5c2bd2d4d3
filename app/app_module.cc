#include "app/app_module.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/build_constants.h"
#include "app/cmd_line.h"
#include "platform/debug.h"
#include "platform/sys_base.h"

namespace {

// Progress texts by action type, after "Scanning ".
constexpr const char* kScanTexts[ACTION_COUNT] = {
    "SM BIOS...",
    "PCI devices...",
    "processors...",
    "memory modules...",
    "voltages...",
    "fans...",
    "temperatures...",
    "power supplies...",
    "ID PROMS...",
    "SEL...",
    "IEL...",
    "Sensor Data Records...",
    "Boot Status...",
    "system features...",
    "management controllers...",
    "storage extensions...",
    "OS version...",
    "OS boot options...",
    "OS processes...",
    "OS event log...",
    "installed software...",
    "system drives...",
    "system volumes...",
    "OS devices...",
    "network settings...",
    "network adapter...",
    "network interfaces...",
    "network ports...",
    "SNMP configuration...",
    "Server Control service...",
    "Halvex Remote Connector...",
    "Halvex Raid...",
    "Halvex Agents ...",
    "Revscope data...",
    "Drivewatch data...",
};

constexpr size_t kMaxPathChars = 259;

}  // namespace

int CAppModule::Run(int argc, const char* const* argv) {
  if (argc == 1) {
    ShowHelp();
    return 0;
  }
  CCmdLine cmdLine("-");
  if (cmdLine.SplitLine(argc, argv, true) == 0) {
    ShowHelp();
    return 0;
  }
  std::printf("\n** %s Software Zelcor System Scan V%s **\n", HxObjectVendor, HxObjectVersion);
  if (cmdLine.HasSwitch("?")) {
    ShowHelp();
    return 0;
  }
  if (cmdLine.HasSwitch("verbose")) m_bVerbose = 1;
  if (cmdLine.HasSwitch("secure")) m_bSecureSwitch = 1;
  HX_TRACE(2, "\nZCSysScan           : System scan mode: Generate new XML and/or HTML output file");

  std::string outputPath = cmdLine.GetFirstParam("xmlreport");
  HX_TRACE(2, "\nZCSysScan           : XML output file: \"%s\"", outputPath.c_str());
  if (cmdLine.HasSwitch("xml")) m_bShowXml = 1;
  if (outputPath.empty()) return 0;

  if (!IsFileWritable(outputPath.c_str())) {
    std::printf("\n!! Failed to write XML file \"%s\"! (Error %s)", outputPath.c_str(),
                CSysBase::GetLastErrorMsg(static_cast<unsigned>(errno)).c_str());
    return -1;
  }
  std::printf("\nInitializing...");
  std::printf(m_bVerbose ? "\ndone." : " done.");
  std::printf("\nCreate %s...", outputPath.c_str());

  m_strOutputPath = outputPath;
  HX_TRACE(3, "\nCDiagReport         : Output file: \"%s\"", m_strOutputPath.c_str());
  m_bSecure = m_bSecureSwitch;
  CreateReport();

  struct stat info;
  long long size = ::stat(outputPath.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
  if (m_bVerbose)
    std::printf("\n%s created (%d bytes).", outputPath.c_str(), static_cast<int>(size));
  else
    std::printf(" done (%d bytes).", static_cast<int>(size));
  std::fflush(stdout);
  return 0;
}

void CAppModule::ShowHelp() {
  std::printf("\nSyntax:");
  std::printf("\nZcSysScan -xmlreport [-xml] [-verbose]");
  std::printf("\n");
  std::printf("\n   -xmlreport <Path>   generates XML outptut file in <Path>");
  std::printf("\n   -xml                shows generated XML output");
  std::printf("\n   -verbose            shows more detailed output");
  std::printf("\n   -?                  shows this help");
  std::printf("\n");
}

int CAppModule::IsFileWritable(const char* path) {
  if (path == nullptr) return 1;
  char buffer[kMaxPathChars + 1] = {};
  std::strncpy(buffer, path, kMaxPathChars);
  errno = 0;
  int fd = ::open(buffer, O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 0;
  ::flock(fd, LOCK_EX);
  ::fsync(fd);
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return 1;
}

void CAppModule::OnDetectSourceStarted(const char* source, int index, int) {
  if (!m_bVerbose) return;
  if (index == 0) std::printf("\nDetecting data sources...");
  std::printf("\n Source %s:", source);
}

void CAppModule::OnDetectSourceCompleted(const char*, int, int, _SourceState state) {
  if (!m_bVerbose) return;
  std::printf(" %sdetected", state == SOURCE_DETECTED ? "" : "not ");
}

void CAppModule::OnActionStarted(_ActionType type, int index, int total) {
  if (!m_bVerbose || type < 0 || type >= ACTION_COUNT) return;
  std::printf("\n[%02d/%d] Scanning ", index + 1, total);
  std::printf("%s", kScanTexts[type]);
  std::fflush(stdout);
}

void CAppModule::OnActionCompleted(_ActionType, _ActionState, CMarkup&) {
  if (m_bVerbose) std::printf("done");
}

void CAppModule::OnReportStarted(int) {
  if (m_bVerbose) std::printf("\nPerforming system scan...");
}

void CAppModule::OnReportCompleted(CMarkup& report) {
  if (m_bShowXml) std::printf("\n%s", report.GetDoc().c_str());
}
