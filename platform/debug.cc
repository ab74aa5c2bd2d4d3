#include "platform/debug.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/build_constants.h"
#include "platform/registry.h"
#include "platform/sysroot.h"

namespace {

// Environment variables shown in the log header with their start-up values.
constexpr const char* kEnvironmentTable[] = {
    "LD_LIBRARY_PATH",     "HX_SYSTEM",          "HX_OS",
    "HX_OS_MAJOR",         "HX_OS_MINOR",        "HX_RVOS",
    "HX_RELEASE",          "HX_VENDOR",          "HX_HOSTNAME",
    "HX_HOSTOSREVMAJOR",   "HX_HOSTOSREVMINOR",  "HX_SYSNAME",
    "HX_VERSION",          "HX_NICKNAME",        "HX_HWPLATFORM",
    "HX_IS_TORVALE",       "HX_IS_TORVALE2000",  "HX_RUNNINGONVM",
    "HX_RUNNINGONPAN",     "HX_VMREL",           "HX_ARCH",
    "HX_REPO",             "HX_RAID_EXISTS",     "HX_RAID_READY",
    "HX_RAID_VERSION",     "HX_INSTALL_DATE",    "HX_USE_SG_IO_HDR_T",
    "HX_USE_SNMPLIB",      "HX_USE_SNMPLIB_LOCK", "HX_AGENT_X_SOCKET",
    "HX_HXMD_REPLY_TIME",  "HX_DAEMON_COREFILE_LIMIT", "HX_VME_WAIT_TIME_FOR_VMSERVER",
    "HX_SCS_PROVIDER_TRACE", "HX_SCS_NOSIGNAL",  "HX_SCS_DEBUG_LEVEL",
    "HX_LOG_RINGBUF_DIR",  "HX_LOG_DEBUG_LEVEL", "HX_LOG_RINGBUF_WEIGHT",
    "HX_LOG_NOHDR_TOSDTERR", "KTA_HX_HOME",      "KTA_SYSLOG_FIFO",
};

// Settings of the agents' configuration file, passed on in the environment.
constexpr const char* kConfigurationTable[] = {
    "AgentPermission", "AgentShut",         "ShutdownDelay",      "UserGroup",       "ScanTapeDevices",
    "TraceFileLimit",  "NoAccountCheck",    "InventoryRescan",    "CDPollInterval",  "AgentsToBeStarted",
    "WaitForHxmdSockets", "WaitForHxmdTerm", "InvAgtPollNetUtilization",
};

constexpr size_t kTextMax = 259;
constexpr size_t kWeightVariableMax = 47;
constexpr size_t kHostNameKept = 31;
constexpr size_t kHostNameMax = 33;
constexpr size_t kDumpMax = 256;
constexpr size_t kDumpLine = 16;
constexpr const char* kDefaultRingDir = "/var/log/hxagt";
constexpr const char* kSettingsKey = "SOFTWARE\\Debug";
constexpr const char* kWeightVariable = "HX_LOG_RINGBUF_WEIGHT";
constexpr uint32_t kRegistryAbsent = 0xFFFFFFFF;
constexpr unsigned kDefaultLevel = 255;
constexpr int kDefaultFactor = 1;
constexpr int kMaxFactor = 2;
constexpr int kDefaultWeight = 10;
constexpr int64_t kPagesPerWeight = 256;
constexpr long kFallbackPageSize = 4096;

std::string Cut(const char* text, size_t max) { return std::string(text, strnlen(text, max)); }

int EnvironmentNumber(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 10)); }

// Environment first, then the registry value (-1: absent), then the default.
int Setting(const char* variable, int registryValue, int defaultValue) {
  if (const char* text = std::getenv(variable)) return EnvironmentNumber(text);
  return registryValue != -1 ? registryValue : defaultValue;
}

// asctime of the current local time ("Www Mmm dd hh:mm:ss yyyy\n"); empty
// when the time cannot be shown.
constexpr size_t kAsctimeCapacity = 64;
void AsctimeNow(char (&text)[kAsctimeCapacity]) {
  time_t now = std::time(nullptr);
  struct tm local {};
  if (localtime_r(&now, &local) == nullptr || asctime_r(&local, text) == nullptr) text[0] = '\0';
}

