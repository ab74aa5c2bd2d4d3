#pragma once
#include <cstdint>
#include <string>

#include "firmware/smbios_model.h"
#include "mgmt/switch_client.h"
#include "xml/markup.h"

enum _ActionType {
  ACTION_BIOS = 0,
  ACTION_PCI = 1,
  ACTION_CPU = 2,
  ACTION_MEMORY = 3,
  ACTION_VOLTAGES = 4,
  ACTION_FANS = 5,
  ACTION_TEMPERATURES = 6,
  ACTION_POWER_SUPPLIES = 7,
  ACTION_ID_PROMS = 8,
  ACTION_SEL = 9,
  ACTION_IEL = 10,
  ACTION_SDR = 11,
  ACTION_BOOT_STATUS = 12,
  ACTION_SYSTEM_FEATURES = 13,
  ACTION_MANAGEMENT_CONTROLLERS = 14,
  ACTION_STORAGE_EXTENSIONS = 15,
  ACTION_OS_VERSION = 16,
  ACTION_OS_BOOT = 17,
  ACTION_PROCESSES = 18,
  ACTION_OS_EVENTLOG = 19,
  ACTION_PROGRAMS = 20,
  ACTION_SYSTEM_DRIVES = 21,
  ACTION_SYSTEM_VOLUMES = 22,
  ACTION_SYSTEM_DEVICES = 23,
  ACTION_NET_SETTINGS = 24,
  ACTION_NET_ADAPTER = 25,
  ACTION_NET_INTERFACES = 26,
  ACTION_NET_PORTS = 27,
  ACTION_SNMP = 28,
  ACTION_SERVER_CONTROL = 29,
  ACTION_REMOTE_CONNECTOR = 30,
  ACTION_HALVEX_RAID = 31,
  ACTION_HALVEX_AGENTS = 32,
  ACTION_REVSCOPE = 33,
  ACTION_DRIVEWATCH = 34,
  ACTION_COUNT = 35,
};

enum _ActionState {
  ACTION_STATE_NOTHING = 0,
  ACTION_STATE_CANCELLED = 1,
  ACTION_STATE_WRITTEN = 2,
  ACTION_STATE_EXCEPTION = 255,
};

enum _SourceState {
  SOURCE_NOT_DETECTED = 0,
  SOURCE_DETECTED = 1,
};

// The report driver: detects the data sources, runs the scan actions in their
// fixed order, each into a fresh section document inserted under its group
// element, and writes the report file. Subclasses follow the progress through
// the virtual notifications.
class CDiagReport {
 public:
  using ScanOperation = _ActionState (CDiagReport::*)(CMarkup&);

  CDiagReport();
  virtual ~CDiagReport();
  CDiagReport(const CDiagReport&) = delete;
  CDiagReport& operator=(const CDiagReport&) = delete;

  virtual void OnDetectSourceStarted(const char* source, int index, int total);
  virtual void OnDetectSourceCompleted(const char* source, int index, int total, _SourceState state);
  virtual void OnActionStarted(_ActionType type, int index, int total);
  virtual void OnActionCompleted(_ActionType type, _ActionState state, CMarkup& section);
  virtual void OnReportStarted(int actionCount);
  virtual void OnReportCompleted(CMarkup& report);

  bool CreateReport();
  void OpenDataSources();
  bool IsActionEnabled(_ActionType type);
  void ExecuteAction(ScanOperation scan, _ActionType type, CMarkup& section, int& index, int& total);

  // Files a message under Root/Summary/<kind>/<category>; kinds other than
  // "Errors" count as warnings.
  bool AddSummaryEntry(CMarkup& report, const char* category, const char* message, const char* kind);
  static CMarkup AddRawDataDump(const uint8_t* data, uint64_t length, uint32_t bytesPerLine, int withAscii);
  // Adds a section's element with the layout version of that section
  // (attribute Schema) and stays on it.
  static bool AddSectionElem(CMarkup& xml, const char* name, int schema);

  // The scan actions, one per action type.
  _ActionState ScanBios(CMarkup& xml);
  _ActionState ScanPci(CMarkup& xml);
  _ActionState ScanCpu(CMarkup& xml);
  _ActionState ScanMemory(CMarkup& xml);
  _ActionState ScanVoltages(CMarkup& xml);
  _ActionState ScanFans(CMarkup& xml);
  _ActionState ScanTemperatures(CMarkup& xml);
  _ActionState ScanPowerSupplies(CMarkup& xml);
  _ActionState ScanIdProms(CMarkup& xml);
  _ActionState ScanSel(CMarkup& xml);
  _ActionState ScanIel(CMarkup& xml);
  _ActionState ScanSdr(CMarkup& xml);
  _ActionState ScanBootStatus(CMarkup& xml);
  _ActionState ScanSystemFeatures(CMarkup& xml);
  _ActionState ScanManagementControllers(CMarkup& xml);
  _ActionState ScanStorageExtensions(CMarkup& xml);
  _ActionState ScanOsVersion(CMarkup& xml);
  _ActionState ScanOsBoot(CMarkup& xml);
  _ActionState ScanProcesses(CMarkup& xml);
  _ActionState ScanOsEventlog(CMarkup& xml);
  _ActionState ScanPrograms(CMarkup& xml);
  _ActionState ScanSystemDrives(CMarkup& xml);
  _ActionState ScanSystemVolumes(CMarkup& xml);
  _ActionState ScanSystemDevices(CMarkup& xml);
  _ActionState ScanNetSettings(CMarkup& xml);
  _ActionState ScanNetAdapter(CMarkup& xml);
  _ActionState ScanNetInterfaces(CMarkup& xml);
  _ActionState ScanNetPorts(CMarkup& xml);
  _ActionState ScanSnmp(CMarkup& xml);
  _ActionState ScanServerControl(CMarkup& xml);
  _ActionState ScanRemoteConnector(CMarkup& xml);
  _ActionState ScanHalvexRaid(CMarkup& xml);
  _ActionState ScanHalvexAgents(CMarkup& xml);
  _ActionState ScanRevscope(CMarkup& xml);
  _ActionState ScanHalvexDrivewatch(CMarkup& xml);

  // The environment sensor lists of one cabinet (0xFFFFFFFF: the main
  // system); 1 when the sensor count could be read, else 0.
  int InsertSystemVoltages(CMarkup& xml, uint32_t cabinet);
  int InsertSystemFans(CMarkup& xml, uint32_t cabinet);
  int InsertSystemTemperatures(CMarkup& xml, uint32_t cabinet);
  int InsertSystemPowerSupplies(CMarkup& xml, uint32_t cabinet);

  int m_nWarnings = 0;
  int m_nErrors = 0;
  CMarkup m_Report;
  CSwitchClient m_SwitchClient{"DiagReport"};
  CSMBios m_SMBios;
  std::string m_strRemoteServer;
  std::string m_strOutputPath;
  std::string m_strStylesheetPath;
  std::string m_strSchemaLocation;
  int m_bAdministrator = 0;
  int m_bSecure = 0;
  int m_bHxasInstallation = 0;
  int m_bSMBiosConnected = 0;
  int m_bHxmdAvailable = 0;
  int m_bSnmpAvailable = 0;
  int m_bCancel = 0;

 private:
  void AddCreatedHeader();
  void ConnectRemoteSMBios();
  void RunAction(_ActionType type, CMarkup& section, int& index, int& total);
  void StampBuildDuration(long seconds);
  void WriteReport();
};
