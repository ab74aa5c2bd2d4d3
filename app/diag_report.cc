#include "app/diag_report.h"

#include <sys/utsname.h>

#include <clocale>
#include <cstring>
#include <ctime>

#include "app/build_constants.h"
#include "app/hx_string.h"
#include "osinfo/os_info.h"
#include "platform/debug.h"

namespace {

struct ActionEntry {
  _ActionType type;
  const char* name;
  CDiagReport::ScanOperation scan;
};

// The action table: each type with its Summary item name and scan.
constexpr ActionEntry Actions[ACTION_COUNT] = {
    {ACTION_BIOS, "System/BIOS", &CDiagReport::ScanBios},
    {ACTION_PCI, "System/PCIDevices", &CDiagReport::ScanPci},
    {ACTION_CPU, "System/Processor", &CDiagReport::ScanCpu},
    {ACTION_MEMORY, "System/Memory", &CDiagReport::ScanMemory},
    {ACTION_VOLTAGES, "System/Voltages", &CDiagReport::ScanVoltages},
    {ACTION_FANS, "System/Fans", &CDiagReport::ScanFans},
    {ACTION_TEMPERATURES, "System/Temperatures", &CDiagReport::ScanTemperatures},
    {ACTION_POWER_SUPPLIES, "System/PowerSupplies", &CDiagReport::ScanPowerSupplies},
    {ACTION_ID_PROMS, "System/IDPROMS", &CDiagReport::ScanIdProms},
    {ACTION_SEL, "System/SystemEventlog", &CDiagReport::ScanSel},
    {ACTION_IEL, "System/InternalEventlog", &CDiagReport::ScanIel},
    {ACTION_SDR, "System/SensorDataRecords", &CDiagReport::ScanSdr},
    {ACTION_BOOT_STATUS, "System/BootStatus", &CDiagReport::ScanBootStatus},
    {ACTION_SYSTEM_FEATURES, "System/Features", &CDiagReport::ScanSystemFeatures},
    {ACTION_MANAGEMENT_CONTROLLERS, "System/ManagementControllers", &CDiagReport::ScanManagementControllers},
    {ACTION_STORAGE_EXTENSIONS, "StorageExtensions", &CDiagReport::ScanStorageExtensions},
    {ACTION_OS_VERSION, "OperatingSystem/Product", &CDiagReport::ScanOsVersion},
    {ACTION_OS_BOOT, "OperatingSystem/BootOptions", &CDiagReport::ScanOsBoot},
    {ACTION_PROCESSES, "OperatingSystem/Processes", &CDiagReport::ScanProcesses},
    {ACTION_OS_EVENTLOG, "OperatingSystem/Eventlog", &CDiagReport::ScanOsEventlog},
    {ACTION_PROGRAMS, "OperatingSystem/Software", &CDiagReport::ScanPrograms},
    {ACTION_SYSTEM_DRIVES, "OperatingSystem/Drives", &CDiagReport::ScanSystemDrives},
    {ACTION_SYSTEM_VOLUMES, "OperatingSystem/Volumes", &CDiagReport::ScanSystemVolumes},
    {ACTION_SYSTEM_DEVICES, "OperatingSystem/Devices", &CDiagReport::ScanSystemDevices},
    {ACTION_NET_SETTINGS, "Network/Settings", &CDiagReport::ScanNetSettings},
    {ACTION_NET_ADAPTER, "Network/Adapters", &CDiagReport::ScanNetAdapter},
    {ACTION_NET_INTERFACES, "Network/Interfaces", &CDiagReport::ScanNetInterfaces},
    {ACTION_NET_PORTS, "Network/Ports", &CDiagReport::ScanNetPorts},
    {ACTION_SNMP, "SNMP", &CDiagReport::ScanSnmp},
    {ACTION_SERVER_CONTROL, "Software/Halvex/ServerControl", &CDiagReport::ScanServerControl},
    {ACTION_REMOTE_CONNECTOR, "Software/Halvex/RemoteConnector", &CDiagReport::ScanRemoteConnector},
    {ACTION_HALVEX_RAID, "Software/Halvex/HalvexRaid", &CDiagReport::ScanHalvexRaid},
    {ACTION_HALVEX_AGENTS, "Software/Halvex/SNMPAgents", &CDiagReport::ScanHalvexAgents},
    {ACTION_REVSCOPE, "Revscope", &CDiagReport::ScanRevscope},
    {ACTION_DRIVEWATCH, "Software/Halvex/Drivewatch", &CDiagReport::ScanHalvexDrivewatch},
};

// Types 0 to 30 that never run on this platform; types 31 to 34 always run.
constexpr unsigned kDisabledActions = (1u << 14) | (1u << 18) | (1u << 20) | (1u << 21) | (1u << 22) |
                                      (1u << 24) | (1u << 25) | (1u << 26) | (1u << 27) | (1u << 28) |
                                      (1u << 30);
constexpr int kEnabledActionCount = 24;

constexpr _ActionType kSystemActions[] = {
    ACTION_BIOS,      ACTION_CPU,         ACTION_MEMORY,       ACTION_FANS,
    ACTION_TEMPERATURES, ACTION_POWER_SUPPLIES, ACTION_VOLTAGES, ACTION_ID_PROMS,
    ACTION_SDR,       ACTION_PCI,         ACTION_SEL,          ACTION_IEL,
    ACTION_BOOT_STATUS, ACTION_SYSTEM_FEATURES, ACTION_MANAGEMENT_CONTROLLERS,
};
constexpr _ActionType kOperatingSystemActions[] = {
    ACTION_OS_VERSION, ACTION_OS_BOOT,      ACTION_PROCESSES,     ACTION_OS_EVENTLOG,
    ACTION_PROGRAMS,   ACTION_SYSTEM_DRIVES, ACTION_SYSTEM_VOLUMES, ACTION_SYSTEM_DEVICES,
};
constexpr _ActionType kNetworkActions[] = {
    ACTION_NET_SETTINGS, ACTION_NET_ADAPTER, ACTION_NET_INTERFACES, ACTION_NET_PORTS,
};
constexpr _ActionType kHalvexActions[] = {
    ACTION_HALVEX_AGENTS, ACTION_SERVER_CONTROL, ACTION_REMOTE_CONNECTOR, ACTION_HALVEX_RAID, ACTION_DRIVEWATCH,
};

constexpr const char* kXmlSchemaInstance = "http://www.w3.org/2001/XMLSchema-instance";

std::string LocalTimeText(time_t when) {
  struct tm local = {};
  localtime_r(&when, &local);
  std::string text;
  return CHXString::Format(text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                           local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

// The node name of the system, at most 65 characters; empty when unknown.
std::string ComputerName() {
  struct utsname names = {};
  if (uname(&names) != 0) return std::string();
  return std::string(names.nodename, strnlen(names.nodename, 65));
}

// The text after the last "/" or "\" found after the first character.
std::string StylesheetBaseName(const std::string& path) {
  size_t separator = path.find_last_of("/\\");
  if (separator == std::string::npos || separator == 0) return path;
  return path.substr(separator + 1);
}

}  // namespace

CDiagReport::CDiagReport() = default;
CDiagReport::~CDiagReport() = default;

void CDiagReport::OnDetectSourceStarted(const char*, int, int) {}
void CDiagReport::OnDetectSourceCompleted(const char*, int, int, _SourceState) {}
void CDiagReport::OnActionStarted(_ActionType, int, int) {}
void CDiagReport::OnActionCompleted(_ActionType, _ActionState, CMarkup&) {}
void CDiagReport::OnReportStarted(int) {}
void CDiagReport::OnReportCompleted(CMarkup&) {}

bool CDiagReport::CreateReport() {
  std::setlocale(LC_NUMERIC, "en-US");
  try {
    m_nWarnings = 0;
    m_nErrors = 0;
    m_bCancel = 0;
    OpenDataSources();

    m_Report.SetDoc(nullptr);
    m_Report.AddElem("Root");
    m_Report.AddAttrib("Version", HxObjectVersion);
    m_Report.AddAttrib("Schema", 2);
    m_Report.AddAttrib("OS", "Linux");
    m_Report.AddAttrib("SecureLog", m_bSecure ? "true" : "false");
    m_Report.AddAttrib("xmlns:xsi", kXmlSchemaInstance);
    if (!m_strSchemaLocation.empty()) m_Report.AddAttrib("xsi:noNamespaceSchemaLocation", m_strSchemaLocation);

    m_Report.ResetPos();
    if (m_Report.FindElem("Root")) {
      AddCreatedHeader();
      OnReportStarted(ACTION_COUNT);
      time_t start = time(nullptr);
      CMarkup section;
      int index = 0;
      int total = kEnabledActionCount;

      // Position: parent Root, main Summary.
      m_Report.AddElem("System");
      for (_ActionType type : kSystemActions) RunAction(type, section, index, total);

      m_Report.OutOfElem();
      RunAction(ACTION_STORAGE_EXTENSIONS, section, index, total);

      m_Report.AddChildElem("OperatingSystem");
      m_Report.IntoElem();
      for (_ActionType type : kOperatingSystemActions) RunAction(type, section, index, total);

      m_Report.AddElem("Network");
      for (_ActionType type : kNetworkActions) RunAction(type, section, index, total);

      m_Report.AddElem("Software");
      m_Report.AddChildElem("Halvex");
      m_Report.IntoElem();
      for (_ActionType type : kHalvexActions) RunAction(type, section, index, total);

      m_Report.OutOfElem();
      m_Report.OutOfElem();
      RunAction(ACTION_REVSCOPE, section, index, total);
      RunAction(ACTION_SNMP, section, index, total);

      if (m_SMBios.IsConnected()) {
        m_SMBios.Disconnect();
        HX_TRACE(3, "\nCSMBios (Disconnect): Disconnected");
      }
      m_SwitchClient.m_nConnected = 0;
      StampBuildDuration(static_cast<long>(time(nullptr) - start));
      std::setlocale(LC_NUMERIC, "");
      OnReportCompleted(m_Report);
    }
  } catch (_ActionState state) {
    if (state == ACTION_STATE_CANCELLED)
      HX_TRACE(2, "\nCDiagReport         : Action cancelled!");
    else
      HX_TRACE(1, "\nCDiagReport         : ERROR! Exception during scan process!");
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! Exception during scan process!");
  }
  if (!m_Report.IsWellFormed()) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! XML file not well-formed!");
    return false;
  }
  WriteReport();
  return true;
}

// Summary with its Created header as Root's first child; leaves the position
// at parent Root, main Summary.
void CDiagReport::AddCreatedHeader() {
  m_Report.InsertChildElem("Summary");
  m_Report.IntoElem();
  m_Report.AddChildElem("Created");
  m_Report.IntoElem();
  m_Report.AddChildElem("IsAdmin", m_bAdministrator ? "true" : "false");
  m_Report.AddChildElem("Date", LocalTimeText(time(nullptr)));
  m_Report.AddChildElem("BuildDuration");
  std::string computer = m_bSecure ? std::string() : ComputerName();
  if (!computer.empty()) m_Report.AddChildElem("Computer", computer);
  std::string company;
  if (COsInfo::GetOSVendorName(company)) m_Report.AddChildElem("Company", company);
  std::string product;
  if (COsInfo::GetOSProductName(product)) m_Report.AddChildElem("OS", product);
  m_Report.OutOfElem();
}

void CDiagReport::RunAction(_ActionType type, CMarkup& section, int& index, int& total) {
  if (!IsActionEnabled(type)) return;
  section.SetDoc(nullptr);
  ExecuteAction(Actions[type].scan, type, section, index, total);
  // A section holding text that did not parse (a daemon's broken XML, say)
  // would spoil the whole report, so it is left out.
  if (section.IsWellFormed())
    m_Report.AddChildSubDoc(section.GetDoc());
  else if (!section.GetDoc().empty())
    HX_TRACE(1, "\nCDiagReport         : ERROR! Section of action %d is not well-formed - left out!", type);
}

void CDiagReport::ExecuteAction(ScanOperation scan, _ActionType type, CMarkup& section, int& index, int& total) {
  OnActionStarted(type, index, total);
  ++index;
  if (m_bCancel) {
    OnActionCompleted(type, ACTION_STATE_CANCELLED, section);
    throw ACTION_STATE_CANCELLED;
  }
  HX_TRACE(3, "\nCDiagReport         : Starting action %d...", type);
  _ActionState result;
  try {
    result = (this->*scan)(section);
    HX_TRACE(3, "\nCDiagReport         : ... action %d completed", type);
  } catch (...) {
    HX_TRACE(1, "\nCDiagReport         : ERROR! Access violation executing action %d", type);
    result = ACTION_STATE_EXCEPTION;
  }
  OnActionCompleted(type, result, section);
  if (m_bCancel) {
    OnActionCompleted(type, ACTION_STATE_CANCELLED, section);
    throw ACTION_STATE_CANCELLED;
  }
}

bool CDiagReport::IsActionEnabled(_ActionType type) {
  if (type < 0 || type >= ACTION_COUNT) return false;
  if (type <= ACTION_REMOTE_CONNECTOR && (kDisabledActions & (1u << type)) != 0) return false;

  m_Report.SavePos();
  m_Report.ResetPos();
  if (m_Report.FindElem("Root")) {
    if (!m_Report.FindChildElem("Summary")) m_Report.InsertChildElem("Summary");
    m_Report.IntoElem();
    if (!m_Report.FindChildElem("Content")) m_Report.AddChildElem("Content");
    m_Report.IntoElem();
    m_Report.AddChildElem("Item");
    m_Report.AddChildAttrib("Name", Actions[type].name);
  }
  m_Report.RestorePos();
  return true;
}

void CDiagReport::StampBuildDuration(long seconds) {
  m_Report.SavePos();
  m_Report.ResetPos();
  if (m_Report.FindElem("Root") && m_Report.FindChildElem("Summary") && m_Report.IntoElem() &&
      m_Report.FindChildElem("Created") && m_Report.IntoElem()) {
    if (m_Report.FindChildElem("BuildDuration"))
      m_Report.SetChildData(static_cast<int>(seconds));
    else
      m_Report.AddChildElem("BuildDuration", static_cast<int>(seconds));
  }
  m_Report.RestorePos();
}

void CDiagReport::WriteReport() {
  if (m_strStylesheetPath.empty()) {
    HX_TRACE(1, "\nCDiagReport         : XSLT file not installed - XSL header not written to XML doc!");
  } else {
    std::string instruction;
    CHXString::Format(instruction, "xml-stylesheet type=\"text/xsl\" href=\"%s\"",
                      StylesheetBaseName(m_strStylesheetPath).c_str());
    m_Report.ResetPos();
    m_Report.InsertNode(CMarkup::MNT_PROCESSING_INSTRUCTION, instruction.c_str());
  }
  // Inserted last at the very start, so the declaration precedes the stylesheet.
  m_Report.ResetPos();
  m_Report.InsertNode(CMarkup::MNT_PROCESSING_INSTRUCTION, "xml version=\"1.0\" encoding=\"UTF-8\"");

  if (CMarkup::WriteTextFile(m_strOutputPath, m_Report.GetDoc()))
    HX_TRACE(1, "\nCDiagReport         : XML doc written to output file \"%s\"", m_strOutputPath.c_str());
  else
    HX_TRACE(1, "\nCDiagReport         : ERROR! Failed to write output file \"%s\"", m_strOutputPath.c_str());
}