// "Mmm dd hh:mm:ss": the part of an asctime text after the weekday.
const char* MonthDayTime(const char* asctimeText) { return std::strlen(asctimeText) > 4 ? asctimeText + 4 : ""; }

}  // namespace

CDebug Debug(HxObjectName);

CDebug::CDebug() = default;

CDebug::CDebug(const char* name) {
  if (Init(name) == 0) ReportInitFailure();
}

CDebug::~CDebug() {
  CCriticalSectionLock guard(m_lock);
  ReleaseRing();
  m_bEnabled = 0;
  m_nTraceTarget = TargetNone;
}

std::string CDebug::ShortHostName(const char* nodeName) {
  std::string host(nodeName, std::strcspn(nodeName, "."));
  if (host.size() > kHostNameKept) {
    size_t stars = std::min(host.size(), kHostNameMax) - kHostNameKept;
    host.replace(kHostNameKept, std::string::npos, stars, '*');
  }
  return host;
}

void CDebug::ResetSettings() {
  m_bEnabled = 0;
  m_nTraceLevel = m_nTraceLevelSaved = 0;
  m_nTraceTarget = TargetNone;
  m_nPid = 0;
  m_startTime.clear();
  m_nRingFactor = m_nRingWeight = 0;
  m_nRingSize = 0;
  m_nWrapCount = 0;
  m_ringDir.clear();
  m_ringPath.clear();
  m_nRegDebugLevel = m_nRegRingFactor = m_nRegRingWeight = m_nRegNoHeader = -1;
  m_regRingDir.clear();
  m_bNoHeaderToStderr = 0;
  m_szError[0] = '\0';
  for (StoredValue& value : m_environment) value = StoredValue{};
  for (StoredValue& value : m_configuration) value = StoredValue{};
}

int CDebug::Init(const char* name) {
  CCriticalSectionLock guard(m_lock);
  ReleaseRing();
  ResetSettings();
  m_name = Cut(name != nullptr ? name : "", kTextMax);
  struct utsname system {};
  m_hostName = uname(&system) == 0 ? ShortHostName(system.nodename) : "";

  int64_t ringSize = 0;
  if (name != nullptr && std::strcmp(name, HxObjectName) == 0) {
    CRegistry registry;
    if (OpenSettingsKey(registry)) {
      m_nPid = getpid();
      char now[kAsctimeCapacity];
      AsctimeNow(now);
      m_startTime = now;
      StoreEnvironment();
      ReadRegistrySettings(registry);
      ApplySettings();
      ringSize = ComputeRingSize();
    }
  }
  m_nRingSize = ringSize;

  bool ringFailed = false;
  if (ringSize >= 1) {
    m_ringPath = Cut((m_ringDir + "/log." + m_name + "_a").c_str(), kTextMax);
    ringFailed = !SetupRing();
  } else {
    m_nTraceTarget = TargetStderr;
    m_nTraceLevel = m_nTraceLevelSaved = 0;
  }
  if (!m_bNoHeaderToStderr) WriteLogHeader(TargetStderr);
  if (ringFailed) {
    m_bEnabled = 0;
    m_nTraceTarget = TargetStderr;
    m_nTraceLevel = 0;
    return 0;
  }
  m_bEnabled = 1;
  return 1;
}

bool CDebug::OpenSettingsKey(CRegistry& registry) {
  if (CRegistry::MLocalMachine == nullptr) return false;
  std::string key = std::string(kSettingsKey) + "\\" + m_name;
  return registry.Open(key.c_str(), CRegistry::MLocalMachine) == 0 ||
         registry.CreateKey(CRegistry::MLocalMachine, key.c_str()) == 0;
}

void CDebug::StoreEnvironment() {
  static_assert(std::size(kEnvironmentTable) == kEnvironmentNames);
  static_assert(std::size(kConfigurationTable) == kConfigurationNames);
  auto store = [](const char* variable, StoredValue& stored) {
    const char* value = std::getenv(variable);
    stored.set = value != nullptr;
    if (value != nullptr) stored.text = value;
  };
  for (int i = 0; i < kEnvironmentNames; ++i) store(kEnvironmentTable[i], m_environment[i]);
  for (int i = 0; i < kConfigurationNames; ++i) store(kConfigurationTable[i], m_configuration[i]);
}

void CDebug::ReadRegistrySettings(CRegistry& registry) {
  auto number = [&registry](const char* value, int& out) {
    uint32_t read = 0;
    if (registry.QueryValue(&read, value) == 0 && read != kRegistryAbsent) out = static_cast<int>(read);
  };
  number("DebugLevel", m_nRegDebugLevel);
  number("RingBufferSizeFactor", m_nRegRingFactor);
  number("RingBufferSizeWeight", m_nRegRingWeight);
  number("NoHeaderToStderr", m_nRegNoHeader);
  const void* directory = registry.GetValue("RingBufferDirectory");
  if (directory != nullptr && (registry.ValueType() == CRegistryNode::TypeString ||
                               registry.ValueType() == CRegistryNode::TypeExpandString))
    m_regRingDir = Cut(static_cast<const char*>(directory), kTextMax);
}

void CDebug::ApplySettings() {
  if (const char* directory = std::getenv("HX_LOG_RINGBUF_DIR"))
    m_ringDir = Cut(directory, kTextMax);
  else
    m_ringDir = m_regRingDir.empty() ? kDefaultRingDir : m_regRingDir;
  m_nTraceLevel = static_cast<unsigned>(Setting("HX_LOG_DEBUG_LEVEL", m_nRegDebugLevel, kDefaultLevel));
  m_nRingFactor = Setting("TraceFileLimit", m_nRegRingFactor, kDefaultFactor);
  m_nRingWeight = Setting(kWeightVariable, m_nRegRingWeight, kDefaultWeight);
  m_bNoHeaderToStderr = Setting("HX_LOG_NOHDR_TOSDTERR", m_nRegNoHeader, 0);
  m_nTraceLevelSaved = m_nTraceLevel;
  if (const char* weight = std::getenv(WeightVariable().c_str())) m_nRingWeight = EnvironmentNumber(weight);
}

std::string CDebug::WeightVariable() const {
  std::string variable = std::string(kWeightVariable) + "_" + m_name;
  std::transform(variable.begin(), variable.end(), variable.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return variable.substr(0, kWeightVariableMax);
}

int64_t CDebug::ComputeRingSize() const {
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) pageSize = kFallbackPageSize;
  int64_t factor = std::min(m_nRingFactor, kMaxFactor);
  return int64_t{m_nRingWeight} * factor * kPagesPerWeight * pageSize;
}

bool CDebug::SetupRing() {
  int size = static_cast<int>(m_nRingSize);
  int fd = open(HxSysPath(m_ringPath).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
  if (fd < 0) {
    std::snprintf(m_szError, sizeof(m_szError), "Error %d opening %s (%d), try logging to stderr.\n", errno,
                  m_ringPath.c_str(), size);
    return false;
  }
  if (!FillRing(fd)) {
    std::snprintf(m_szError, sizeof(m_szError), "Error %d writing %s (%d), try logging to stderr.\n", errno,
                  m_ringPath.c_str(), size);
    close(fd);
    return false;
  }
  void* base = mmap(nullptr, static_cast<size_t>(m_nRingSize), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) {
    std::snprintf(m_szError, sizeof(m_szError), "Error %d mmap'ing to log file %s (%d), try logging to stderr.\n",
                  errno, m_ringPath.c_str(), size);
    close(fd);
    return false;
  }
  m_nRingFd = fd;
  m_pRingBase = static_cast<char*>(base);
  m_nTraceTarget = TargetRing;
  m_nWritePos = 0;
  WriteLogHeader(TargetRing);
  MoveBehindHeader();
  PrintIt(TargetRing, "### Start of initialization. ###\n");
  return true;
}

// The new file is written full of blank blocks, each shaped like an entry,
// so the ring never grows and unused space reads as text.
bool CDebug::FillRing(int fd) {
  char block[kBlock];
  size_t prefix = FormatPrefix(block, kPrefixMax + 1);
  std::memset(block + prefix, '_', kBlock - 1 - prefix);
  block[kBlock - 1] = '\n';
  for (int64_t done = 0; done < m_nRingSize;) {
    size_t chunk = static_cast<size_t>(std::min(kBlock, m_nRingSize - done));
    if (write(fd, block, chunk) != static_cast<ssize_t>(chunk)) return false;
    done += static_cast<int64_t>(chunk);
  }
  return true;
}

void CDebug::ReleaseRing() {
  if (m_pRingBase != nullptr) munmap(m_pRingBase, static_cast<size_t>(m_nRingSize));
  if (m_nRingFd >= 0) close(m_nRingFd);
  m_pRingBase = nullptr;
  m_nRingFd = -1;
  m_nWritePos = 0;
  if (m_nTraceTarget == TargetRing) m_nTraceTarget = TargetStderr;
}

void CDebug::ReportInitFailure() {
  static const char kFailure[] = "Error during initialization of the CDebug instance.\n";
  PrintToConsole(kFailure);
  PrintToConsole("Error message: \"%s\"\n", m_szError);
  syslog(LOG_ERR, "%s", kFailure);
  syslog(LOG_ERR, "Error message: \"%s\"\n", m_szError);
}

void CDebug::MoveBehindHeader() {
  m_nWritePos = m_nKeptStart > 0 ? m_nKeptStart : (m_nWritePos + 2 * kBlock) / kBlock * kBlock;
}

size_t CDebug::FormatPrefix(char* out, size_t capacity) const {
  char now[kAsctimeCapacity];
  AsctimeNow(now);
  int length = std::snprintf(out, capacity, "%-15.15s %s %s[%08X]: ", MonthDayTime(now), m_hostName.c_str(),
                             m_name.c_str(), static_cast<unsigned>(static_cast<uint64_t>(pthread_self())));
  if (length < 0) length = 0;
  return std::min(static_cast<size_t>(length), capacity - 1);
}

size_t CDebug::FormatEntry(const char* format, va_list args) {
  size_t length = FormatPrefix(m_entry, kPrefixMax + 1);
  while (*format == '\n') ++format;
  int message = std::vsnprintf(m_entry + length, kMessageMax + 1, format, args);
  size_t kept = message < 0 ? 0 : std::min(static_cast<size_t>(message), kMessageMax);
  length += kept;
  if (kept == 0 || m_entry[length - 1] != '\n') m_entry[length++] = '\n';
  m_entry[length] = '\0';
  return length;
}

void CDebug::WriteEntry(int targets, const char* format, va_list args) {
  CCriticalSectionLock guard(m_lock);
  size_t length = FormatEntry(format, args);
  // Standard error first: a wrap of the ring reuses the entry buffer for the
  // header it rewrites.
  if ((targets & TargetStderr) != 0) {
    std::fputs(m_entry, stderr);
    std::fflush(stderr);
  }
  if ((targets & TargetRing) != 0) AppendToRing(m_entry, length);
}

void CDebug::AppendToRing(const char* text, size_t length) {
  if (m_pRingBase == nullptr) return;
  auto fits = [this, length] { return static_cast<int64_t>(length) <= m_nRingSize - m_nWritePos; };
  if (fits()) {
    std::memcpy(m_pRingBase + m_nWritePos, text, length);
    m_nWritePos += static_cast<int64_t>(length);
    return;
  }
  // A header entry that does not fit is dropped rather than wrapping again.
  if (m_bRewritingHeader) return;
  char pending[sizeof(m_entry)];
  std::memcpy(pending, text, length);
  ++m_nWrapCount;
  m_nWritePos = 0;
  m_bRewritingHeader = true;
  WriteLogHeader(TargetRing);
  m_bRewritingHeader = false;
  MoveBehindHeader();
  if (!fits()) return;
  std::memcpy(m_pRingBase + m_nWritePos, pending, length);
  m_nWritePos += static_cast<int64_t>(length);
}

void CDebug::Print(unsigned level, const char* format, ...) {
  if (level > m_nTraceLevel) return;
  int target = m_nTraceTarget;
  if (target != TargetStderr && target != TargetRing) return;
  va_list args;
  va_start(args, format);
  WriteEntry(target, format, args);
  va_end(args);
}

void CDebug::PrintAlways(unsigned, const char* format, ...) {
  int targets = TargetStderr | (m_nTraceTarget == TargetRing ? TargetRing : 0);
  va_list args;
  va_start(args, format);
  WriteEntry(targets, format, args);
  va_end(args);
}

void CDebug::PrintIt(int target, const char* format, ...) {
  if (target == TargetNone) target = m_nTraceTarget;
  if (target != TargetStderr && target != TargetRing) return;
  va_list args;
  va_start(args, format);
  WriteEntry(target, format, args);
  va_end(args);
}

void CDebug::PrintToConsole(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteEntry(TargetStderr, format, args);
  va_end(args);
}

void CDebug::DumpHex(unsigned level, const void* data, size_t length, int withOffsets, int withAscii) {
  if (data == nullptr || length == 0 || level > m_nTraceLevel) return;
  CCriticalSectionLock guard(m_lock);
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  size_t shown = std::min(length, kDumpMax);
  std::string ascii = "\"";
  if (withAscii) {
    for (size_t i = 0; i < shown; ++i) ascii.push_back(std::isprint(bytes[i]) ? static_cast<char>(bytes[i]) : '.');
  }
  ascii.push_back('"');
  PrintIt(TargetNone, "Data: pData=%p, Len=%d, TrLen=%d, ascii=%s\n", data, static_cast<int>(length),
          static_cast<int>(shown), ascii.c_str());
  for (size_t offset = 0; offset < shown; offset += kDumpLine) {
    char line[8 + 3 * kDumpLine];
    int used = withOffsets ? std::snprintf(line, sizeof(line), "%04X:", static_cast<unsigned>(offset)) : 0;
    line[used] = '\0';
    for (size_t i = offset; i < std::min(offset + kDumpLine, shown); ++i)
      used += std::snprintf(line + used, sizeof(line) - static_cast<size_t>(used), " %02X", bytes[i]);
    PrintIt(TargetNone, "%s\n", line);
  }
}

void CDebug::WriteLogHeader(int target) {
  int major = 0, minor = 0, build = 0;
  std::sscanf(HxObjectVersion, "%d.%d-%d", &major, &minor, &build);
  PrintIt(target, "Halvex Agent %s Version=\"%d.%02d-%02d\" Milestone=\"%s\" Built=\"%s\" Start=\"%.15s\" Wrap=\"%d\"\n",
          m_name.c_str(), major, minor, build, HxObjectMilestone, HxObjectDate, MonthDayTime(m_startTime.c_str()),
          m_nWrapCount);

  PrintIt(target, "Halvex Environment:\n");
  for (int i = 0; i < kEnvironmentNames; ++i)
    PrintIt(target, "%s=%s\n", kEnvironmentTable[i], m_environment[i].set ? m_environment[i].text.c_str() : "NotSet");
  std::string weightVariable = WeightVariable();
  const char* weight = std::getenv(weightVariable.c_str());
  PrintIt(target, "%s=%s\n", weightVariable.c_str(), weight != nullptr ? weight : "NotSet");

  PrintIt(target, "Halvex Configuration File:\n");
  for (int i = 0; i < kConfigurationNames; ++i)
    PrintIt(target, "%s=%s\n", kConfigurationTable[i],
            m_configuration[i].set ? m_configuration[i].text.c_str() : "NotSet");

  PrintIt(target, "Debug values from registry :\n");
  PrintIt(target, "DebugLevel                 : %d\n", m_nRegDebugLevel);
  PrintIt(target, "RingBufferSizeFactor       : %d\n", m_nRegRingFactor);
  PrintIt(target, "RingBufferSizeWeight       : %d\n", m_nRegRingWeight);
  PrintIt(target, "RingBufferDirectory        : %s\n", m_regRingDir.c_str());
  PrintIt(target, "No Header to stderr        : %d\n", m_nRegNoHeader);

  PrintIt(target, "Internal Debug values      :\n");
  PrintIt(target, "Process PID                : %d\n", m_nPid);
  PrintIt(target, "Trace Target               : %d\n", m_nTraceTarget);
  PrintIt(target, "Trace Level                : %d\n", static_cast<int>(m_nTraceLevel));
  PrintIt(target, "Trace Level Saved          : %d\n", static_cast<int>(m_nTraceLevelSaved));
  PrintIt(target, "Application Init Done      : %d\n", 0);
  PrintIt(target, "Ring Buffer FD             : %d\n", m_nRingFd);
  PrintIt(target, "Ring Buffer Factor         : %d\n", m_nRingFactor);
  PrintIt(target, "Ring Buffer Weight         : %d\n", m_nRingWeight);
  PrintIt(target, "Ring Buffer Size           : %d\n", static_cast<int>(m_nRingSize));
  PrintIt(target, "Ring Buffer Path           : %s\n", m_ringPath.c_str());
  PrintIt(target, "No Header to stderr        : %d\n", m_bNoHeaderToStderr);
  PrintIt(target, "# End of header.\n");
}
